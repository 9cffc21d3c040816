// The correlation and conditional moments of a pair of binary outcomes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "cross2s/cross2s.h"

namespace {

TEST(Psi2cor, KnownValues) {
  EXPECT_DOUBLE_EQ(psi2cor(0.5, 0.5, 9.0), 0.5);
  EXPECT_DOUBLE_EQ(psi2cor(0.5, 0.5, 1.0 / 9.0), -0.5);
  for (double p1 : {0.01, 0.3, 0.5, 0.99})
    for (double p2 : {0.2, 0.7}) EXPECT_EQ(psi2cor(p1, p2, 1.0), 0.0) << p1 << " " << p2;
}

TEST(Psi2cor, JointProbabilityHasTheRequestedOddsRatio) {
  // Recover p11 from the correlation and check the odds ratio of the 2x2 table.
  const double p1 = 0.3, p2 = 0.6, psi = 2.5;
  double r = psi2cor(p1, p2, psi);
  double p11 = p1 * p2 + r * std::sqrt(p1 * (1 - p1) * p2 * (1 - p2));
  double p10 = p1 - p11, p01 = p2 - p11, p00 = 1 - p1 - p2 + p11;
  EXPECT_NEAR(p11 * p00 / (p10 * p01), psi, 1e-12);
}

TEST(Psi2cor, ImpossibleParametersGiveNaN) {
  EXPECT_TRUE(std::isnan(psi2cor(0.0, 0.5, 2.0)));  // zero variance
}

TEST(CondMv, WorkedCases) {
  const std::vector<double> x = {3.0}, n = {4.0};
  std::vector<double> mean(1), var(1);
  BinaryPairParameters par{123.0, 0.5, 0.5, 9.0};
  EXPECT_EQ(cond_mv(mean.data(), var.data(), x.data(), n.data(), 0, &par), 0);
  EXPECT_DOUBLE_EQ(mean[0], 0.625);
  EXPECT_DOUBLE_EQ(var[0], 0.046875);

  par.psi = 1.0;
  EXPECT_EQ(cond_mv(mean.data(), var.data(), x.data(), n.data(), 0, &par), 0);
  EXPECT_EQ(mean[0], 0.5);
  EXPECT_EQ(var[0], 0.0625);
}

TEST(CondMv, WritesIndicesZeroToKAndIgnoresTheFirstField) {
  const std::vector<double> x = {0.0, 2.0, 4.0, 9.0}, n = {4.0, 4.0, 4.0, 9.0};
  std::vector<double> mean(5, -1.0), var(5, -1.0);
  BinaryPairParameters par{std::nan(""), 0.5, 0.5, 9.0};
  cond_mv(mean.data(), var.data(), x.data(), n.data(), 2, &par);
  // a = 0.75 when the first outcome is 1, c = 0.25 when it is 0.
  EXPECT_DOUBLE_EQ(mean[0], 0.25);
  EXPECT_DOUBLE_EQ(mean[1], 0.5);
  EXPECT_DOUBLE_EQ(mean[2], 0.75);
  EXPECT_DOUBLE_EQ(var[0], 0.25 * 0.75 / 4.0);
  EXPECT_EQ(mean[3], -1.0);
  EXPECT_EQ(var[3], -1.0);
}

}  // namespace
