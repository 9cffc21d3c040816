// The boundary of a level, the estimate of its hitting probability, the
// bisection over the candidate levels and the search entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bndry/bndry.h"
#include "bndry/bndry_internal.h"
#include "ranuni/ranuni.h"
#include "tests/crossing_check.h"

namespace {

const int kSeed = 314159;

// ---- Boundary of a level ------------------------------------------------------

struct LevelCase {
  const char *name;
  double THETA;
  int K;
  double level;
  std::vector<int> expected;  // b[1..K]
};

void PrintTo(const LevelCase &c, std::ostream *os) { *os << c.name; }

class PointwiseBoundary : public testing::TestWithParam<LevelCase> {};

TEST_P(PointwiseBoundary, WorkedCases) {
  const LevelCase &c = GetParam();
  std::vector<int> b(c.K + 1, -7);
  ASSERT_EQ(GetPointwiseBndry(b.data(), c.K, c.level, c.THETA), 0);
  EXPECT_EQ(b[0], -7);
  EXPECT_EQ(std::vector<int>(b.begin() + 1, b.end()), c.expected);
}

// THETA = 1/2: tails of stage 1 are 1, 0.5; of stage 2 are 1, 0.75, 0.25; of
// stage 3 are 1, 0.875, 0.5, 0.125.
INSTANTIATE_TEST_SUITE_P(
    Levels, PointwiseBoundary,
    testing::Values(LevelCase{"BelowEveryTail", 0.5, 2, 0.3, {2, 2}},
                    LevelCase{"TailEqualToLevelDoesNotExceedIt", 0.5, 2, 0.5, {1, 2}},
                    LevelCase{"ZeroLevelIsUnreachable", 0.5, 3, 0.0, {2, 3, 4}},
                    LevelCase{"JustBelowATail", 0.5, 3, std::nextafter(0.125, 0.0), {2, 3, 4}},
                    LevelCase{"LevelOneStopsAlways", 0.5, 3, 1.0, {0, 0, 0}},
                    LevelCase{"LevelAboveOneStopsAlways", 0.5, 2, 1.5, {0, 0}},
                    LevelCase{"JustBelowOne", 0.5, 3, std::nextafter(1.0, 0.0), {1, 1, 1}}),
    case_name<LevelCase>);

TEST(GetPointwiseBndry, RejectsStageCountAndEventProbabilityOutOfRange) {
  std::vector<int> b(300, -7);
  EXPECT_EQ(GetPointwiseBndry(b.data(), 0, 0.1, 0.5), 1);
  EXPECT_EQ(GetPointwiseBndry(b.data(), 256, 0.1, 0.5), 1);
  EXPECT_EQ(GetPointwiseBndry(b.data(), 3, 0.1, 1.5), 1);
  EXPECT_EQ(GetPointwiseBndry(b.data(), 3, 0.1, std::nan("")), 1);
  EXPECT_EQ(b, std::vector<int>(300, -7));
}

TEST(GetPointwiseBndry, BoundaryIsNonDecreasingAndReachableExactlyWhenTopTailExceedsLevel) {
  const double THETA = 0.12, level = 0.003;
  std::vector<int> b(kMaxStages + 1);
  ASSERT_EQ(GetPointwiseBndry(b.data(), kMaxStages, level, THETA), 0);
  for (int i = 1; i <= kMaxStages; ++i) {
    ASSERT_GE(b[i], 1);
    ASSERT_LE(b[i], i + 1);
    if (i > 1) {
      EXPECT_LE(b[i - 1], b[i]) << i;
    }
    EXPECT_EQ(b[i] == i + 1, bin_surv[i][i] > level) << i;
    if (b[i] <= i) {
      EXPECT_LE(bin_surv[i][b[i]], level) << i;
    }
    EXPECT_GT(bin_surv[i][b[i] - 1], level) << i;
  }
}

TEST(InitLb, WritesMinusOneOverStagesOneToK) {
  std::vector<int> lower(6, 9);
  EXPECT_EQ(init_lb(lower.data(), 4), 5);
  EXPECT_EQ(lower, (std::vector<int>{9, -1, -1, -1, -1, 9}));
  EXPECT_EQ(init_lb(lower.data(), 0), 1);
  EXPECT_EQ(init_lb(nullptr, -3), 1);
}

// ---- Estimate for one level ------------------------------------------------------

// True when the next deviate is the one a stream freshly started with seed gives first.
bool stream_unused_since_start(int seed) {
  double next = RanUni();
  RanStart(seed);
  return next == RanUni();
}

TEST(PHitUpper, LevelsAtOrBeyondTheEndsAreScoredWithoutSimulating) {
  std::vector<int> lower(4, -1), upper(4, -7);
  struct {
    double level;
    int K;
    double expected;
  } cases[] = {{0.0, 3, 0.0}, {-1.0, 3, 0.0}, {1.0, 3, 1.0}, {2.0, 3, 1.0}, {0.0, 0, 0.0}, {1.0, 256, 1.0}};
  for (const auto &c : cases) {
    RanStart(5);
    int err = -1;
    EXPECT_EQ(p_hit_upper(&err, lower.data(), upper.data(), c.K, 0.5, c.level), c.expected) << c.level;
    EXPECT_EQ(err, 0);
    EXPECT_TRUE(stream_unused_since_start(5)) << c.level;
    EXPECT_EQ(upper, std::vector<int>(4, -7)) << "no boundary is built";
  }
}

TEST(PHitUpper, BadStageCountGivesItsCodeAndNaN) {
  std::vector<int> lower(2, -1), upper(2, -7);
  int err = -1;
  EXPECT_TRUE(std::isnan(p_hit_upper(&err, lower.data(), upper.data(), 0, 0.5, 0.4)));
  EXPECT_EQ(err, 1);
  EXPECT_TRUE(std::isnan(p_hit_upper(&err, lower.data(), upper.data(), 256, 0.5, 0.4)));
  EXPECT_EQ(err, 1);
}

TEST(PHitUpper, CrossingFailureCodesArePassedUp) {
  std::vector<int> upper(4);
  struct {
    std::vector<int> lower;
    double THETA;
    int code;
  } cases[] = {{{0, -1, -1, -1}, 0.0, 1},  // THETA = 0 passes the tables but not the simulation
               {{0, 1, 1, 1}, 0.5, 3},
               {{0, 0, -1, -1}, 0.5, 5},
               {{0, -1, 2, 2}, 0.5, 7}};
  for (const auto &c : cases) {
    int err = -1;
    EXPECT_TRUE(std::isnan(p_hit_upper(&err, c.lower.data(), upper.data(), 3, c.THETA, 0.3)));
    EXPECT_EQ(err, c.code);
  }
}

TEST(PHitUpper, SumsTheUpperStopsOfOneSimulationOfTheLevelsBoundary) {
  const double THETA = 0.3, level = 0.02;
  const int K = 12;
  std::vector<int> lower(K + 1, -1), upper(K + 1, -7);
  RanStart(kSeed);
  int err = -1;
  double p = p_hit_upper(&err, lower.data(), upper.data(), K, THETA, level);
  ASSERT_EQ(err, 0);

  std::vector<int> b(K + 1);
  ASSERT_EQ(GetPointwiseBndry(b.data(), K, level, THETA), 0);
  EXPECT_EQ(std::vector<int>(upper.begin() + 1, upper.end()), std::vector<int>(b.begin() + 1, b.end()));
  RanStart(kSeed);
  CrossingResult sim = simulated_crossing(THETA, K, lower, b);
  EXPECT_EQ(p, array_sum(sim.up.data(), 1, K));
}

// ---- Bisection and search entry ---------------------------------------------------

struct SearchResult {
  int code = -1;
  std::vector<int> b;
  double alpha[2] = {-7.0, -7.0};
  double PHIstar = -7.0;
};

SearchResult find_boundary(int K, double THETA, double PHI) {
  SearchResult r;
  r.b.assign(std::max(K, 0) + 1, -7);
  RanStart(kSeed);
  r.code = FindBndry(r.b.data(), r.alpha, &r.PHIstar, K, THETA, PHI);
  return r;
}

// Estimates, in order from a freshly started stream, for THETA and K at the given levels.
std::vector<double> estimates_in_order(int K, double THETA, const std::vector<double> &levels) {
  std::vector<int> lower(K + 1, -1), upper(K + 1);
  RanStart(kSeed);
  std::vector<double> p;
  for (double level : levels) {
    int err = -1;
    p.push_back(p_hit_upper(&err, lower.data(), upper.data(), K, THETA, level));
    EXPECT_EQ(err, 0);
  }
  return p;
}

void expect_list_released() {
  EXPECT_EQ(alpha_val, nullptr);
  EXPECT_EQ(alpha_siz, 0);
  EXPECT_EQ(alpha_n, 0);
}

TEST(FindBndry, OnlyTheSmallestCandidateAcceptable) {
  // Candidates 0.375 (boundary (2, 2), true 0.25) and 0.625 (boundary (1, 2), true 0.5).
  SearchResult r = find_boundary(2, 0.5, 0.45);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.alpha[0], 0.375);
  EXPECT_EQ(r.alpha[1], 0.625);
  EXPECT_EQ(r.PHIstar, estimates_in_order(2, 0.5, {0.375})[0]);
  EXPECT_EQ(r.b, (std::vector<int>{-7, 2, 2}));
  expect_list_released();
}

