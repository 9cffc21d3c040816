// The list of candidate pointwise levels: collection, Shell sort,
// de-duplication, midpoints and the cut at PHI.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bndry/bndry.h"
#include "bndry/bndry_internal.h"
#include "tests/case_name.h"

namespace {

// The candidate list built for THETA, PHI and K; the list is released again.
std::vector<double> candidates(double THETA, double PHI, int K) {
  EXPECT_EQ(init_bin(bin_prob, bin_surv, THETA, kMaxStages), 0);
  EXPECT_EQ(alpha_n, 0);
  FindAlpha(PHI, K);
  std::vector<double> list(alpha_val, alpha_val + alpha_n);
  release_candidates();
  return list;
}

struct CandidateCase {
  const char *name;
  double THETA;
  double PHI;
  int K;
  std::vector<double> expected;
};

void PrintTo(const CandidateCase &c, std::ostream *os) { *os << c.name; }

class CandidateList : public testing::TestWithParam<CandidateCase> {};

TEST_P(CandidateList, WorkedCases) {
  const CandidateCase &c = GetParam();
  EXPECT_EQ(candidates(c.THETA, c.PHI, c.K), c.expected);
}

// THETA = 1/2: tails of stage 1 are 1, 0.5; of stage 2 are 1, 0.75, 0.25.
INSTANTIATE_TEST_SUITE_P(
    ThetaOneHalf, CandidateList,
    testing::Values(CandidateCase{"TwoStagesCutAfterFirst", 0.5, 0.3, 2, {0.375}},
                    CandidateCase{"TwoStagesCutAfterSecond", 0.5, 0.6, 2, {0.375, 0.625}},
                    CandidateCase{"CandidateEqualToPhiIsLast", 0.5, 0.375, 2, {0.375}},
                    CandidateCase{"PhiAboveOneKeepsEverything", 0.5, 1.5, 2, {0.375, 0.625, 0.875, 1.0}},
                    CandidateCase{"OneStageSingleValue", 0.5, 0.4, 1, {0.5}},
                    CandidateCase{"OneStageMidpointReachesPhi", 0.5, 0.6, 1, {0.75}},
                    CandidateCase{"OneStageBothKept", 0.5, 0.8, 1, {0.75, 1.0}}),
    case_name<CandidateCase>);

TEST(FindAlpha, ListIsStrictlyIncreasingMidpointsOfDistinctTails) {
  const double THETA = 0.23, PHI = 0.1;
  const int K = 40;
  std::vector<double> list = candidates(THETA, PHI, K);

  // Rebuild from the tails: every value collected, sorted, distinct, midpoints, cut.
  std::vector<double> tails;
  for (int i = 1; i <= K; ++i)
    for (int j = i; j >= 0; --j) {
      tails.push_back(bin_surv[i][j]);
      if (bin_surv[i][j] >= PHI) break;
    }
  std::sort(tails.begin(), tails.end());
  tails.erase(std::unique(tails.begin(), tails.end()), tails.end());
  ASSERT_GE(tails.size(), 2u);
  ASSERT_GE(list.size(), 2u);
  for (std::size_t k = 0; k + 1 < list.size(); ++k) {
    EXPECT_LT(list[k], list[k + 1]);
    EXPECT_EQ(list[k], (tails[k + 1] + tails[k]) * 0.5) << k;
    EXPECT_LT(list[k], PHI);
  }
  EXPECT_GE(list.back(), PHI);
}

TEST(FindAlpha, GrowsByDoublingAndReleaseEmptiesTheList) {
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 0.5, kMaxStages), 0);
  FindAlpha(0.3, 2);  // collects three values: capacity 1, 2, then 4
  EXPECT_EQ(alpha_siz, 4);
  EXPECT_EQ(alpha_n, 1);
  release_candidates();
  EXPECT_EQ(alpha_val, nullptr);
  EXPECT_EQ(alpha_siz, 0);
  EXPECT_EQ(alpha_n, 0);
}

TEST(FindAlpha, LargestListForMaximumStages) {
  // With PHI above 1 every tail of rows 1..K is collected: K(K+3)/2 values.
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 0.05, kMaxStages), 0);
  FindAlpha(2.0, kMaxStages);
  EXPECT_GE(alpha_siz, kMaxStages * (kMaxStages + 3) / 2);
  EXPECT_GT(alpha_n, 1);
  EXPECT_EQ(alpha_val[alpha_n - 1], 1.0);
  EXPECT_TRUE(std::is_sorted(alpha_val, alpha_val + alpha_n));
  release_candidates();
}

TEST(ShellSort, FirstIncrement) {
  const std::vector<std::pair<int, int>> cases = {
      {0, 1}, {1, 1}, {9, 1}, {10, 4}, {36, 4}, {37, 13}, {117, 13}, {118, 40}, {29520, 3280}, {29521, 9841}};
  for (auto [n, h] : cases) EXPECT_EQ(shell_sort_first_increment(n), h) << n;
}

TEST(ShellSort, SortsLikeTheStandardSort) {
  std::mt19937 random(17);
  for (int n : {0, 1, 2, 3, 9, 10, 37, 200, 1000}) {
    std::uniform_int_distribution<int> few_values(0, n / 3 + 1);  // many duplicates
    std::vector<double> v(n);
    for (double &x : v) x = few_values(random) * 0.125;
    std::vector<double> expected = v;
    std::sort(expected.begin(), expected.end());
    shell_sort(v.data(), n);
    EXPECT_EQ(v, expected) << n;
  }
}

TEST(Midpoints, UsesNeighboursAsTheyStoodBeforeTheCall) {
  std::vector<double> v = {1.0, 2.0, 4.0, 8.0};
  midpoints(v.data(), 4);
  EXPECT_EQ(v, (std::vector<double>{1.5, 3.0, 6.0, 8.0}));

  std::vector<double> one = {5.0};
  midpoints(one.data(), 1);
  EXPECT_EQ(one, std::vector<double>{5.0});
  midpoints(nullptr, 0);
}

}  // namespace
