// Lagged-Fibonacci generator of uniform deviates, x[j] = (x[j-100] + x[j-37]) mod 1,
// computed exactly in double precision on multiples of 2^-52.
#include "ranuni/ranuni.h"

#include <cmath>

#include "ranuni/ranuni_internal.h"

namespace {

constexpr int kSeedingRounds = 69;  // stream separation 70, less one
constexpr int kDefaultSeed = kRanDefaultSeed;
constexpr int kSeedMask = 0x3fffffff;
constexpr int kWorkLength = kLongLag + kLongLag - 1;
constexpr double kUlp = 1.0 / (1L << 30) / (1L << 22);  // 2^-52

double ran_u[kLongLag];             // the last 100 values of the sequence
double ranf_arr_buf[kBatchLength];  // the batch RanUni serves from
double ranf_arr_dummy = -1.0;       // addressed before any seeding
double ranf_arr_started = -1.0;     // addressed right after seeding
double *ranf_arr_ptr = &ranf_arr_dummy;
int not_ready = 1;
long long refills = 0;  // batches started since the last seeding

// (x + y) mod 1 for x, y in [0, 1): exact, because both are multiples of 2^-52 below 1.
inline double wrapped_sum(double x, double y) {
  double t = x + y;
  return t - std::trunc(t);
}

}  // namespace

void RanUniArray(double aa[], int n) {
  if (n < kLongLag) {
    for (int j = 0; j < n; ++j) aa[j] = -HUGE_VAL;
    return;
  }
  if (not_ready) RanStart(kDefaultSeed);
  int j;
  for (j = 0; j < kLongLag; ++j) aa[j] = ran_u[j];
  for (; j < n; ++j) aa[j] = wrapped_sum(aa[j - kLongLag], aa[j - kShortLag]);
  int i;
  for (i = 0; i < kShortLag; ++i, ++j) ran_u[i] = wrapped_sum(aa[j - kLongLag], aa[j - kShortLag]);
  for (; i < kLongLag; ++i, ++j) ran_u[i] = wrapped_sum(aa[j - kLongLag], ran_u[i - kShortLag]);
}

void RanStart(int seed) {
  not_ready = 0;
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

  for (int j = 0; j < kShortLag; ++j) ran_u[j + kLongLag - kShortLag] = u[j];
  for (int j = kShortLag; j < kLongLag; ++j) ran_u[j - kShortLag] = u[j];
  for (int j = 0; j < 10; ++j) RanUniArray(u, kWorkLength);
  ranf_arr_ptr = &ranf_arr_started;
  refills = 0;
}

double RanUni() {
  double v = *ranf_arr_ptr;
  if (v >= 0.0) {
    ++ranf_arr_ptr;
    return v;
  }
  if (not_ready) RanStart(kDefaultSeed);
  RanUniArray(ranf_arr_buf, kBatchLength);
  ranf_arr_buf[kLongLag] = -1.0;
  ranf_arr_ptr = ranf_arr_buf + 1;
  ++refills;
  return ranf_arr_buf[0];
}

namespace {

// Deviates are multiples of 2^-52 below 1, so both conversions are exact.
std::uint64_t to_integer(double u) { return static_cast<std::uint64_t>(u * 4503599627370496.0); }
double to_deviate(std::uint64_t x) { return static_cast<double>(x) * kUlp; }

// Number of deviates of the current batch RanUni has still to serve.
int pending_in_batch() {
  bool serving = ranf_arr_ptr > ranf_arr_buf && ranf_arr_ptr <= ranf_arr_buf + kServedPerBatch;
  return serving ? static_cast<int>(ranf_arr_buf + kServedPerBatch - ranf_arr_ptr) : 0;
}

}  // namespace

long long RanUniDrawn() { return refills * kServedPerBatch - pending_in_batch(); }

int ran_stream_peek(std::uint64_t pending[kServedPerBatch], std::uint64_t state[kLongLag]) {
  if (not_ready) RanStart(kDefaultSeed);
  int n = pending_in_batch();
  for (int i = 0; i < n; ++i) pending[i] = to_integer(ranf_arr_ptr[i]);
  for (int j = 0; j < kLongLag; ++j) state[j] = to_integer(ran_u[j]);
  return n;
}

void ran_stream_skip_pending(int n) {
  if (n > 0 && n <= pending_in_batch()) ranf_arr_ptr += n;
}

void ran_stream_resume(const std::uint64_t state[kLongLag], int served, long long batches) {
  for (int j = 0; j < kLongLag; ++j) ran_u[j] = to_deviate(state[j] & kValueMask);
  RanUniArray(ranf_arr_buf, kBatchLength);
  ranf_arr_buf[kLongLag] = -1.0;
  ranf_arr_ptr = ranf_arr_buf + served;
  refills += batches;
}
