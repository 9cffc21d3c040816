// The exact engine as the program uses it (this test links
// cross2s/exact_engine.cpp in place of the simulation engine): its label,
// that nothing draws a deviate, the search's bisection against an
// exhaustive scan of the candidate list, and table figures worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "bndry/bndry.h"
#include "bndry/bndry_internal.h"
#include "driver/driver_internal.h"
#include "ranuni/ranuni.h"
#include "tests/crossing_check.h"
#include "tests/hand_trees.h"

namespace {

// CrossingProb of this build, which is the exact engine's.
CrossingResult engine_crossing(double THETA, int K, const std::vector<int> &lower,
                               const std::vector<int> &upper) {
  return run_crossing(CrossingProb, THETA, K, lower, upper);
}

// True when the next deviate is the one a stream freshly started with seed gives first.
bool stream_unused_since_start(int seed) {
  double next = RanUni();
  RanStart(seed);
  return next == RanUni();
}

TEST(ExactEngine, NamesItselfExact) {
  EXPECT_STREQ(method(), "Exact");
}

TEST(ExactEngine, CrossingProbIsTheExactRecursionBitForBit) {
  const std::vector<int> upper = {0, 1, 3, 3, 3, 6, 6, 7, 7};
  for (auto lower : {no_lower_boundary(8), std::vector<int>{0, 0, 0, 1, 1, 1, 2, 2, 3}}) {
    CrossingResult engine = engine_crossing(0.3, 8, lower, upper);
    CrossingResult exact = exact_crossing(0.3, 8, lower, upper);
    EXPECT_EQ(engine.code, 0);
    EXPECT_EQ(engine.lo, exact.lo);
    EXPECT_EQ(engine.up, exact.up);
    EXPECT_EQ(engine.end, exact.end);
  }
  // The same validation codes, with nothing written.
  CrossingResult rejected = engine_crossing(0.3, 3, {0, 1, 1, 1}, {0, 2, 2, 2});
  EXPECT_EQ(rejected.code, 3);
  EXPECT_EQ(rejected.up, std::vector<double>(4, -1.0));
}

TEST(ExactEngine, AWholeRunDrawsNoDeviate) {
  // The search, then every table row, as main does them.
  for (auto [K, THETA, PHI] : {std::tuple{10, 0.3, 0.05}, {1, 0.5, 0.9}, {255, 0.123, 0.2}}) {
    RanStart(5);
    int b[kMaxStages + 1];
    double alpha[2], PHIstar;
    ASSERT_EQ(FindBndry(b, alpha, &PHIstar, K, THETA, PHI), 0);
    double p[kMaxTableRows];
    const int rows = table_event_probabilities(THETA, p);
    const std::vector<int> lower = no_lower_boundary(K);
    for (int row = 0; row < rows; ++row) summary(p[row], K, lower.data(), b);
    EXPECT_TRUE(stream_unused_since_start(5)) << K << " " << THETA << " " << PHI;
  }
}

// ---- The search against an exhaustive scan ------------------------------------------

struct SearchOutcome {
  int code = -1;
  double alpha[2] = {-7.0, -7.0};
  double PHIstar = -7.0;
  std::vector<int> b;
};

SearchOutcome search(int K, double THETA, double PHI) {
  SearchOutcome r;
  r.b.assign(K + 1, -7);
  r.code = FindBndry(r.b.data(), r.alpha, &r.PHIstar, K, THETA, PHI);
  return r;
}

// The candidate list of the search for K, THETA and PHI, and the exact hitting probability of each.
struct ScoredCandidates {
  std::vector<double> level, p;
};

ScoredCandidates score_every_candidate(int K, double THETA, double PHI) {
  ScoredCandidates c;
  EXPECT_EQ(init_bin(bin_prob, bin_surv, THETA, kMaxStages), 0);
  FindAlpha(PHI, K);
  c.level.assign(alpha_val, alpha_val + alpha_n);
  release_candidates();
  std::vector<int> lower(K + 1, -1), upper(K + 1);
  for (double level : c.level) {
    int err = -1;
    c.p.push_back(p_hit_upper(&err, lower.data(), upper.data(), K, THETA, level));
    EXPECT_EQ(err, 0);
  }
  return c;
}

// Tries every candidate: the result the search must give when it finds the largest acceptable one.
SearchOutcome exhaustive_scan(int K, double THETA, const ScoredCandidates &c, double PHI) {
  SearchOutcome r;
  r.code = 0;
  const int n = static_cast<int>(c.level.size());
  int best = -1;
  for (int i = 0; i < n; ++i)
    if (c.p[i] <= PHI) best = i;
  if (best < 0) {
    r.alpha[0] = r.alpha[1] = r.PHIstar = 0.0;
  } else {
    r.alpha[0] = c.level[best];
    r.alpha[1] = c.level[best == n - 1 ? best : best + 1];
    r.PHIstar = c.p[best];
  }
  r.b.assign(K + 1, -7);
  EXPECT_EQ(GetPointwiseBndry(r.b.data(), K, r.alpha[0], THETA), 0);
  return r;
}

// Checks the search for K, THETA and PHI against the scan; returns the exact hitting probabilities of the
// candidates, which must not decrease along the list for the bisection to be right.
std::vector<double> expect_search_matches_scan(int K, double THETA, double PHI) {
  SCOPED_TRACE("K = " + std::to_string(K) + ", THETA = " + std::to_string(THETA) +
               ", PHI = " + std::to_string(PHI));
  const ScoredCandidates c = score_every_candidate(K, THETA, PHI);
  for (std::size_t i = 1; i < c.p.size(); ++i)
    EXPECT_LE(c.p[i - 1], c.p[i]) << "candidates " << i - 1 << " and " << i;
  const SearchOutcome expected = exhaustive_scan(K, THETA, c, PHI);
  const SearchOutcome found = search(K, THETA, PHI);
  EXPECT_EQ(found.code, 0);
  EXPECT_EQ(found.alpha[0], expected.alpha[0]);
  EXPECT_EQ(found.alpha[1], expected.alpha[1]);
  EXPECT_EQ(found.PHIstar, expected.PHIstar);
  EXPECT_EQ(found.b, expected.b);
  EXPECT_LE(found.PHIstar, PHI);
  return c.p;
}

TEST(ExactSearch, FindsTheLargestAcceptableCandidateOnSmallCases) {
  for (int K = 1; K <= 12; ++K) {
    for (double THETA : {0.05, 0.2, 0.3, 0.5, 0.77}) {
      for (double PHI : {0.01, 0.05, 0.1, 0.2, 0.35, 0.5, 0.8, 0.95}) {
        const std::vector<double> p = expect_search_matches_scan(K, THETA, PHI);
        // PHI equal to a candidate's probability: equality is acceptable, so the search must end on the
        // last candidate with that probability.
        for (double tie : p)
          if (tie > 0.0 && tie < 1.0) expect_search_matches_scan(K, THETA, tie);
      }
    }
  }
}

TEST(ExactSearch, FindsTheLargestAcceptableCandidateOnLongTrials) {
  // Scoring every candidate costs about K^2 / 2 per candidate, and the lists grow to thousands of levels;
  // these cases are kept small enough for the sanitizer build.
  for (double THETA : {0.1, 0.3, 0.6}) {
    for (double PHI : {0.05, 0.3}) expect_search_matches_scan(40, THETA, PHI);  // 195 to 716 candidates
  }
  expect_search_matches_scan(100, 0.6, 0.05);  // 1,488 candidates
}

// ---- Figures worked by hand --------------------------------------------------------------

void expect_summary_is(const oc_summary &s, const HandFigures &h) {
  EXPECT_NEAR(s.phi_star, h.phi_star, 1e-15);
  EXPECT_NEAR(s.mean_y, h.mean_y, 1e-14);
  EXPECT_NEAR(s.sd_y, h.sd_y, 1e-13);
  EXPECT_NEAR(s.mean_n, h.mean_n, 1e-14);
  EXPECT_NEAR(s.sd_n, h.sd_n, 1e-6);  // the square root of a variance near 1e-16 when it is 0
  EXPECT_NEAR(s.mean_yn, h.mean_yn, 1e-15);
  EXPECT_NEAR(s.sd_yn, h.sd_yn, 1e-13);
}

TEST(ExactByHand, SingleStageBoundaryOneStopsWithProbabilityTheta) {
  SearchOutcome r = search(1, 0.5, 0.9);  // candidates 0.75 (boundary (1)) and 1.0
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.b, (std::vector<int>{-7, 1}));
  EXPECT_EQ(r.PHIstar, 0.5);
  for (double p : {0.5, 0.05, 0.3, 0.95}) {
    SCOPED_TRACE(p);
    const oc_summary s = summary(p, 1, no_lower_boundary(1).data(), r.b.data());
    EXPECT_EQ(s.phi_star, p);
    EXPECT_EQ(s.mean_n, 1.0);
    EXPECT_EQ(s.sd_n, 0.0);
    expect_summary_is(s, single_stage_figures(p));
  }
}

