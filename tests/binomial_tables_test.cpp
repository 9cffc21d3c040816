// The binomial probability and tail tables of one event probability.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/binomial.h"

namespace contmon {
namespace {

TEST(BinomialTables, ThetaOneHalfSmallRows) {
  const BinomialTables tables(0.5);
  EXPECT_EQ(tables.theta(), 0.5);
  EXPECT_EQ(tables.prob(1, 0), 0.5);
  EXPECT_EQ(tables.prob(1, 1), 0.5);
  EXPECT_EQ(tables.surv(1, 1), 0.5);
  EXPECT_EQ(tables.prob(2, 0), 0.25);
  EXPECT_EQ(tables.prob(2, 1), 0.5);
  EXPECT_EQ(tables.prob(2, 2), 0.25);
  EXPECT_EQ(tables.surv(2, 0), 1.0);
  EXPECT_EQ(tables.surv(2, 1), 0.75);
  EXPECT_EQ(tables.surv(2, 2), 0.25);
  const double tails[] = {1.0, 15.0 / 16, 11.0 / 16, 5.0 / 16, 1.0 / 16};
  for (int j = 0; j <= 4; ++j) EXPECT_NEAR(tables.surv(4, j), tails[j], 1e-15) << j;
}

TEST(BinomialTables, DegenerateEventProbabilities) {
  const BinomialTables never(0.0);
  for (int i = 1; i <= kMaxStages; ++i) {
    EXPECT_EQ(never.prob(i, 0), 1.0);
    EXPECT_EQ(never.surv(i, 0), 1.0);
    for (int j = 1; j <= i; ++j) {
      ASSERT_EQ(never.prob(i, j), 0.0);
      ASSERT_EQ(never.surv(i, j), 0.0);
    }
  }
  const BinomialTables always(1.0);
  for (int i = 1; i <= kMaxStages; ++i) {
    EXPECT_EQ(always.prob(i, i), 1.0);
    for (int j = 0; j < i; ++j) ASSERT_EQ(always.prob(i, j), 0.0);
    for (int j = 0; j <= i; ++j) ASSERT_EQ(always.surv(i, j), 1.0);
  }
}

class BinomialTableRows : public testing::TestWithParam<double> {};

TEST_P(BinomialTableRows, RowsAreBinomialAndTailsNormalisedAndNonIncreasing) {
  const double theta = GetParam();
  const BinomialTables tables(theta);
  for (int i = 1; i <= kMaxStages; ++i) {
    double total = 0.0;
    for (int j = 0; j <= i; ++j) {
      total += tables.prob(i, j);
      const double expected =
          std::exp(std::lgamma(i + 1.0) - std::lgamma(j + 1.0) - std::lgamma(i - j + 1.0) +
                   j * std::log(theta) + (i - j) * std::log1p(-theta));
      ASSERT_NEAR(tables.prob(i, j), expected, 1e-12 + 1e-9 * expected) << "row " << i << " entry " << j;
    }
    ASSERT_NEAR(total, 1.0, 1e-12) << "row " << i;
    ASSERT_EQ(tables.surv(i, 0), 1.0);
    for (int j = 1; j <= i; ++j) ASSERT_LE(tables.surv(i, j), tables.surv(i, j - 1)) << i << " " << j;
    // The top tail is the last probability divided by the row total.
    ASSERT_NEAR(tables.surv(i, i), tables.prob(i, i), 1e-12 * (1 + tables.prob(i, i)));
  }
}

TEST_P(BinomialTableRows, TailsAreRunningSumsFromTheTopOverTheRowTotal) {
  const BinomialTables tables(GetParam());
  for (int i = 1; i <= kMaxStages; ++i) {
    std::vector<double> running(static_cast<std::size_t>(i) + 1);
    double sum = 0.0;
    for (int j = i; j >= 0; --j) running[static_cast<std::size_t>(j)] = sum = sum + tables.prob(i, j);
    for (int j = 1; j <= i; ++j)
      ASSERT_EQ(tables.surv(i, j), running[static_cast<std::size_t>(j)] / running[0]) << i << " " << j;
  }
}

INSTANTIATE_TEST_SUITE_P(EventProbabilities, BinomialTableRows,
                         testing::Values(0.001, 0.05, 0.3, 0.5, 0.77, 0.999));

TEST(BinomialTables, TablesOfDifferentProbabilitiesAreIndependent) {
  const BinomialTables low(0.3);
  const double before = low.prob(10, 3), tail_before = low.surv(7, 2);
  const BinomialTables high(0.4);  // building another table leaves the first alone
  EXPECT_EQ(low.prob(10, 3), before);
  EXPECT_EQ(low.surv(7, 2), tail_before);
  EXPECT_NE(high.prob(10, 3), before);
  EXPECT_EQ(BinomialTables(0.3).prob(10, 3), before);
}

}  // namespace
}  // namespace contmon