TEST(FindBndry, LargestCandidateAcceptableReportsTheSecondEstimate) {
  SearchResult r = find_boundary(2, 0.5, 0.6);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.alpha[0], 0.625);
  EXPECT_EQ(r.alpha[1], 0.625);
  EXPECT_EQ(r.PHIstar, estimates_in_order(2, 0.5, {0.375, 0.625})[1]);
  EXPECT_NEAR(r.PHIstar, 0.5, five_standard_errors(0.5));
  EXPECT_EQ(r.b, (std::vector<int>{-7, 1, 2}));
}

TEST(FindBndry, SingleStageRunsExactlyOneSimulation) {
  // Candidates 0.75 and 1.0; the level 1.0 is scored 1 without simulating.
  SearchResult r = find_boundary(1, 0.5, 0.9);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.alpha[0], 0.75);
  EXPECT_EQ(r.alpha[1], 1.0);
  EXPECT_EQ(r.b, (std::vector<int>{-7, 1}));
  EXPECT_NEAR(r.PHIstar, 0.5, five_standard_errors(0.5));
  // One simulation of single-stage trials draws exactly 1,000,000 deviates.
  double next = RanUni();
  RanStart(kSeed);
  for (int i = 0; i < 1000000; ++i) RanUni();
  EXPECT_EQ(RanUni(), next);
}

