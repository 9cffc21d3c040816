// Lagged-Fibonacci generator of uniform deviates, x[j] = (x[j-100] + x[j-37]) mod 1,
// computed exactly in double precision on multiples of 2^-52.
#include <cmath>

#include "contmon/random.h"
#include "core/generator.h"

namespace contmon {

namespace {

constexpr int kSeedingRounds = 69;  // stream separation 70, less one
constexpr int kSeedMask = 0x3fffffff;
constexpr int kWorkLength = kLongLag + kLongLag - 1;
constexpr double kUlp = 1.0 / (1L << 30) / (1L << 22);  // 2^-52

// (x + y) mod 1 for x, y in [0, 1): exact, because both are multiples of 2^-52 below 1.
inline double wrapped_sum(double x, double y) {
  double t = x + y;
  return t - std::trunc(t);
}

// Deviates are multiples of 2^-52 below 1, so both conversions are exact.
std::uint64_t to_integer(double u) { return static_cast<std::uint64_t>(u * 4503599627370496.0); }
double to_deviate(std::uint64_t x) { return static_cast<double>(x) * kUlp; }

}  // namespace

void RandomStream::RanUniArray(double aa[], int n) {
  if (n < kLongLag) {
    for (int j = 0; j < n; ++j) aa[j] = -HUGE_VAL;
    return;
  }
  if (not_ready_) RanStart(kDefaultSeed);
  int j;
  for (j = 0; j < kLongLag; ++j) aa[j] = ran_u_[j];
  for (; j < n; ++j) aa[j] = wrapped_sum(aa[j - kLongLag], aa[j - kShortLag]);
  int i;
  for (i = 0; i < kShortLag; ++i, ++j) ran_u_[i] = wrapped_sum(aa[j - kLongLag], aa[j - kShortLag]);
  for (; i < kLongLag; ++i, ++j) ran_u_[i] = wrapped_sum(aa[j - kLongLag], ran_u_[i - kShortLag]);
}

void RandomStream::RanStart(int seed) {
  not_ready_ = false;
  int s = seed & kSeedMask;
  double ss = (s + 2) * (2.0 * kUlp);
  double u[kWorkLength];

  // Each step is a cyclic shift of a 51-bit pattern.
  for (int j = 0; j < kLongLag; ++j) {
    u[j] = ss;
    ss += ss;
    if (ss >= 1.0) ss -= 1.0 - 2 * kUlp;
  }
  u[1] += kUlp;  // the only odd multiple of ulp

  for (int t = kSeedingRounds; t != 0;) {
    // Square the polynomial ...
    for (int j = kLongLag - 1; j > 0; --j) {
      u[j + j] = u[j];
      u[j + j - 1] = 0.0;
    }
    // ... reduce it modulo z^100 + z^37 + 1 ...
    for (int j = kWorkLength - 1; j >= kLongLag; --j) {
      u[j - (kLongLag - kShortLag)] = wrapped_sum(u[j - (kLongLag - kShortLag)], u[j]);
      u[j - kLongLag] = wrapped_sum(u[j - kLongLag], u[j]);
    }
    // ... and multiply by z where the seed has a one bit.
    if (s & 1) {
      for (int j = kLongLag; j > 0; --j) u[j] = u[j - 1];
      u[0] = u[kLongLag];
      u[kShortLag] = wrapped_sum(u[kShortLag], u[kLongLag]);
    }
    if (s != 0)
      s >>= 1;
    else
      --t;
  }

  for (int j = 0; j < kShortLag; ++j) ran_u_[j + kLongLag - kShortLag] = u[j];
  for (int j = kShortLag; j < kLongLag; ++j) ran_u_[j - kShortLag] = u[j];
  for (int j = 0; j < 10; ++j) RanUniArray(u, kWorkLength);
  pos_ = kLongLag;  // the batch is empty: the next deviate starts a new one
  refills_ = 0;
}

double RandomStream::refill() {
  if (not_ready_) RanStart(kDefaultSeed);
  RanUniArray(buf_, kBatchLength);
  buf_[kLongLag] = -1.0;
  pos_ = 1;
  ++refills_;
  return buf_[0];
}

int RandomStream::pending() const { return pos_ >= 1 && pos_ <= kServedPerBatch ? kServedPerBatch - pos_ : 0; }

long long RandomStream::drawn() const { return refills_ * kServedPerBatch - pending(); }

int StreamAccess::peek(RandomStream &stream, std::uint64_t pending[kServedPerBatch],
                       std::uint64_t state[kLongLag]) {
  if (stream.not_ready_) stream.RanStart(kDefaultSeed);
  const int n = stream.pending();
  for (int i = 0; i < n; ++i) pending[i] = to_integer(stream.buf_[stream.pos_ + i]);
  for (int j = 0; j < kLongLag; ++j) state[j] = to_integer(stream.ran_u_[j]);
  return n;
}

void StreamAccess::skip_pending(RandomStream &stream, int n) {
  if (n > 0 && n <= stream.pending()) stream.pos_ += n;
}

void StreamAccess::resume(RandomStream &stream, const std::uint64_t state[kLongLag], int served,
                          long long batches) {
  for (int j = 0; j < kLongLag; ++j) stream.ran_u_[j] = to_deviate(state[j] & kValueMask);
  stream.RanUniArray(stream.buf_, kBatchLength);
  stream.buf_[kLongLag] = -1.0;
  stream.pos_ = served;
  stream.refills_ += batches;
}

}  // namespace contmon
