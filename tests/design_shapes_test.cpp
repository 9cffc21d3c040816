// The boundary shapes at given constants, worked by hand; the posterior tail
// against independent values; the spelling of shapes and the stages of a rule.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "design/design_internal.h"

namespace {

Shape shape(ShapeKind kind, double x = 0.0, double y = 0.0) {
  return Shape{kind, kind == ShapeKind::kWangTsiatis ? x : 0.0, kind == ShapeKind::kBayes ? x : 0.0, y,
               kind == ShapeKind::kSprt ? x : 0.0};
}

TEST(ShapeCounts, HandWorked) {
  // pocock, THETA = 1/2: tails at look 1: 1 .5; look 2: 1 .75 .25; look 3: 1 .875 .5 .125.
  // obf, K = 4, THETA = 1/2: sqrt(K theta (1 - theta)) = 1, so b = ceil(n / 2 + c).
  // wt:0.5, K = 4, THETA = 1/2: ceil(n / 2 + c sqrt(n) / 2); wt:0.25 at look 1: w = 4^(1/4) / 2 = .7071.
  // bayes:1,1, THETA = 1/2: P(p > 1/2 | y of n) = P(Binomial(n + 1, 1/2) <= y): n = 1: .25 .75;
  //   n = 2: .125 .5 .875; n = 3: .0625 .3125 .6875 .9375.
  // sprt:0.4, THETA = 0.2: y log 2 + (n - y) log .75: n = 1: -.288 .693; n = 2: -.575 .405 1.386;
  //   n = 3: -.863 .118 1.099 2.079.
  // maxsprt, THETA = 1/2: look 1, y = 1: log 2; look 2: y = 1: 0, y = 2: 2 log 2 (0 log 0 = 0); look 4: y
  // >= 2.
  const Shape pocock = shape(ShapeKind::kPocock), obf = shape(ShapeKind::kObf);
  const Shape wt_half = shape(ShapeKind::kWangTsiatis, 0.5),
              wt_quarter = shape(ShapeKind::kWangTsiatis, 0.25);
  const Shape bayes = shape(ShapeKind::kBayes, 1.0, 1.0), sprt = shape(ShapeKind::kSprt, 0.4);
  const Shape maxsprt = shape(ShapeKind::kMaxSprt);
  const struct {
    Shape shape;
    int K;
    double theta;
    std::vector<int> looks;
    int min_events;
    double c;
    std::vector<int> expected;
  } cases[] = {
      {pocock, 3, 0.5, {}, 1, 0.3, {2, 2, 3}},
      {pocock, 3, 0.5, {2, 3}, 1, 0.5, {2, 2}},  // a tail equal to the level stops
      {pocock, 3, 0.5, {}, 1, 0.0, {4, 4, 4}},
      {pocock, 3, 0.5, {}, 1, 1.0, {1, 1, 1}},
      {pocock, 3, 0.5, {}, 3, 0.3, {3, 3, 3}},
      {obf, 4, 0.5, {}, 1, 0.5, {1, 2, 2, 3}},  // ceil(2.0) at look 3
      {obf, 4, 0.5, {}, 1, 3.0, {4, 4, 5, 5}},  // above the looks, capped at K + 1
      {obf, 4, 0.5, {}, 1, 1e300, {5, 5, 5, 5}},
      {obf, 4, 0.5, {}, 2, -3.0, {2, 2, 2, 2}},
      {wt_half, 4, 0.5, {1, 4}, 1, 2.0, {2, 4}},  // ceil(4.0) at look 4
      {wt_quarter, 4, 0.5, {1, 4}, 1, 3.0, {3, 5}},
      {wt_quarter, 4, 0.5, {1, 4}, 1, 1.0, {2, 3}},
      {bayes, 3, 0.5, {}, 1, 0.6, {1, 2, 2}},
      {bayes, 3, 0.5, {}, 1, 0.7, {1, 2, 3}},
      {bayes, 3, 0.5, {}, 1, 0.95, {2, 3, 4}},
      {bayes, 3, 0.5, {}, 2, 0.1, {2, 2, 2}},  // y = 0 qualifies, raised to the minimum
      {sprt, 3, 0.2, {}, 1, 1.0, {2, 2, 2}},
      {sprt, 3, 0.2, {}, 1, 1.5, {2, 3, 3}},
      {sprt, 3, 0.2, {}, 1, 0.0, {1, 1, 1}},
      {maxsprt, 2, 0.5, {}, 1, 1.0, {2, 2}},
      {maxsprt, 2, 0.5, {}, 1, 0.5, {1, 2}},
      {maxsprt, 4, 0.5, {4}, 1, -1.0, {2}},  // only at or above n theta
  };
  for (const auto &c : cases) {
    Design d;
    d.K = c.K;
    d.theta = c.theta;
    d.shape = c.shape;
    d.looks = c.looks;
    d.min_events = c.min_events;
    EXPECT_EQ(shape_counts(d, c.c), c.expected) << shape_argument(c.shape) << " at " << c.c;
  }
}

// P(Binomial(n, x) <= k) by a plain sum in extended precision.
double binomial_cdf(int n, double x, int k) {
  long double sum = 0.0L, term = std::pow(1.0L - x, n);
  for (int j = 0; j <= k; ++j, term *= static_cast<long double>(n - j + 1) / j * x / (1.0L - x)) sum += term;
  return static_cast<double>(sum);
}

TEST(BetaUpperTail, AgainstBinomialSumsAndClosedForms) {
  // For integers, P(Beta(a, b) > x) = P(Binomial(a + b - 1, x) <= a - 1).
  for (int a : {1, 2, 5, 30, 120})
    for (int b : {1, 3, 7, 60, 200})
      for (double x : {0.001, 0.05, 0.3, 0.5, 0.77, 0.999}) {
        const double expected = binomial_cdf(a + b - 1, x, a - 1);
        EXPECT_NEAR(beta_upper_tail(a, b, x), expected, 1e-13 + 1e-11 * expected)
            << a << " " << b << " " << x;
      }
  for (double x : {0.01, 0.2, 0.5, 0.9}) {
    // Beta(1/2, 1/2): P(X <= x) = (2 / pi) asin(sqrt(x)); Beta(a, 1): 1 - x^a; Beta(1, b): (1 - x)^b.
    EXPECT_NEAR(beta_upper_tail(0.5, 0.5, x), 1.0 - 2.0 / std::numbers::pi * std::asin(std::sqrt(x)), 1e-14);
    EXPECT_NEAR(beta_upper_tail(2.5, 1.0, x), 1.0 - std::pow(x, 2.5), 1e-14);
    EXPECT_NEAR(beta_upper_tail(1.0, 7.3, x), std::pow(1.0 - x, 7.3), 1e-14);
  }
}

TEST(Design, SpellingLooksAndStages) {
  EXPECT_EQ(shape_argument(shape(ShapeKind::kWangTsiatis, 0.1)), "wt:0.1");
  EXPECT_EQ(shape_argument(shape(ShapeKind::kBayes, 1.0, 2.5)), "bayes:1,2.5");
  EXPECT_EQ(shape_argument(shape(ShapeKind::kSprt, 0.3)), "sprt:0.3");
  EXPECT_EQ(shape_words(shape(ShapeKind::kObf)), "O'Brien-Fleming boundary");

  Design d{4, 0.2, 0.1, shape(ShapeKind::kPocock), {}, 1};
  EXPECT_EQ(design_looks(d), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(is_default_design(d));
  d.looks = {2, 4};
  EXPECT_FALSE(is_default_design(d));
  EXPECT_EQ(stage_boundary(Rule{6, {2, 5, 6}, {2, 9, 3}}), (std::vector<int>{0, 7, 2, 7, 7, 7, 3}));
}

TEST(SimplestIn, FewestDigitsNearestTheMiddle) {
  const double cases[][3] = {
      {1.95, 2.05, 2.0},     {-0.7, 0.3, 0.0},
      {0.3, 2.7, 2.0},       {0.1234567, 0.12346, 0.12346},
      {1e-40, 3e-40, 2e-40}, {2.0, 2.0000000000000004, 2.0000000000000004}};  // no shorter number between
  for (const auto &c : cases) EXPECT_EQ(simplest_in(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

}  // namespace