TEST(FindBndry, NoCandidateAcceptable) {
  // The only candidate, 0.375, has a hitting probability near 0.25 > PHI.
  SearchResult r = find_boundary(2, 0.5, 0.1);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.alpha[0], 0.0);
  EXPECT_EQ(r.alpha[1], 0.0);
  EXPECT_EQ(r.PHIstar, 0.0);
  EXPECT_EQ(r.b, (std::vector<int>{-7, 2, 3}));  // the trial never stops
}

TEST(FindBndry, EstimateEqualToPhiIsAcceptableAtTheOpening) {
  // PHI set to the very estimate the search will make first at its only candidate.
  const double p = estimates_in_order(2, 0.5, {0.375})[0];
  SearchResult r = find_boundary(2, 0.5, p);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.alpha[0], 0.375);
}

TEST(FindBndry, EstimateEqualToPhiIsAcceptableForTheLargestCandidate) {
  const double p = estimates_in_order(2, 0.5, {0.375, 0.625})[1];
  SearchResult r = find_boundary(2, 0.5, p);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.alpha[0], 0.625);
  EXPECT_EQ(r.alpha[1], 0.625);
  EXPECT_EQ(r.PHIstar, p);
}

TEST(FindBndry, OutOfRangeArgumentsWriteNothing) {
  for (auto [K, THETA] : {std::pair{0, 0.5}, {256, 0.5}, {-1, 0.5}, {3, 1.5}, {3, -0.1}}) {
    SearchResult r = find_boundary(K, THETA, 0.1);
    EXPECT_EQ(r.code, 1) << K << " " << THETA;
    EXPECT_EQ(r.alpha[0], -7.0);
    EXPECT_EQ(r.PHIstar, -7.0);
    EXPECT_EQ(r.b, std::vector<int>(std::max(K, 0) + 1, -7));
    expect_list_released();
  }
}

TEST(FindBndry, SimulationFailureIsPassedUpAndTheListReleased) {
  // THETA = 0 fills the tables but every simulation refuses it with code 1.
  SearchResult r = find_boundary(4, 0.0, 0.3);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.alpha[0], -7.0);
  EXPECT_EQ(r.PHIstar, -7.0);
  EXPECT_EQ(r.b, std::vector<int>(5, -7));
  expect_list_released();
}

