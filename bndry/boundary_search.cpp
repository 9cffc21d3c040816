// The Pocock-type boundary of a run: one pointwise level ALPHA at every
// stage, the largest candidate level whose estimated probability of hitting
// the boundary does not exceed PHI, found by bisection over the candidates.
#include <cmath>

#include "bndry/bndry_internal.h"
#include "cross2s/cross2s.h"

int GetPointwiseBndry(int b[], int K, double level, double THETA) {
  if (K < 1 || K > kMaxStages) return 1;
  int r = init_bin(bin_prob, bin_surv, THETA, kMaxStages);
  if (r != 0) return r;
  for (int i = K; i >= 1; --i) {
    if (level >= 1.0) {
      b[i] = 0;
    } else {
      // bin_surv[i][0] is 1 > level, so the scan ends at j = 0 at the latest.
      int j = i;
      while (level >= bin_surv[i][j]) --j;
      b[i] = j + 1;
    }
  }
  return 0;
}

int init_lb(int lower[], int K) {
  int i = 1;
  for (; i <= K; ++i) lower[i] = -1;
  return i;
}

double p_hit_upper(int *err, const int lower[], int upper[], int K, double THETA, double level) {
  double result = std::sqrt(-1.0);
  if (level <= 0.0) {
    *err = 0;
    return 0.0;
  }
  if (level >= 1.0) {
    *err = 0;
    return 1.0;
  }
  *err = GetPointwiseBndry(upper, K, level, THETA);
  if (*err != 0) return result;

  const std::size_t size = static_cast<std::size_t>(K) + 1;
  CheckedBuffer<double> lo_prob = checked_buffer<double>(size);
  CheckedBuffer<double> up_prob = checked_buffer<double>(size);
  CheckedBuffer<double> end_prob = checked_buffer<double>(size);
  *err = CrossingProb(lo_prob.get(), up_prob.get(), end_prob.get(), THETA, K, lower, upper);
  if (*err == 0) result = array_sum(up_prob.get(), 1, K);
  return result;
}

int SolveAlpha(double alpha[2], double *PHIstar, int K, double THETA, double PHI) {
  const std::size_t size = static_cast<std::size_t>(K) + 1;
  CheckedBuffer<int> lower = checked_buffer<int>(size);
  CheckedBuffer<int> upper = checked_buffer<int>(size);
  init_lb(lower.get(), K);
  const double *a = alpha_val;

  int lo = 0;
  int hi = alpha_n - 1;
  int err = 0;
  // Both ends are estimated, smallest first, before either is compared with PHI:
  // the order fixes which deviates each estimate uses.
  double p_lo = p_hit_upper(&err, lower.get(), upper.get(), K, THETA, a[lo]);
  if (err != 0) return err;
  double p_hi = p_hit_upper(&err, lower.get(), upper.get(), K, THETA, a[hi]);
  if (err != 0) return err;

  if (p_lo > PHI) {  // not even the smallest candidate is acceptable
    alpha[0] = alpha[1] = 0.0;
    *PHIstar = 0.0;
    return 0;
  }
  if (p_hi <= PHI) {  // the largest candidate is acceptable
    alpha[0] = alpha[1] = a[hi];
    *PHIstar = p_hi;
    return 0;
  }
  // Invariant: the estimate at a[lo] is at most PHI, the one at a[hi] exceeds it.
  while (hi - lo > 1) {
    int mid = lo + (hi - lo) / 2;
    double p = p_hit_upper(&err, lower.get(), upper.get(), K, THETA, a[mid]);
    if (err != 0) return err;
    if (p <= PHI) {
      lo = mid;
      p_lo = p;
    } else {
      hi = mid;
    }
  }
  alpha[0] = a[lo];
  alpha[1] = a[hi];
  *PHIstar = p_lo;
  return 0;
}

int FindBndry(int b[], double alpha[2], double *PHIstar, int K, double THETA, double PHI) {
  if (K < 1 || K > kMaxStages) return 1;
  int r = init_bin(bin_prob, bin_surv, THETA, kMaxStages);
  if (r != 0) return r;
  FindAlpha(PHI, K);
  r = SolveAlpha(alpha, PHIstar, K, THETA, PHI);
  release_candidates();  // on success and on failure alike
  if (r != 0) return r;
  return GetPointwiseBndry(b, K, alpha[0], THETA);
}
