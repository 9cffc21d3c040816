// The exact crossing recursion against hand-worked trees and against a
// brute-force enumeration of every sequence of outcomes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bndry/bndry.h"
#include "tests/crossing_check.h"

namespace {

TEST(ExactCrossingProb, SingleStageUpperOnly) {
  CrossingResult r = exact_crossing(0.3, 1, no_lower_boundary(1), {0, 1});
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.up, (std::vector<double>{0.0, 0.3}));
  EXPECT_EQ(r.lo, (std::vector<double>{0.0, 0.0}));
  EXPECT_DOUBLE_EQ(r.end[0], 0.7);
  EXPECT_EQ(r.end[1], 0.0);
}

TEST(ExactCrossingProb, SingleStageBothBoundaries) {
  CrossingResult r = exact_crossing(0.3, 1, {0, 0}, {0, 1});
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.up[1], 0.3);
  EXPECT_DOUBLE_EQ(r.lo[1], 0.7);
  EXPECT_EQ(r.end, (std::vector<double>{0.0, 0.0}));
}

TEST(ExactCrossingProb, ThreeStagesByHand) {
  // THETA = 1/2, upper (1, 2, 2): an event at stage 1 stops there (1/2); from
  // count 0 two more events stop at stage 3 (1/8); otherwise the trial ends
  // with 0 events (1/8) or 1 event (1/4).
  CrossingResult r = exact_crossing(0.5, 3, no_lower_boundary(3), {0, 1, 2, 2});
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.up, (std::vector<double>{0.0, 0.5, 0.0, 0.125}));
  EXPECT_EQ(r.lo, (std::vector<double>(4, 0.0)));
  EXPECT_EQ(r.end, (std::vector<double>{0.125, 0.25, 0.0, 0.0}));
}

TEST(ExactCrossingProb, FourStagesWithLowerBoundaryByHand) {
  // THETA = 1/2, lower (-1, 0, 0, 1), upper (2, 2, 3, 3). Stage 2: two events
  // stop above (1/4), none below (1/4); the 1/2 with one event goes on. Stage 3:
  // counts 1 and 2 (1/4 each) lie strictly between 0 and 3, so nothing stops.
  // Stage 4: from 2 an event reaches 3 (1/8); from 1 no event stays at 1 <= 1
  // and stops below (1/8); the rest (count 2, 1/4) ends.
  CrossingResult r = exact_crossing(0.5, 4, {0, -1, 0, 0, 1}, {0, 2, 2, 3, 3});
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.up, (std::vector<double>{0.0, 0.0, 0.25, 0.0, 0.125}));
  EXPECT_EQ(r.lo, (std::vector<double>{0.0, 0.0, 0.25, 0.0, 0.125}));
  EXPECT_EQ(r.end, (std::vector<double>{0.0, 0.0, 0.25, 0.0, 0.0}));
}

TEST(ExactCrossingProb, UnreachableUpperGivesTheBinomialDistribution) {
  const int K = 30;
  std::vector<int> upper(K + 1);
  for (int k = 0; k <= K; ++k) upper[k] = k + 1;
  CrossingResult r = exact_crossing(0.37, K, no_lower_boundary(K), upper);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.up, std::vector<double>(K + 1, 0.0));
  for (int y = 0; y <= K; ++y) EXPECT_NEAR(r.end[y], bin_pdf(y, K, 0.37), 1e-13 * bin_pdf(y, K, 0.37)) << y;
}

// Sums the probability of every sequence of K outcomes into the cell where a
// trial with that sequence stops or ends.
CrossingResult enumerate_all_sequences(double THETA, int K, const std::vector<int> &lower,
                                       const std::vector<int> &upper) {
  CrossingResult r;
  r.code = 0;
  r.lo.assign(K + 1, 0.0);
  r.up.assign(K + 1, 0.0);
  r.end.assign(K + 1, 0.0);
  for (unsigned long sequence = 0; sequence < (1ul << K); ++sequence) {
    double p = 1.0;
    for (int k = 0; k < K; ++k) p *= (sequence >> k & 1) ? THETA : 1.0 - THETA;
    int y = 0;
    int k = 1;
    for (; k <= K; ++k) {
      y += sequence >> (k - 1) & 1;
      if (y >= upper[k]) {
        r.up[k] += p;
        break;
      }
      if (y <= lower[k]) {
        r.lo[k] += p;
        break;
      }
    }
    if (k > K) r.end[y] += p;
  }
  return r;
}

class ExactAgainstEnumeration : public testing::TestWithParam<BoundaryPair> {};

TEST_P(ExactAgainstEnumeration, AllCellsAgree) {
  const BoundaryPair &c = GetParam();
  CrossingResult exact = exact_crossing(c.THETA, c.K, c.lower, c.upper);
  CrossingResult tree = enumerate_all_sequences(c.THETA, c.K, c.lower, c.upper);
  ASSERT_EQ(exact.code, 0);
  for (int i = 0; i <= c.K; ++i) {
    EXPECT_NEAR(exact.lo[i], tree.lo[i], 1e-14) << "lo " << i;
    EXPECT_NEAR(exact.up[i], tree.up[i], 1e-14) << "up " << i;
    EXPECT_NEAR(exact.end[i], tree.end[i], 1e-14) << "end " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, ExactAgainstEnumeration,
    testing::Values(
        BoundaryPair{"UpperJumps", 0.3, 8, no_lower_boundary(8), {0, 1, 3, 3, 3, 6, 6, 7, 7}},
        BoundaryPair{
            "LowerRising", 0.45, 10, {0, -1, -1, 0, 0, 1, 1, 2, 2, 3, 3}, {0, 2, 3, 3, 4, 4, 5, 6, 6, 7, 7}},
        BoundaryPair{"LowerZeroFromStart", 0.2, 7, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 2, 2, 2, 3, 3, 3}},
        BoundaryPair{"HighEventProbability",
                     0.9,
                     12,
                     no_lower_boundary(12),
                     {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}}),
    case_name<BoundaryPair>);

}  // namespace
