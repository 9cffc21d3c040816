// Weighted mean and population variance.
#include <gtest/gtest.h>

#include <vector>

#include "cross2s/cross2s.h"
#include "tests/case_name.h"

namespace {

struct MomentsCase {
  const char *name;
  std::vector<double> x, w;
  int first, last;
  double mean, variance;
};

void PrintTo(const MomentsCase &c, std::ostream *os) { *os << c.name; }

class Meanvar : public testing::TestWithParam<MomentsCase> {};

TEST_P(Meanvar, StoresMeanAndVarianceDividedByTheWeightTotal) {
  const MomentsCase &c = GetParam();
  double mv[3] = {-5.0, -1.0, -1.0};
  meanvar(mv, c.x.data(), c.w.data(), c.first, c.last);
  EXPECT_EQ(mv[0], -5.0);  // not touched
  EXPECT_DOUBLE_EQ(mv[1], c.mean);
  EXPECT_DOUBLE_EQ(mv[2], c.variance);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Meanvar,
    testing::Values(MomentsCase{"HalfAndHalf", {0, 1}, {0.5, 0.5}, 0, 1, 0.5, 0.25},
                    MomentsCase{"WeightsNotSummingToOne", {0, 1}, {0.2, 0.2}, 0, 1, 0.5, 0.25},
                    MomentsCase{"UnequalWeights", {1, 2, 4}, {1, 2, 1}, 0, 2, 2.25, 1.1875},
                    MomentsCase{"OnePoint", {3.5}, {0.1}, 0, 0, 3.5, 0.0},
                    MomentsCase{"ZeroWeightPointsCountForNothing", {9, 2, 4}, {0, 1, 3}, 0, 2, 3.5, 0.75},
                    MomentsCase{"SubRangeOnly", {100, 2, 4, 100}, {1, 1, 1, 1}, 1, 2, 3.0, 1.0},
                    // In double, 1e16 + 1 rounds back to 1e16 and the mean would be 0.
                    MomentsCase{"SumsCarriedInExtendedPrecision",
                                {1e16, 1, -1e16},
                                {1, 1, 1},
                                0,
                                2,
                                1.0 / 3.0,
                                (2.0 / 3.0) * 1e32}),
    case_name<MomentsCase>);

}  // namespace
