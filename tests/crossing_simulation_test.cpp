// The crossing simulation: input validation, agreement with the exact
// recursion, the rounding of counts and the use of the random stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"
#include "tests/crossing_check.h"

namespace {

const double kNaN = std::nan("");

// ---- Validation ---------------------------------------------------------------

struct ValidationCase {
  const char *name;
  double THETA;
  int K;
  std::vector<int> lower;  // indexed 1..K; empty means a null pointer
  std::vector<int> upper;
  int code;
};

void PrintTo(const ValidationCase &c, std::ostream *os) { *os << c.name; }

class CrossingValidation : public testing::TestWithParam<ValidationCase> {};

TEST_P(CrossingValidation, FirstViolatedRuleIsReported) {
  const ValidationCase &c = GetParam();
  const int *lower = c.lower.empty() ? nullptr : c.lower.data();
  const int *upper = c.upper.empty() ? nullptr : c.upper.data();
  EXPECT_EQ(check_crossing_input(c.THETA, c.K, lower, upper), c.code);
}

TEST_P(CrossingValidation, OnlyAcceptedCallsDrawDeviatesAndWriteResults) {
  const ValidationCase &c = GetParam();
  const int *lower = c.lower.empty() ? nullptr : c.lower.data();
  const int *upper = c.upper.empty() ? nullptr : c.upper.data();
  const std::size_t size = std::max(c.K + 1, 1);
  const std::vector<double> untouched(size, 7.0);

  for (auto engine : {&CrossingProb, &ExactCrossingProb}) {
    std::vector<double> lo = untouched, up = untouched, end = untouched;
    RanStart(2718);
    EXPECT_EQ(engine(lo.data(), up.data(), end.data(), c.THETA, c.K, lower, upper), c.code);
    double next = RanUni();
    RanStart(2718);
    bool drew = next != RanUni();
    if (c.code != 0) {
      EXPECT_FALSE(drew);
      EXPECT_EQ(lo, untouched);
      EXPECT_EQ(up, untouched);
      EXPECT_EQ(end, untouched);
    } else {
      EXPECT_EQ(drew, engine == &CrossingProb);  // the exact recursion draws nothing
      long double total = 0;
      for (int k = 1; k <= c.K; ++k) total += lo[k] + up[k];
      for (int y = 0; y <= c.K; ++y) total += end[y];
      EXPECT_NEAR(static_cast<double>(total), 1.0, 1e-12);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CrossingValidation,
    testing::Values(ValidationCase{"ThetaZero", 0.0, 2, {0, -1, -1}, {0, 1, 2}, 1},
                    ValidationCase{"ThetaOne", 1.0, 2, {0, -1, -1}, {0, 1, 2}, 1},
                    ValidationCase{"ThetaNegative", -0.25, 2, {0, -1, -1}, {0, 1, 2}, 1},
                    ValidationCase{"ThetaNaN", kNaN, 2, {0, -1, -1}, {0, 1, 2}, 1},
                    ValidationCase{"ThetaTestedBeforeK", 0.0, 0, {}, {}, 1},
                    ValidationCase{"KZeroReadsNoBoundary", 0.3, 0, {}, {}, 2},
                    ValidationCase{"KNegativeReadsNoBoundary", 0.3, -4, {}, {}, 2},
                    ValidationCase{"LowerStartsAtZero", 0.3, 2, {0, 0, 0}, {0, 1, 2}, 0},
                    ValidationCase{"LowerStartsAtOne", 0.3, 2, {0, 1, 1}, {0, 2, 2}, 3},
                    ValidationCase{"LowerStartTestedBeforeUpperStart", 0.3, 2, {0, 1, 1}, {0, 0, 2}, 3},
                    ValidationCase{"UpperStartsAtOne", 0.3, 2, {0, -1, -1}, {0, 1, 1}, 0},
                    ValidationCase{"UpperStartsAtZero", 0.3, 2, {0, -1, -1}, {0, 0, 2}, 4},
                    ValidationCase{
                        "UpperStartTestedBeforeMonotonicity", 0.3, 3, {0, 0, -1, -1}, {0, 0, 2, 1}, 4},
                    ValidationCase{"EqualNeighboursAccepted", 0.3, 4, {0, -1, 0, 0, 1}, {0, 2, 2, 3, 3}, 0},
                    ValidationCase{"LowerDecreasesLate", 0.3, 4, {0, -1, 0, 1, 0}, {0, 2, 2, 3, 3}, 5},
                    ValidationCase{"UpperDecreasesLate", 0.3, 4, {0, -1, -1, -1, -1}, {0, 2, 3, 3, 2}, 6},
                    ValidationCase{"BothDecreaseLowerReported", 0.3, 3, {0, 0, -1, -1}, {0, 3, 2, 2}, 5},
                    ValidationCase{"LowerEqualsUpper", 0.3, 3, {0, -1, 0, 2}, {0, 2, 2, 2}, 7},
                    ValidationCase{"LowerAboveUpperAtStageOne", 0.3, 1, {0, 0}, {0, 0}, 4},
                    ValidationCase{"MonotonicityTestedBeforeOverlap", 0.3, 3, {0, -1, 2, 2}, {0, 3, 2, 3}, 6},
                    ValidationCase{"NegativeLowerValue", 0.3, 1, {0, -3}, {0, 1}, 0},
                    ValidationCase{"SingleStageNothingToCompare", 0.3, 1, {0, 0}, {0, 5}, 0}),
    case_name<ValidationCase>);

// ---- Simulation against the exact recursion -----------------------------------

std::vector<int> unreachable_upper_boundary(int K) {
  std::vector<int> b(K + 1);
  for (int k = 0; k <= K; ++k) b[k] = k + 1;
  return b;
}

// An upper boundary rising by one every `step` stages from `start`.
std::vector<int> rising_upper_boundary(int K, int start, int step) {
  std::vector<int> b(K + 1);
  for (int k = 0; k <= K; ++k) b[k] = start + k / step;
  return b;
}

class SimulationAgainstExact : public testing::TestWithParam<BoundaryPair> {};

TEST_P(SimulationAgainstExact, EveryCellWithinFiveStandardErrors) {
  const BoundaryPair &c = GetParam();
  CrossingResult exact = exact_crossing(c.THETA, c.K, c.lower, c.upper);
  ASSERT_EQ(exact.code, 0);
  CrossingResult sim = simulated_crossing(c.THETA, c.K, c.lower, c.upper);
  ASSERT_EQ(sim.code, 0);

  EXPECT_EQ(sim.lo[0], 0.0);
  EXPECT_EQ(sim.up[0], 0.0);
  expect_within_monte_carlo_error(sim.lo, exact.lo, 1, "lo_prob");
  expect_within_monte_carlo_error(sim.up, exact.up, 1, "up_prob");
  expect_within_monte_carlo_error(sim.end, exact.end, 0, "end_prob");

  // Every element is a count of trials over 1,000,000, and the counts add up to all trials.
  long long trials = 0;
  for (const std::vector<double> *v : {&sim.lo, &sim.up, &sim.end}) {
    for (double p : *v) {
      long long count = std::llround(p * 1e6);
      EXPECT_EQ(p, static_cast<double>(static_cast<long double>(count) / 1e6L));
      trials += count;
    }
  }
  EXPECT_EQ(trials, 1000000);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, SimulationAgainstExact,
    testing::Values(
        BoundaryPair{"PocockLikeNoLower", 0.3, 10, no_lower_boundary(10), {0, 2, 3, 3, 4, 5, 5, 6, 6, 6, 7}},
        BoundaryPair{"ZerosThenRisingLower",
                     0.35,
                     12,
                     {0, -1, -1, -1, 0, 0, 0, 1, 1, 1, 2, 2, 3},
                     {0, 1, 3, 3, 3, 6, 6, 6, 6, 7, 7, 8, 8}},
        BoundaryPair{"LowerOfZerosEverywhere", 0.15, 6, {0, 0, 0, 0, 0, 0, 0}, {0, 2, 2, 2, 3, 3, 3}},
        BoundaryPair{"UnreachableUpper", 0.4, 20, no_lower_boundary(20), unreachable_upper_boundary(20)},
        BoundaryPair{"SingleStageBothBoundaries", 0.3, 1, {0, 0}, {0, 1}},
        BoundaryPair{"SingleStageUpperOnly", 0.7, 1, {0, -1}, {0, 1}},
        BoundaryPair{"MaximumStages", 0.1, 255, no_lower_boundary(255), rising_upper_boundary(255, 3, 11)}),
    case_name<BoundaryPair>);

TEST(CrossingProb, UnreachableUpperBoundaryPutsEveryTrialAtTheEnd) {
  const int K = 20;
  CrossingResult sim = simulated_crossing(0.4, K, no_lower_boundary(K), unreachable_upper_boundary(K));
  ASSERT_EQ(sim.code, 0);
  EXPECT_EQ(sim.up, std::vector<double>(K + 1, 0.0));
  EXPECT_EQ(sim.lo, std::vector<double>(K + 1, 0.0));
}

TEST(CrossingProb, SingleStageWithBothBoundariesAlwaysStops) {
  CrossingResult sim = simulated_crossing(0.3, 1, {0, 0}, {0, 1});
  ASSERT_EQ(sim.code, 0);
  EXPECT_EQ(sim.end, std::vector<double>(2, 0.0));
  EXPECT_EQ(sim.up[1] + sim.lo[1], 1.0);
}

// ---- The random stream ----------------------------------------------------------

// Deviates drawn by a simulation: each trial draws one per stage it reaches.
long long deviates_consumed(const CrossingResult &r, int K) {
  long long n = 0;
  for (int k = 1; k <= K; ++k) n += k * std::llround((r.lo[k] + r.up[k]) * 1e6);
  for (int y = 0; y <= K; ++y) n += K * std::llround(r.end[y] * 1e6);
  return n;
}

class SimulationStream : public testing::TestWithParam<BoundaryPair> {};

TEST_P(SimulationStream, ConsumesOneDeviatePerSimulatedStage) {
  const BoundaryPair &c = GetParam();
  RanStart(4242);
  CrossingResult sim = simulated_crossing(c.THETA, c.K, c.lower, c.upper);
  ASSERT_EQ(sim.code, 0);
  std::vector<double> after(5);
  for (double &u : after) u = RanUni();

  RanStart(4242);
  for (long long n = deviates_consumed(sim, c.K); n > 0; --n) RanUni();
  for (double u : after) EXPECT_EQ(RanUni(), u);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, SimulationStream,
                         testing::Values(BoundaryPair{"LowerAndUpper",
                                                      0.35,
                                                      12,
                                                      {0, -1, -1, -1, 0, 0, 0, 1, 1, 1, 2, 2, 3},
                                                      {0, 1, 3, 3, 3, 6, 6, 6, 6, 7, 7, 8, 8}},
                                         BoundaryPair{"SingleStage", 0.3, 1, {0, 0}, {0, 1}}),
                         case_name<BoundaryPair>);

TEST(CrossingProb, DeviateEqualToThetaIsAnEvent) {
  // With K = 1 and upper[1] = 1, trial i stops at the upper boundary exactly when
  // its one deviate is an event, so the count is the number of the first
  // 1,000,000 deviates at or below THETA.
  RanStart(99);
  std::vector<double> u(1000000);
  for (double &x : u) x = RanUni();
  const double THETA = u[12345];
  const long long at_or_below = std::count_if(u.begin(), u.end(), [&](double x) { return x <= THETA; });
  const long long below = std::count_if(u.begin(), u.end(), [&](double x) { return x < THETA; });
  ASSERT_GT(at_or_below, below);

  RanStart(99);
  CrossingResult sim = simulated_crossing(THETA, 1, no_lower_boundary(1), {0, 1});
  ASSERT_EQ(sim.code, 0);
  EXPECT_EQ(std::llround(sim.up[1] * 1e6), at_or_below);
  EXPECT_EQ(std::llround(sim.end[0] * 1e6), 1000000 - at_or_below);
}

TEST(CrossingProb, QuotientIsFormedInExtendedPrecision) {
  // Among the possible counts some quotients differ in the last bit between a
  // double division and an extended one rounded to double; the simulation must
  // give the extended result. Find such a count and produce it.
  int count = 1;
  for (; count < 1000000; ++count) {
    double direct = count / 1e6;
    double extended = static_cast<double>(static_cast<long double>(count) / 1e6L);
    if (direct != extended) break;
  }
  ASSERT_LT(count, 1000000);
  // K = 1, upper[1] = 1: the count of events equals the number of deviates at or below THETA.
  RanStart(7);
  std::vector<double> u(1000000);
  for (double &x : u) x = RanUni();
  std::nth_element(u.begin(), u.begin() + (count - 1), u.end());
  const double THETA = u[count - 1];  // exactly `count` deviates lie at or below it

  RanStart(7);
  CrossingResult sim = simulated_crossing(THETA, 1, no_lower_boundary(1), {0, 1});
  ASSERT_EQ(sim.code, 0);
  EXPECT_EQ(sim.up[1], static_cast<double>(static_cast<long double>(count) / 1e6L));
  EXPECT_NE(sim.up[1], count / 1e6);
}

}  // namespace
