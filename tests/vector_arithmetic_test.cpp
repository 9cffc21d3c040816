// Arithmetic on double vectors over inclusive index ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "cross2s/cross2s.h"
#include "tests/case_name.h"

namespace {

// 1 + 2^-53 + 2^-53: in double the first addition rounds back to 1 and the
// sum stays 1; carried in extended precision it reaches 1 + 2^-52 exactly.
const double kTiny = std::ldexp(1.0, -53);
const double kOnePlusUlp = 1.0 + std::ldexp(1.0, -52);

TEST(ArraySum, SumsTheInclusiveRangeOnly) {
  const std::vector<double> x = {100.0, 1.0, 2.0, 4.0, 200.0};
  EXPECT_EQ(array_sum(x.data(), 1, 3), 7.0);
  EXPECT_EQ(array_sum(x.data(), 2, 2), 2.0);
  EXPECT_EQ(array_sum(x.data(), 3, 2), 0.0);
  EXPECT_EQ(array_sum(nullptr, 1, 0), 0.0);  // an empty range reads nothing
}

TEST(ArraySum, AccumulatesInExtendedPrecision) {
  const std::vector<double> x = {1.0, kTiny, kTiny};
  EXPECT_EQ(array_sum(x.data(), 0, 2), kOnePlusUlp);
}

TEST(ArrayDot, SumsProductsInExtendedPrecision) {
  const std::vector<double> x = {9.0, 1.0, kTiny, 2.0};
  const std::vector<double> y = {9.0, 1.0, 1.0, kTiny / 2.0};
  EXPECT_EQ(array_dot(x.data(), y.data(), 1, 3), kOnePlusUlp);
  EXPECT_EQ(array_dot(x.data(), y.data(), 0, 0), 81.0);
  EXPECT_EQ(array_dot(nullptr, nullptr, 5, 4), 0.0);
}

TEST(ArrayCsum, StoresRoundedRunningSumsAndReturnsTheWideTotal) {
  const std::vector<double> x = {-7.0, 1.0, kTiny, kTiny, 3.0};
  std::vector<double> cum(5, -1.0);
  EXPECT_EQ(array_csum(cum.data(), x.data(), 1, 3), kOnePlusUlp);
  EXPECT_EQ(cum, (std::vector<double>{-1.0, 1.0, 1.0, kOnePlusUlp, -1.0}));
}

TEST(ArrayCsum, InPlaceTurnsTheVectorIntoItsRunningSums) {
  std::vector<double> x = {1.0, 2.0, 3.0, 4.0};
  EXPECT_EQ(array_csum(x.data(), x.data(), 0, 3), 10.0);
  EXPECT_EQ(x, (std::vector<double>{1.0, 3.0, 6.0, 10.0}));
}

TEST(ArrayCsum, EmptyRangeWritesNothing) {
  std::vector<double> x = {5.0, 6.0};
  std::vector<double> cum = {-1.0, -1.0};
  EXPECT_EQ(array_csum(cum.data(), x.data(), 1, 0), 0.0);
  EXPECT_EQ(cum, (std::vector<double>{-1.0, -1.0}));
}

using ElementWise = void (*)(double[], const double[], const double[], int, int);

struct ElementWiseCase {
  const char *name;
  ElementWise routine;
  std::vector<double> expected;  // for x = {8, 6, 3, 1}, y = {2, 4, 6, 8} over 1..2
};

void PrintTo(const ElementWiseCase &c, std::ostream *os) { *os << c.name; }

class ElementWiseRoutines : public testing::TestWithParam<ElementWiseCase> {};

const std::vector<double> kX = {8.0, 6.0, 3.0, 1.0};
const std::vector<double> kY = {2.0, 4.0, 6.0, 8.0};

TEST_P(ElementWiseRoutines, OperandOrderAndRange) {
  std::vector<double> z(4, -1.0);
  GetParam().routine(z.data(), kX.data(), kY.data(), 1, 2);
  EXPECT_EQ(z, GetParam().expected);
}

TEST_P(ElementWiseRoutines, OutputMayBeTheFirstOrSecondInput) {
  std::vector<double> x = kX, y = kY;
  GetParam().routine(x.data(), x.data(), y.data(), 1, 2);
  EXPECT_EQ(x[1], GetParam().expected[1]);
  EXPECT_EQ(x[2], GetParam().expected[2]);
  EXPECT_EQ(x[0], 8.0);
  EXPECT_EQ(x[3], 1.0);

  x = kX;
  GetParam().routine(y.data(), x.data(), y.data(), 1, 2);
  EXPECT_EQ(y[1], GetParam().expected[1]);
  EXPECT_EQ(y[2], GetParam().expected[2]);
}

TEST_P(ElementWiseRoutines, EmptyRangeWritesNothing) {
  std::vector<double> z(4, -1.0);
  GetParam().routine(z.data(), kX.data(), kY.data(), 3, 1);
  EXPECT_EQ(z, std::vector<double>(4, -1.0));
}

INSTANTIATE_TEST_SUITE_P(Routines, ElementWiseRoutines,
                         testing::Values(ElementWiseCase{"Plus", array_plus, {-1.0, 10.0, 9.0, -1.0}},
                                         ElementWiseCase{"Minus", array_minus, {-1.0, 2.0, -3.0, -1.0}},
                                         ElementWiseCase{"Mul", array_mul, {-1.0, 24.0, 18.0, -1.0}},
                                         ElementWiseCase{"Div", array_div, {-1.0, 1.5, 0.5, -1.0}}),
                         case_name<ElementWiseCase>);

TEST(ArrayConstantRoutines, SeparateAndInPlaceGiveTheSameValues) {
  std::vector<double> z(4, -1.0);
  array_plusc(z.data(), kX.data(), 0.5, 1, 3);
  EXPECT_EQ(z, (std::vector<double>{-1.0, 6.5, 3.5, 1.5}));
  array_mulc(z.data(), kX.data(), -2.0, 0, 1);
  EXPECT_EQ(z, (std::vector<double>{-16.0, -12.0, 3.5, 1.5}));

  std::vector<double> x = kX;
  array_plusc(x.data(), x.data(), 0.5, 1, 3);
  EXPECT_EQ(x, (std::vector<double>{8.0, 6.5, 3.5, 1.5}));
  array_mulc(x.data(), x.data(), -2.0, 0, 1);
  EXPECT_EQ(x, (std::vector<double>{-16.0, -13.0, 3.5, 1.5}));

  array_plusc(x.data(), x.data(), 100.0, 2, 1);
  array_mulc(x.data(), x.data(), 100.0, 2, 1);
  EXPECT_EQ(x, (std::vector<double>{-16.0, -13.0, 3.5, 1.5}));
}

}  // namespace
