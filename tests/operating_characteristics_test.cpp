// The summary of a fixed boundary at one event probability, against the
// exact distribution of the stopping point.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bndry/bndry.h"
#include "driver/driver_internal.h"
#include "ranuni/ranuni.h"
#include "tests/crossing_check.h"
#include "tests/program_runner.h"

namespace {

// The boundary the program finds for K = 10, THETA = 0.3, PHI = 0.05.
const std::vector<int> kTenStageBoundary = {0, 2, 3, 3, 4, 5, 5, 6, 6, 6, 7};

struct ExactMoments {
  double phi_star = 0.0, mean_y = 0.0, sd_y = 0.0, mean_n = 0.0, sd_n = 0.0;
};

// Moments of Y and N at the end of a trial with an upper boundary alone, from the exact recursion.
ExactMoments exact_moments(double p, int K, const std::vector<int> &upper) {
  CrossingResult r = exact_crossing(p, K, no_lower_boundary(K), upper);
  EXPECT_EQ(r.code, 0);
  ExactMoments m;
  double y2 = 0.0, n2 = 0.0;
  auto add = [&](double y, double n, double prob) {
    m.mean_y += prob * y;
    y2 += prob * y * y;
    m.mean_n += prob * n;
    n2 += prob * n * n;
  };
  for (int k = 1; k <= K; ++k) {
    m.phi_star += r.up[k];
    add(upper[k], k, r.up[k]);
  }
  for (int y = 0; y <= K; ++y) add(y, K, r.end[y]);
  m.sd_y = std::sqrt(y2 - m.mean_y * m.mean_y);
  m.sd_n = std::sqrt(n2 - m.mean_n * m.mean_n);
  return m;
}

TEST(Summary, EveryTableRowAgreesWithTheExactDistribution) {
  RanStart(314159);
  double p[kMaxTableRows];
  const int rows = table_event_probabilities(0.123, p);
  ASSERT_EQ(rows, 18);
  for (int row = 0; row < rows; ++row) {
    SCOPED_TRACE("event probability " + std::to_string(p[row]));
    const oc_summary s = summary(p[row], 10, no_lower_boundary(10).data(), kTenStageBoundary.data());
    const ExactMoments m = exact_moments(p[row], 10, kTenStageBoundary);
    EXPECT_NEAR(s.phi_star, m.phi_star, five_standard_errors(m.phi_star));
    EXPECT_NEAR(s.mean_n, m.mean_n, 5.0 * m.sd_n / 1000.0 + 1e-12);
    EXPECT_NEAR(s.mean_y, m.mean_y, 5.0 * m.sd_y / 1000.0);
    EXPECT_NEAR(s.sd_n, m.sd_n, 0.01 * m.sd_n + 1e-12);
    EXPECT_NEAR(s.sd_y, m.sd_y, 0.01 * m.sd_y);
    EXPECT_GT(s.mean_yn, 0.0);
    EXPECT_LT(s.mean_yn, 1.0);
  }
}

TEST(Summary, UnreachableBoundaryRunsEveryTrialToTheEnd) {
  RanStart(314159);
  const int K = 20;
  std::vector<int> upper(K + 1);
  for (int k = 0; k <= K; ++k) upper[k] = k + 1;
  const oc_summary s = summary(0.35, K, no_lower_boundary(K).data(), upper.data());
  EXPECT_EQ(s.phi_star, 0.0);
  EXPECT_EQ(s.mean_n, K);
  EXPECT_EQ(s.sd_n, 0.0);
  const double sd_y = std::sqrt(K * 0.35 * 0.65);
  EXPECT_NEAR(s.mean_y, K * 0.35, 5.0 * sd_y / 1000.0);
  EXPECT_NEAR(s.sd_y, sd_y, 0.01 * sd_y);
  EXPECT_DOUBLE_EQ(s.mean_yn, s.mean_y / K);
  EXPECT_DOUBLE_EQ(s.sd_yn, s.sd_y / K);
}

TEST(Summary, SingleStageMomentsFollowFromTheEventFrequency) {
  RanStart(314159);
  const oc_summary s = summary(0.4, 1, no_lower_boundary(1).data(), std::vector<int>{0, 1}.data());
  const double f = s.phi_star;
  EXPECT_NEAR(f, 0.4, five_standard_errors(0.4));
  EXPECT_EQ(s.mean_y, f);
  EXPECT_EQ(s.mean_yn, f);
  EXPECT_DOUBLE_EQ(s.sd_y, std::sqrt(f * (1.0 - f)));
  EXPECT_EQ(s.sd_yn, s.sd_y);
  EXPECT_EQ(s.mean_n, 1.0);
  EXPECT_EQ(s.sd_n, 0.0);
}

TEST(Summary, RejectedInputEndsTheProcessWithStatusOneAndNoOutput) {
  ScratchDirectory dir;
  const std::string out = (dir.path() / "stdout.txt").string();
  EXPECT_EXIT(
      {
        std::freopen(out.c_str(), "w", stdout);
        summary(0.0, 3, no_lower_boundary(3).data(), std::vector<int>{0, 1, 2, 3}.data());
        std::exit(0);
      },
      testing::ExitedWithCode(1), "");
  EXPECT_EQ(read_file(out), "");
}

}  // namespace