// Installs a hand-made candidate list for SolveAlpha; released by the caller.
void install_candidates(const std::vector<double> &levels) {
  release_candidates();
  for (double level : levels) {
    alpha_siz = alpha_n = alpha_n + 1;
    alpha_val = static_cast<double *>(erealloc(alpha_val, alpha_siz * sizeof(double)));
    alpha_val[alpha_n - 1] = level;
  }
}

TEST(SolveAlpha, FailureAtTheSecondOpeningEstimateStopsTheSearch) {
  // The level 0 is scored without simulating; the level 0.5 fails for THETA = 0.
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 0.0, kMaxStages), 0);
  install_candidates({0.0, 0.5});
  double alpha[2] = {-7.0, -7.0}, PHIstar = -7.0;
  EXPECT_EQ(SolveAlpha(alpha, &PHIstar, 3, 0.0, 0.2), 1);
  EXPECT_EQ(alpha[0], -7.0);
  EXPECT_EQ(alpha[1], -7.0);
  EXPECT_EQ(PHIstar, -7.0);
  release_candidates();
}

TEST(SolveAlpha, BisectionEstimateEqualToPhiIsAcceptable) {
  // THETA = 1/2, K = 2: level 0.1 gives an unreachable boundary (estimate 0),
  // 0.375 gives (2, 2) and 0.625 gives (1, 2). The search estimates 0.1, then
  // 0.625, then the midpoint 0.375.
  const std::vector<double> levels = {0.1, 0.375, 0.625};
  const double p_mid = estimates_in_order(2, 0.5, {0.1, 0.625, 0.375})[2];
  install_candidates(levels);
  double alpha[2], PHIstar;
  RanStart(kSeed);
  ASSERT_EQ(SolveAlpha(alpha, &PHIstar, 2, 0.5, p_mid), 0);
  EXPECT_EQ(alpha[0], 0.375);
  EXPECT_EQ(alpha[1], 0.625);
  EXPECT_EQ(PHIstar, p_mid);
  release_candidates();
}

struct SearchCase {
  int K;
  double THETA;
  double PHI;
};

void PrintTo(const SearchCase &c, std::ostream *os) { *os << c.K << " " << c.THETA << " " << c.PHI; }

class SearchAgainstExact : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchAgainstExact, BracketIsTwoNeighbouringCandidatesAroundPhi) {
  const SearchCase &c = GetParam();
  ASSERT_EQ(init_bin(bin_prob, bin_surv, c.THETA, kMaxStages), 0);
  FindAlpha(c.PHI, c.K);
  const std::vector<double> list(alpha_val, alpha_val + alpha_n);
  release_candidates();
  ASSERT_GE(list.size(), 3u) << "the case should need bisection";

  SearchResult r = find_boundary(c.K, c.THETA, c.PHI);
  ASSERT_EQ(r.code, 0);
  auto lo = std::find(list.begin(), list.end(), r.alpha[0]);
  ASSERT_NE(lo, list.end());
  ASSERT_NE(lo + 1, list.end());
  EXPECT_EQ(*(lo + 1), r.alpha[1]);
  EXPECT_LE(r.PHIstar, c.PHI);

  // The returned boundary is that of ALPHA, and its exact hitting probability is
  // what PHI* estimates; the next candidate's exceeds PHI up to Monte Carlo error.
  std::vector<int> b(c.K + 1), next(c.K + 1);
  ASSERT_EQ(GetPointwiseBndry(b.data(), c.K, r.alpha[0], c.THETA), 0);
  ASSERT_EQ(GetPointwiseBndry(next.data(), c.K, r.alpha[1], c.THETA), 0);
  EXPECT_EQ(std::vector<int>(r.b.begin() + 1, r.b.end()), std::vector<int>(b.begin() + 1, b.end()));
  const std::vector<int> lower(c.K + 1, -1);
  double exact_at_alpha = array_sum(exact_crossing(c.THETA, c.K, lower, b).up.data(), 1, c.K);
  double exact_at_next = array_sum(exact_crossing(c.THETA, c.K, lower, next).up.data(), 1, c.K);
  EXPECT_NEAR(r.PHIstar, exact_at_alpha, five_standard_errors(exact_at_alpha));
  EXPECT_LE(exact_at_alpha, c.PHI + five_standard_errors(exact_at_alpha));
  EXPECT_GT(exact_at_next, c.PHI - five_standard_errors(exact_at_next));
}

INSTANTIATE_TEST_SUITE_P(Inputs, SearchAgainstExact,
                         testing::Values(SearchCase{10, 0.3, 0.05}, SearchCase{25, 0.2, 0.1}));

}  // namespace
