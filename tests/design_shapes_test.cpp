// The boundary shapes at given constants, worked by hand; the posterior tail
// against independent values; the spelling of shapes and the stage layout of
// a rule.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "design/design_internal.h"
#include "tests/case_name.h"

namespace {

Shape shape_of(ShapeKind kind, double x = 0.0, double y = 0.0) {
  Shape s;
  s.kind = kind;
  if (kind == ShapeKind::kWangTsiatis) s.delta = x;
  if (kind == ShapeKind::kBayes) s.prior_a = x, s.prior_b = y;
  if (kind == ShapeKind::kSprt) s.p1 = x;
  return s;
}

struct CountCase {
  const char *name;
  Shape shape;
  int K;
  double theta;
  std::vector<int> looks;
  int min_events;
  double c;
  std::vector<int> expected;
};

void PrintTo(const CountCase &c, std::ostream *os) { *os << c.name; }

class ShapeCounts : public testing::TestWithParam<CountCase> {};

TEST_P(ShapeCounts, HandWorked) {
  const CountCase &c = GetParam();
  Design d;
  d.K = c.K;
  d.theta = c.theta;
  d.phi = 0.1;
  d.shape = c.shape;
  d.looks = c.looks;
  d.min_events = c.min_events;
  EXPECT_EQ(shape_counts(d, c.c), c.expected);
}

const Shape kPocock = shape_of(ShapeKind::kPocock), kObf = shape_of(ShapeKind::kObf);
const Shape kWtHalf = shape_of(ShapeKind::kWangTsiatis, 0.5),
            kWtQuarter = shape_of(ShapeKind::kWangTsiatis, 0.25);
const Shape kBayesFlat = shape_of(ShapeKind::kBayes, 1.0, 1.0), kSprt = shape_of(ShapeKind::kSprt, 0.4);
const Shape kMaxSprt = shape_of(ShapeKind::kMaxSprt);

// pocock, THETA = 1/2: tails at look 1: 1, .5; look 2: 1, .75, .25; look 3: 1, .875, .5, .125.
// obf, K = 4, THETA = 1/2: sqrt(K theta (1 - theta)) = 1, so b = ceil(n / 2 + c).
// wt:0.5, K = 4, THETA = 1/2: b = ceil(n / 2 + c sqrt(n) / 2); wt:0.25 at look 1: w = 4^(1/4) / 2 = 0.7071.
// bayes:1,1, THETA = 1/2: P(p > 1/2 | y of n) = P(Binomial(n + 1, 1/2) <= y): n = 1: .25 .75;
//   n = 2: .125 .5 .875; n = 3: .0625 .3125 .6875 .9375.
// sprt:0.4, THETA = 0.2: y log 2 + (n - y) log 0.75: n = 1: -.288 .693; n = 2: -.575 .405 1.386;
//   n = 3: -.863 .118 1.099 2.079.
// maxsprt, THETA = 1/2: look 1: y = 1 gives log 2; look 2: y = 1 gives 0, y = 2 gives 2 log 2 (0 log 0 = 0);
//   look 4: y >= 2 only.
INSTANTIATE_TEST_SUITE_P(
    Shapes, ShapeCounts,
    testing::Values(CountCase{"PocockBetweenTails", kPocock, 3, 0.5, {}, 1, 0.3, {2, 2, 3}},
                    CountCase{"PocockLevelEqualToATailStops", kPocock, 3, 0.5, {2, 3}, 1, 0.5, {2, 2}},
                    CountCase{"PocockLevelZeroNeverStops", kPocock, 3, 0.5, {}, 1, 0.0, {4, 4, 4}},
                    CountCase{"PocockLevelOneRaisedToOne", kPocock, 3, 0.5, {}, 1, 1.0, {1, 1, 1}},
                    CountCase{"PocockMinimumEvents", kPocock, 3, 0.5, {}, 3, 0.3, {3, 3, 3}},
                    CountCase{"ObfCeilOfExactIntegers", kObf, 4, 0.5, {}, 1, 0.5, {1, 2, 2, 3}},
                    CountCase{"ObfAboveTheLooksCappedAtKPlusOne", kObf, 4, 0.5, {}, 1, 3.0, {4, 4, 5, 5}},
                    CountCase{"ObfFarAboveNeverStops", kObf, 4, 0.5, {}, 1, 1e300, {5, 5, 5, 5}},
                    CountCase{"ObfNegativeConstantMeetsTheFloor", kObf, 4, 0.5, {}, 2, -3.0, {2, 2, 2, 2}},
                    CountCase{"WtHalfExactInteger", kWtHalf, 4, 0.5, {1, 4}, 1, 2.0, {2, 4}},
                    CountCase{"WtQuarter", kWtQuarter, 4, 0.5, {1, 4}, 1, 3.0, {3, 5}},
                    CountCase{"WtQuarterLow", kWtQuarter, 4, 0.5, {1, 4}, 1, 1.0, {2, 3}},
                    CountCase{"BayesFlatPriorMid", kBayesFlat, 3, 0.5, {}, 1, 0.6, {1, 2, 2}},
                    CountCase{"BayesFlatPriorHigh", kBayesFlat, 3, 0.5, {}, 1, 0.7, {1, 2, 3}},
                    CountCase{"BayesNoCountReachesIt", kBayesFlat, 3, 0.5, {}, 1, 0.95, {2, 3, 4}},
                    CountCase{"BayesZeroEventsRaisedToTheFloor", kBayesFlat, 3, 0.5, {}, 2, 0.1, {2, 2, 2}},
                    CountCase{"SprtOne", kSprt, 3, 0.2, {}, 1, 1.0, {2, 2, 2}},
                    CountCase{"SprtOneAndAHalf", kSprt, 3, 0.2, {}, 1, 1.5, {2, 3, 3}},
                    CountCase{"SprtZero", kSprt, 3, 0.2, {}, 1, 0.0, {1, 1, 1}},
                    CountCase{"MaxSprtZeroLogZero", kMaxSprt, 2, 0.5, {}, 1, 1.0, {2, 2}},
                    CountCase{"MaxSprtHalf", kMaxSprt, 2, 0.5, {}, 1, 0.5, {1, 2}},
                    CountCase{"MaxSprtOnlyAtOrAboveTheMean", kMaxSprt, 4, 0.5, {4}, 1, -1.0, {2}}),
    case_name<CountCase>);

TEST(ShapeCounts, WangTsiatisWithDeltaZeroIsOBrienFleming) {
  Design obf{12, 0.3, 0.1, kObf, {3, 5, 12}, 1};
  Design wt = obf;
  wt.shape = shape_of(ShapeKind::kWangTsiatis, 0.0);
  for (double c = -2.0; c <= 4.0; c += 0.01) ASSERT_EQ(shape_counts(obf, c), shape_counts(wt, c)) << c;
}

// ---- The posterior tail ---------------------------------------------------------------

// P(Binomial(n, x) <= k) by a plain sum in extended precision.
double binomial_cdf(int n, double x, int k) {
  long double sum = 0.0L, term = std::pow(1.0L - x, n);  // P(0)
  for (int j = 0; j <= k; ++j) {
    sum += term;
    term *= static_cast<long double>(n - j) / (j + 1) * x / (1.0L - x);
  }
  return static_cast<double>(sum);
}

TEST(BetaUpperTail, IntegerParametersAgreeWithTheBinomialSum) {
  // For integers, P(Beta(a, b) > x) = P(Binomial(a + b - 1, x) <= a - 1).
  for (int a : {1, 2, 5, 30, 120}) {
    for (int b : {1, 3, 7, 60, 200}) {
      for (double x : {0.001, 0.05, 0.3, 0.5, 0.77, 0.999}) {
        const double expected = binomial_cdf(a + b - 1, x, a - 1);
        const double got = beta_upper_tail(a, b, x);
        EXPECT_NEAR(got, expected, 1e-13 + 1e-11 * expected) << a << " " << b << " " << x;
      }
    }
  }
}

TEST(BetaUpperTail, ClosedFormsForOtherParameters) {
  for (double x : {0.01, 0.2, 0.5, 0.9}) {
    // Beta(1/2, 1/2): P(X <= x) = (2 / pi) asin(sqrt(x)).
    EXPECT_NEAR(beta_upper_tail(0.5, 0.5, x), 1.0 - 2.0 / std::numbers::pi * std::asin(std::sqrt(x)), 1e-14);
    // Beta(a, 1): P(X > x) = 1 - x^a; Beta(1, b): (1 - x)^b.
    EXPECT_NEAR(beta_upper_tail(2.5, 1.0, x), 1.0 - std::pow(x, 2.5), 1e-14);
    EXPECT_NEAR(beta_upper_tail(1.0, 7.3, x), std::pow(1.0 - x, 7.3), 1e-14);
  }
  EXPECT_EQ(beta_upper_tail(2.0, 3.0, 0.0), 1.0);
  EXPECT_EQ(beta_upper_tail(2.0, 3.0, 1.0), 0.0);
}

// ---- Spelling, looks and stages ------------------------------------------------------

TEST(ShapeSpec, AsTheOptionWritesIt) {
  const struct {
    Shape shape;
    const char *spec;
  } cases[] = {{kPocock, "pocock"},
               {kObf, "obf"},
               {kWtQuarter, "wt:0.25"},
               {shape_of(ShapeKind::kWangTsiatis, 0.1), "wt:0.1"},
               {shape_of(ShapeKind::kBayes, 1.0, 2.5), "bayes:1,2.5"},
               {shape_of(ShapeKind::kSprt, 0.3), "sprt:0.3"},
               {kMaxSprt, "maxsprt"}};
  for (const auto &c : cases) {
    EXPECT_EQ(shape_spec(c.shape), c.spec);
    EXPECT_FALSE(shape_words(c.shape).empty());
  }
  EXPECT_EQ(shape_words(kObf), "O'Brien-Fleming boundary");
}

TEST(Design, LooksDefaultAndStageLayout) {
  Design d{4, 0.2, 0.1, kPocock, {}, 1};
  EXPECT_EQ(design_looks(d), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(is_default_design(d));
  d.looks = {1, 2, 3, 4};
  EXPECT_TRUE(is_default_design(d));
  d.looks = {2, 4};
  EXPECT_FALSE(is_default_design(d));
  d.looks = {};
  d.min_events = 2;
  EXPECT_FALSE(is_default_design(d));
  d.min_events = 1;
  d.shape = kObf;
  EXPECT_FALSE(is_default_design(d));

  const Rule rule{6, {2, 5, 6}, {2, 9, 3}};
  EXPECT_EQ(stage_boundary(rule), (std::vector<int>{0, 7, 2, 7, 7, 7, 3}));
}

TEST(SimplestIn, FewestDigitsNearestTheMiddle) {
  EXPECT_EQ(simplest_in(1.95, 2.05), 2.0);
  EXPECT_EQ(simplest_in(-0.7, 0.3), 0.0);
  EXPECT_EQ(simplest_in(0.3, 2.7), 2.0);  // 1 and 2 are as near the middle 1.5: the larger
  EXPECT_EQ(simplest_in(0.123456, 0.123457), 0.123457);
  EXPECT_EQ(simplest_in(2.0, 2.0000000000000004), 2.0000000000000004);
  EXPECT_EQ(simplest_in(1e-40, 3e-40), 2e-40);
  EXPECT_EQ(simplest_in(-1e30, 3e29), 0.0);
  const double lo = 0.1234567, hi = 0.12346;
  const double v = simplest_in(lo, hi);
  EXPECT_GT(v, lo);
  EXPECT_LE(v, hi);
  EXPECT_EQ(v, 0.12346);
}

}  // namespace
