// Kernels of the generator on integer values: extending the lagged-Fibonacci
// sequence and turning a batch's served values into event bits. On x86-64 each
// kernel is built for the baseline and for AVX2 and AVX-512, and the version run
// is chosen from what the processor reports; elsewhere, or with
// CONTMON_PORTABLE, plain C++ serves. All versions compute the same integers,
// so the choice never changes a result.
#include <cmath>
#include <cstring>

#include "core/generator.h"

#if defined(__x86_64__) && !defined(CONTMON_PORTABLE)
#define CONTMON_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace contmon {

namespace {

// The sequence is extended modulo 2^64 and reduced modulo 2^52 only where a
// value is used: the low 52 bits of a sum do not depend on the higher bits.
// Values are handled in blocks of N aligned on multiples of N in index, and
// the windows at lags 100 and 37 are cut from whole blocks in registers:
// loading a value stored moments ago through an unaligned window would stall
// on store forwarding, which limits a plain vector loop to the latency of that
// stall for every 37 values.
inline void extend_scalar(std::uint64_t w[], std::size_t from, std::size_t to) {
  for (std::size_t j = from; j < to; ++j) w[j] = w[j - kLongLag] + w[j - kShortLag];
}

// Extends w over [from, to) with `step` values a time from the first multiple of step on, by block(w, j)
// for the blocks and scalar code for the ends.
template <std::size_t step, class Block>
inline __attribute__((always_inline)) void extend_in_blocks(std::uint64_t w[], std::size_t from,
                                                            std::size_t to, Block block) {
  std::size_t j = (from + step - 1) / step * step;
  if (j >= to) return extend_scalar(w, from, to);
  extend_scalar(w, from, j);
  for (; j + step <= to; j += step) block(w, j);
  extend_scalar(w, j, to);
}

#if !CONTMON_X86_KERNELS
// The plain kernel: the comparison value by value.
void event_bits_plain(std::uint64_t out[2], const std::uint64_t x[], std::uint64_t threshold) {
  std::uint64_t bits[2] = {0, 0};
  for (int i = 0; i < kServedPerBatch; ++i)
    if ((x[i] & kValueMask) <= threshold) bits[i / 64] |= std::uint64_t{1} << (i % 64);
  out[0] = bits[0];
  out[1] = bits[1];
}
#else
void extend_baseline(std::uint64_t w[], std::size_t from, std::size_t to) {
  // Pairs: lag 100 is a whole pair; lag 37 is the high half of one pair and the low half of the next.
  extend_in_blocks<2>(w, from, to, [](std::uint64_t *v, std::size_t j) {
    __m128i far = _mm_loadu_si128(reinterpret_cast<const __m128i *>(v + j - 100));
    __m128d a = _mm_loadu_pd(reinterpret_cast<const double *>(v + j - 38));
    __m128d b = _mm_loadu_pd(reinterpret_cast<const double *>(v + j - 36));
    __m128i near = _mm_castpd_si128(_mm_shuffle_pd(a, b, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(v + j), _mm_add_epi64(far, near));
  });
}

__attribute__((target("avx2"))) void extend_avx2(std::uint64_t w[], std::size_t from, std::size_t to) {
  // Quads: lag 100 is a whole quad; lag 37 is the last value of one quad and the first three of the next.
  extend_in_blocks<4>(
      w, from, to, [](std::uint64_t * v, std::size_t j) __attribute__((target("avx2"))) {
        __m256i far = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(v + j - 100));
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(v + j - 40));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(v + j - 36));
        __m256i near = _mm256_permute4x64_epi64(_mm256_blend_epi32(b, a, 0xc0), 0x93);  // a3 b0 b1 b2
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(v + j), _mm256_add_epi64(far, near));
      });
}

// Octets: lag 100 starts half-way into an octet, lag 37 three values into one.
// Octet j depends on the octets 5 and 4 before it; those are kept in registers
// (four octets a step), so the chain of dependencies never goes through memory.
__attribute__((target("avx512f"))) inline __m512i next_octet(const std::uint64_t *v, std::size_t j,
                                                             __m512i before5, __m512i before4) {
  __m512i far =
      _mm512_maskz_alignr_epi64(0xff, _mm512_loadu_si512(v + j - 96), _mm512_loadu_si512(v + j - 104), 4);
  return _mm512_add_epi64(far, _mm512_maskz_alignr_epi64(0xff, before4, before5, 3));
}

__attribute__((target("avx512f"))) void extend_avx512(std::uint64_t w[], std::size_t from, std::size_t to) {
  std::size_t j = (from + 7) / 8 * 8;
  if (j + 32 > to) return extend_scalar(w, from, to);
  extend_scalar(w, from, j);
  __m512i b5 = _mm512_loadu_si512(w + j - 40), b4 = _mm512_loadu_si512(w + j - 32);
  __m512i b3 = _mm512_loadu_si512(w + j - 24), b2 = _mm512_loadu_si512(w + j - 16);
  __m512i b1 = _mm512_loadu_si512(w + j - 8);
  for (; j + 32 <= to; j += 32) {
    __m512i n0 = next_octet(w, j, b5, b4);
    __m512i n1 = next_octet(w, j + 8, b4, b3);
    __m512i n2 = next_octet(w, j + 16, b3, b2);
    __m512i n3 = next_octet(w, j + 24, b2, b1);
    _mm512_storeu_si512(w + j, n0);
    _mm512_storeu_si512(w + j + 8, n1);
    _mm512_storeu_si512(w + j + 16, n2);
    _mm512_storeu_si512(w + j + 24, n3);
    b5 = b1;
    b4 = n0;
    b3 = n1;
    b2 = n2;
    b1 = n3;
  }
  extend_scalar(w, j, to);
}

