// The binomial probability and tail tables and their cache.
#include <gtest/gtest.h>

#include <cmath>

#include "bndry/bndry_internal.h"

namespace {

// Empties the cache so that the next call fills the tables.
void forget_tables() {
  bin_prob_max_m = -1;
  bin_prob_theta = -1.0;
}

TEST(InitBin, RejectsOutOfRangeArgumentsAndKeepsTheTables) {
  forget_tables();
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 0.5, 3), 0);
  struct Case {
    double theta;
    int m;
  } cases[] = {{0.5, 0}, {0.5, 256}, {0.5, -1}, {-1e-12, 3}, {1.0 + 1e-12, 3}, {std::nan(""), 3}};
  for (const Case &c : cases) {
    EXPECT_EQ(init_bin(bin_prob, bin_surv, c.theta, c.m), 1) << c.theta << " " << c.m;
    EXPECT_EQ(bin_prob_max_m, 3);
    EXPECT_EQ(bin_prob_theta, 0.5);
    EXPECT_EQ(bin_prob[2][1], 0.5);
  }
  EXPECT_EQ(init_bin(bin_prob, bin_surv, 0.5, 255), 0);
  EXPECT_EQ(bin_prob_max_m, 255);
}

TEST(InitBin, ThetaOneHalfRowTwo) {
  forget_tables();
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 0.5, 255), 0);
  EXPECT_EQ(bin_prob[2][0], 0.25);
  EXPECT_EQ(bin_prob[2][1], 0.5);
  EXPECT_EQ(bin_prob[2][2], 0.25);
  EXPECT_EQ(bin_surv[2][0], 1.0);
  EXPECT_EQ(bin_surv[2][1], 0.75);
  EXPECT_EQ(bin_surv[2][2], 0.25);
}

TEST(InitBin, DegenerateEventProbabilities) {
  forget_tables();
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 0.0, 255), 0);
  for (int i = 1; i <= 255; ++i) {
    EXPECT_EQ(bin_prob[i][0], 1.0);
    EXPECT_EQ(bin_surv[i][0], 1.0);
    for (int j = 1; j <= i; ++j) {
      ASSERT_EQ(bin_prob[i][j], 0.0);
      ASSERT_EQ(bin_surv[i][j], 0.0);
    }
  }
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 1.0, 255), 0);
  for (int i = 1; i <= 255; ++i) {
    EXPECT_EQ(bin_prob[i][i], 1.0);
    for (int j = 0; j < i; ++j) ASSERT_EQ(bin_prob[i][j], 0.0);
    for (int j = 0; j <= i; ++j) ASSERT_EQ(bin_surv[i][j], 1.0);
  }
}

class InitBinRows : public testing::TestWithParam<double> {};

TEST_P(InitBinRows, RowsAreBinomialAndTailsNormalisedAndNonIncreasing) {
  const double theta = GetParam();
  forget_tables();
  ASSERT_EQ(init_bin(bin_prob, bin_surv, theta, 255), 0);
  for (int i = 1; i <= 255; ++i) {
    double total = 0.0;
    for (int j = 0; j <= i; ++j) {
      total += bin_prob[i][j];
      double expected = std::exp(std::lgamma(i + 1.0) - std::lgamma(j + 1.0) - std::lgamma(i - j + 1.0) +
                                 j * std::log(theta) + (i - j) * std::log1p(-theta));
      ASSERT_NEAR(bin_prob[i][j], expected, 1e-12 + 1e-9 * expected) << "row " << i << " entry " << j;
    }
    ASSERT_NEAR(total, 1.0, 1e-12) << "row " << i;
    ASSERT_EQ(bin_surv[i][0], 1.0);
    for (int j = 1; j <= i; ++j) ASSERT_LE(bin_surv[i][j], bin_surv[i][j - 1]) << i << " " << j;
    // The top tail is the last probability divided by the row total.
    ASSERT_NEAR(bin_surv[i][i], bin_prob[i][i], 1e-12 * (1 + bin_prob[i][i]));
  }
}

INSTANTIATE_TEST_SUITE_P(EventProbabilities, InitBinRows,
                         testing::Values(0.001, 0.05, 0.3, 0.5, 0.77, 0.999));

TEST(InitBin, RepeatedKeyWritesNothing) {
  forget_tables();
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 0.3, 255), 0);
  const double saved = bin_prob[10][3];
  bin_prob[10][3] = 42.0;
  bin_surv[7][2] = -3.0;
  EXPECT_EQ(init_bin(bin_prob, bin_surv, 0.3, 255), 0);
  EXPECT_EQ(bin_prob[10][3], 42.0);
  EXPECT_EQ(bin_surv[7][2], -3.0);

  // A new event probability refills everything.
  EXPECT_EQ(init_bin(bin_prob, bin_surv, 0.4, 255), 0);
  EXPECT_NE(bin_prob[10][3], 42.0);
  EXPECT_EQ(bin_prob_theta, 0.4);
  EXPECT_EQ(init_bin(bin_prob, bin_surv, 0.3, 255), 0);
  EXPECT_EQ(bin_prob[10][3], saved);
}

TEST(InitBin, SmallerRowCountRefillsThoseRowsOnly) {
  forget_tables();
  ASSERT_EQ(init_bin(bin_prob, bin_surv, 0.3, 255), 0);
  bin_prob[5][1] = 42.0;
  bin_prob[20][1] = 42.0;
  EXPECT_EQ(init_bin(bin_prob, bin_surv, 0.3, 10), 0);
  EXPECT_EQ(bin_prob_max_m, 10);
  EXPECT_NE(bin_prob[5][1], 42.0);
  EXPECT_EQ(bin_prob[20][1], 42.0);
}

}  // namespace
