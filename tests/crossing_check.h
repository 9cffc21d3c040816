// Exact crossing probabilities computed here, independently of the library, for
// the tests that check the programs' figures against them.
#pragma once

#include <cmath>
#include <vector>

/// The probabilities of stopping at the lower (lo) or upper (up) boundary at each stage 1..K and of ending
/// with each count 0..K (end), and 0 for valid input.
struct CrossingResult {
  int code = -1;
  std::vector<double> lo, up, end;
};

/// The exact crossing probabilities for boundaries indexed 1..K (element 0 unused): a trial stops at stage k
/// when its count reaches upper[k] or falls to lower[k] or below; a forward recursion over (stage, count).
inline CrossingResult exact_crossing(double THETA, int K, const std::vector<int> &lower,
                                     const std::vector<int> &upper) {
  CrossingResult r;
  r.lo.assign(K + 1, 0.0);
  r.up.assign(K + 1, 0.0);
  std::vector<double> going(K + 1, 0.0);
  going[0] = 1.0;
  for (int k = 1; k <= K; ++k) {
    std::vector<double> next(K + 1, 0.0);
    for (int y = 0; y < k; ++y) {
      next[y] += going[y] * (1.0 - THETA);
      next[y + 1] += going[y] * THETA;
    }
    for (int y = 0; y <= k; ++y) {
      if (y >= upper[k]) {
        r.up[k] += next[y];
        next[y] = 0.0;
      } else if (y <= lower[k]) {
        r.lo[k] += next[y];
        next[y] = 0.0;
      }
    }
    going = next;
  }
  r.end = going;
  r.code = 0;
  return r;
}

/// A lower boundary of -1 at stages 0..K: the trial never stops below.
inline std::vector<int> no_lower_boundary(int K) { return std::vector<int>(K + 1, -1); }

/// Five standard errors of a proportion estimated from 1,000,000 trials, for the true value p.
inline double five_standard_errors(double p) { return 5.0 * std::sqrt(p * (1.0 - p) / 1e6); }