// After reduction modulo 2^52, x - (threshold + 1) is negative exactly when
// x <= threshold, because both lie below 2^52; the sign bits are gathered with
// a move-mask.
void event_bits_baseline(std::uint64_t out[2], const std::uint64_t x[], std::uint64_t threshold) {
  const __m128i bound = _mm_set1_epi64x(static_cast<long long>(threshold + 1));
  const __m128i mask = _mm_set1_epi64x(static_cast<long long>(kValueMask));
  std::uint64_t bits[2] = {0, 0};
  for (int i = 0; i < kServedPerBatch; i += 2) {
    __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(x + i)), mask);
    auto m = static_cast<std::uint64_t>(_mm_movemask_pd(_mm_castsi128_pd(_mm_sub_epi64(v, bound))));
    bits[i / 64] |= m << (i % 64);
  }
  out[0] = bits[0];
  out[1] = bits[1];
}

__attribute__((target("avx2"))) void event_bits_avx2(std::uint64_t out[2], const std::uint64_t x[],
                                                     std::uint64_t threshold) {
  const __m256i bound = _mm256_set1_epi64x(static_cast<long long>(threshold + 1));
  const __m256i mask = _mm256_set1_epi64x(static_cast<long long>(kValueMask));
  std::uint64_t bits[2] = {0, 0};
  for (int i = 0; i < 104; i += 4) {
    __m256i v = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(x + i)), mask);
    auto m = static_cast<std::uint64_t>(_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_sub_epi64(v, bound))));
    bits[i / 64] |= m << (i % 64);
  }
  out[0] = bits[0];
  out[1] = bits[1] & ((std::uint64_t{1} << 36) - 1);
}

__attribute__((target("avx512f"))) void event_bits_avx512(std::uint64_t out[2], const std::uint64_t x[],
                                                          std::uint64_t threshold) {
  const __m512i limit = _mm512_set1_epi64(static_cast<long long>(threshold));
  const __m512i mask = _mm512_set1_epi64(static_cast<long long>(kValueMask));
  std::uint64_t bits[2] = {0, 0};
  for (int i = 0; i < 104; i += 8) {
    __m512i v = _mm512_and_si512(_mm512_loadu_si512(x + i), mask);
    auto m = static_cast<std::uint64_t>(_mm512_cmple_epu64_mask(v, limit));
    bits[i / 64] |= m << (i % 64);
  }
  out[0] = bits[0];
  out[1] = bits[1] & ((std::uint64_t{1} << 36) - 1);
}
#endif  // CONTMON_X86_KERNELS

}  // namespace

bool kernel_isa_supported(KernelIsa isa) {
#if !CONTMON_X86_KERNELS
  return isa == KernelIsa::kBaseline;
#else
  switch (isa) {
    case KernelIsa::kAvx512:  // with 64-bit lane multiplication
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    case KernelIsa::kAvx2:
      return __builtin_cpu_supports("avx2");
    case KernelIsa::kBaseline:
      return true;
  }
  return false;
#endif
}

KernelIsa best_kernel_isa() {
  static const KernelIsa best = kernel_isa_supported(KernelIsa::kAvx512) ? KernelIsa::kAvx512
                                : kernel_isa_supported(KernelIsa::kAvx2) ? KernelIsa::kAvx2
                                                                         : KernelIsa::kBaseline;
  return best;
}

void extend_sequence(std::uint64_t w[], std::size_t from, std::size_t to, KernelIsa isa) {
#if !CONTMON_X86_KERNELS
  (void)isa;
  extend_scalar(w, from, to);
#else
  switch (isa) {
    case KernelIsa::kAvx512:
      return extend_avx512(w, from, to);
    case KernelIsa::kAvx2:
      return extend_avx2(w, from, to);
    case KernelIsa::kBaseline:
      return extend_baseline(w, from, to);
  }
#endif
}

void batch_event_bits(std::uint64_t out[2], const std::uint64_t x[], std::uint64_t threshold, KernelIsa isa) {
#if !CONTMON_X86_KERNELS
  (void)isa;
  event_bits_plain(out, x, threshold);
#else
  switch (isa) {
    case KernelIsa::kAvx512:
      return event_bits_avx512(out, x, threshold);
    case KernelIsa::kAvx2:
      return event_bits_avx2(out, x, threshold);
    case KernelIsa::kBaseline:
      return event_bits_baseline(out, x, threshold);
  }
#endif
}

std::uint64_t event_threshold(double THETA) {
  // Scaling by 2^52 is exact, and a value x is an event when x * 2^-52 <= THETA.
  return static_cast<std::uint64_t>(std::floor(std::ldexp(THETA, 52)));
}

}  // namespace contmon
