// Helpers shared by the tests that compare simulated crossing probabilities
// with exact ones.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cross2s/cross2s.h"

/// The three probability vectors of one crossing calculation and its return code.
struct CrossingResult {
  int code = -1;
  std::vector<double> lo, up, end;
};

/// Boundaries are given as vectors indexed 1..K (element 0 unused).
inline CrossingResult simulated_crossing(double THETA, int K, const std::vector<int> &lower,
                                         const std::vector<int> &upper) {
  CrossingResult r;
  r.lo.assign(K + 1, -1.0);
  r.up.assign(K + 1, -1.0);
  r.end.assign(K + 1, -1.0);
  r.code = CrossingProb(r.lo.data(), r.up.data(), r.end.data(), THETA, K, lower.data(), upper.data());
  return r;
}

inline CrossingResult exact_crossing(double THETA, int K, const std::vector<int> &lower,
                                     const std::vector<int> &upper) {
  CrossingResult r;
  r.lo.assign(K + 1, -1.0);
  r.up.assign(K + 1, -1.0);
  r.end.assign(K + 1, -1.0);
  r.code = ExactCrossingProb(r.lo.data(), r.up.data(), r.end.data(), THETA, K, lower.data(), upper.data());
  return r;
}

/// Five standard errors of a proportion estimated from 1,000,000 trials, for the true value p.
inline double five_standard_errors(double p) { return 5.0 * std::sqrt(p * (1.0 - p) / 1e6); }

/// Checks that every simulated element lies within five standard errors of the exact one.
inline void expect_within_monte_carlo_error(const std::vector<double> &simulated,
                                            const std::vector<double> &exact, int from,
                                            const std::string &what) {
  ASSERT_EQ(simulated.size(), exact.size()) << what;
  for (std::size_t i = static_cast<std::size_t>(from); i < exact.size(); ++i)
    EXPECT_NEAR(simulated[i], exact[i], five_standard_errors(exact[i])) << what << "[" << i << "]";
}