TEST(ExactByHand, UnreachableBoundaryEndsWithBinomialCounts) {
  for (int K : {2, 17, kMaxStages}) {
    for (double THETA : {0.5, 0.3}) {
      SCOPED_TRACE("K = " + std::to_string(K) + ", THETA = " + std::to_string(THETA));
      std::vector<int> upper(K + 1);
      for (int k = 0; k <= K; ++k) upper[k] = k + 1;
      CrossingResult r = engine_crossing(THETA, K, no_lower_boundary(K), upper);
      ASSERT_EQ(r.code, 0);
      EXPECT_EQ(r.up, std::vector<double>(K + 1, 0.0));
      EXPECT_EQ(r.lo, std::vector<double>(K + 1, 0.0));
      ASSERT_EQ(init_bin(bin_prob, bin_surv, THETA, kMaxStages), 0);
      for (int y = 0; y <= K; ++y)  // the program's own binomial table, from log-factorials
        EXPECT_NEAR(r.end[y], bin_prob[K][y], 1e-12 * bin_prob[K][y]) << y;

      const oc_summary s = summary(THETA, K, no_lower_boundary(K).data(), upper.data());
      EXPECT_EQ(s.phi_star, 0.0);
      EXPECT_DOUBLE_EQ(s.mean_n, K);
      EXPECT_NEAR(s.sd_n, 0.0, 1e-6);
      EXPECT_NEAR(s.mean_y, K * THETA, 1e-12 * K);
      EXPECT_NEAR(s.sd_y, std::sqrt(K * THETA * (1 - THETA)), 1e-12 * K);
      EXPECT_NEAR(s.mean_yn, THETA, 1e-14);
      EXPECT_NEAR(s.sd_yn, std::sqrt(THETA * (1 - THETA) / K), 1e-12);
    }
  }
  const std::vector<int> unreachable = {0, 2, 3};
  for (double p : {0.5, 0.1, 0.85}) {
    SCOPED_TRACE(p);
    expect_summary_is(summary(p, 2, no_lower_boundary(2).data(), unreachable.data()),
                      unreachable_two_stage_figures(p));
  }
}

TEST(ExactByHand, FourStageBoundaryAgainstItsTree) {
  SearchOutcome r = search(4, 0.2, 0.1);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(std::vector<int>(r.b.begin() + 1, r.b.end()),
            std::vector<int>(kFourStageBoundary.begin() + 1, kFourStageBoundary.end()));
  EXPECT_NEAR(r.PHIstar, 0.0528, 1e-15);  // 0.2^2 + 2 0.2^3 0.8
  for (double p : {0.2, 0.25, 0.5, 0.65, 0.95}) {
    SCOPED_TRACE(p);
    expect_summary_is(summary(p, 4, no_lower_boundary(4).data(), kFourStageBoundary.data()),
                      four_stage_figures(p));
  }
}

}  // namespace
