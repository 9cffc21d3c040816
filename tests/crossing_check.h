// Helpers shared by the tests that compare simulated crossing probabilities
// with exact ones.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cross2s/cross2s.h"
#include "tests/case_name.h"

/// The three probability vectors of one crossing calculation and its return code.
struct CrossingResult {
  int code = -1;
  std::vector<double> lo, up, end;
};

/// A crossing routine: CrossingProb or ExactCrossingProb.
using CrossingRoutine = int (*)(double[], double[], double[], double, int, const int[], const int[]);

/// Runs routine for boundaries given as vectors indexed 1..K (element 0 unused).
inline CrossingResult run_crossing(CrossingRoutine routine, double THETA, int K,
                                   const std::vector<int> &lower, const std::vector<int> &upper) {
  CrossingResult r;
  r.lo.assign(K + 1, -1.0);
  r.up.assign(K + 1, -1.0);
  r.end.assign(K + 1, -1.0);
  r.code = routine(r.lo.data(), r.up.data(), r.end.data(), THETA, K, lower.data(), upper.data());
  return r;
}

inline CrossingResult simulated_crossing(double THETA, int K, const std::vector<int> &lower,
                                         const std::vector<int> &upper) {
  return run_crossing(CrossingProb, THETA, K, lower, upper);
}

inline CrossingResult exact_crossing(double THETA, int K, const std::vector<int> &lower,
                                     const std::vector<int> &upper) {
  return run_crossing(ExactCrossingProb, THETA, K, lower, upper);
}

/// A lower boundary of -1 at stages 0..K: the trial never stops below.
inline std::vector<int> no_lower_boundary(int K) { return std::vector<int>(K + 1, -1); }

/// An event probability, a number of stages and a pair of boundaries indexed 1..K, for tables of cases.
struct BoundaryPair {
  const char *name;
  double THETA;
  int K;
  std::vector<int> lower;
  std::vector<int> upper;
};

inline void PrintTo(const BoundaryPair &c, std::ostream *os) { *os << c.name; }

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
