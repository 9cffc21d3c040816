// The boundary shapes at given constants, worked by hand; the posterior tail
// against independent values; the ranges of the shapes' parameters; the
// spelling of shapes and the stages of a rule.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "core/text.h"
#include "design/design_internal.h"

namespace {

using namespace contmon;

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
  const Shape maxsprt = shape(ShapeKind::kMaxSprt), sprt_half = shape(ShapeKind::kSprt, 0.5);
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
      // THETA = 2^-1074, log THETA = -744.440: sprt:0.5 at one event, log(0.5 / THETA) - (n - 1) log 2:
      // 743.747 743.054 742.361; maxsprt, log(1 / (n THETA)) + (n - 1) log((n - 1) / n): the same at n = 1
      // and 2, 742.531 at n = 3 (infinite, were the quotients P1 / THETA and 1 / (n THETA) taken first).
      {sprt_half, 3, 5e-324, {}, 1, 743.0, {1, 1, 2}},
      {maxsprt, 3, 5e-324, {}, 1, 743.0, {1, 1, 2}},
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

TEST(BetaUpperTail, ExtremePriorsAgainstHighPrecision) {
  // From tests/reference/beta_tail.py: mpmath at 60 and 90 digits, by a series of positive terms, neither the
  // continued fraction nor Stirling's formula. From lgamma alone the first five were 1.7e-12 to 4.6e-12 out.
  const double cases[][4] = {
      {10025, 10015, 0.5, 0.52815847699439602},         // A = B = 1e4: 25 events of 40
      {10200, 10055, 0.5, 0.84586425441198532},         // A = B = 1e4: 200 events of 255
      {10100, 3155, 0.762, 0.49889874871491348},        // A = 1e4, B = 3000: 100 events of 255, near the mean
      {4, 10253, 0.0003, 0.63002846604663879},          // A = 1, B = 1e4: 3 events of 255, near the mean
      {40, 10020, 0.004, 0.46400774940456074},          // A = 20, B = 1e4: 20 events of 40
      {10040, 0.001, 0.9999, 0.99978185823353079},      // A = 1e4, B = 0.001: 40 events of 40
      {2, 0.001, 0.2, 0.99997683671962498},             // A = 1, B = 0.001: 1 event of 1
      {5e-324, 1000, 0.0001, 9.0084531390971398e-324},  // A = 2^-1074, B = 960: 0 events of 40
      {744, 256, 0.74, 0.61812692147891178},            // a + b = 1000, the first sum whose front is centred
      {743.5, 256, 0.74, 0.61456207327833815},          // a + b = 999.5, the last from lgamma
  };
  for (const auto &c : cases)
    EXPECT_NEAR(beta_upper_tail(c[0], c[1], c[2]), c[3], 3e-13) << c[0] << " " << c[1];
}

// The message of check_design, "" when it accepts the design.
std::string fault_of(const Design &d) {
  try {
    check_design(d);
  } catch (const Error &error) {
    return error.field() + ": " + error.what();
  }
  return "";
}

TEST(ShapeRanges, JustInsideARuleThatStopsJustOutsideARefusalNamingTheRange) {
  // sprt: P1 - THETA at least where logit(P1) - logit(THETA) = 1e-4, THETA (1 - THETA) (e^1e-4 - 1) /
  // (1 + THETA (e^1e-4 - 1)): 1.60005e-5 at 0.2, just under 2.5e-5 at 0.5; near 0 (near 1) where
  // log((1 - THETA) / (1 - P1)) (log(P1 / THETA)) reaches 1e-10: 1e-10 (1 - THETA) (1e-10 THETA).
  const std::string sprt_text =
      ": nearer, each patient moves the log likelihood ratio so little that rounding merges distinct stopping"
      " rules";
  const std::string bayes_text =
      "': write bayes:A,B with the prior Beta(A, B), A above 0 and B from 0.001, both at most 1e4, as"
      " bayes:1,1";
  const auto sprt = [](double p1) { return shape(ShapeKind::kSprt, p1); };
  const auto bayes = [](double a, double b) { return shape(ShapeKind::kBayes, a, b); };
  const struct {
    Shape inside, outside;
    double theta;
    int K;
    double phi;
    std::string refusal;
  } cases[] = {
      {sprt(0.2000161), sprt(0.200016), 0.2, 40, 0.1,
       "--shape sprt:0.200016: P1 must be above THETA = 0.2 by at least 1.61e-05" + sprt_text},
      {sprt(0.5000251), sprt(0.5000249), 0.5, 40, 0.1,
       "--shape sprt:0.5000249: P1 must be above THETA = 0.5 by at least 2.51e-05" + sprt_text},
      {sprt(1.1005e-9), sprt(1.0999e-9), 1e-9, 255, 1e-8,
       "--shape sprt:1.0999e-09: P1 must be above THETA = 1e-09 by at least 1.005e-10" + sprt_text},
      {sprt(0.9999999991005), sprt(0.999999999099), 0.999999999, 255, 0.9999999,
       "--shape sprt:0.999999999099: P1 must be above THETA = 0.999999999 by at least 1.005e-10" + sprt_text},
      {bayes(1, 0.001), bayes(1, 0.000999), 0.2, 40, 0.1, "invalid --shape 'bayes:1,0.000999" + bayes_text},
      {bayes(1e4, 1e4), bayes(1e4, 10001), 0.5, 40, 0.1, "invalid --shape 'bayes:10000,10001" + bayes_text},
      {bayes(1e-300, 1), bayes(0, 1), 0.2, 40, 0.1, "invalid --shape 'bayes:0,1" + bayes_text},
  };
  for (const auto &c : cases) {
    const Calibration inside = design(Design{c.K, c.theta, c.phi, c.inside, {}, 1});
    EXPECT_FALSE(inside.never_stops) << shape_argument(c.inside);
    EXPECT_GT(inside.phi_star, 0.0) << shape_argument(c.inside);
    EXPECT_LE(inside.phi_star, c.phi) << shape_argument(c.inside);
    EXPECT_EQ(fault_of(Design{c.K, c.theta, c.phi, c.outside, {}, 1}), "shape: " + c.refusal);
  }
  // Just inside, the rule is the one the rules tend to as P1 nears THETA, as a P1 a hundred times as far
  // gives it; one merged by rounding would differ. The same for a tiny A, which acts as 0.
  const auto counts = [](const Shape &s, double theta) {
    return design(Design{40, theta, 0.1, s, {}, 1}).rule.counts;
  };
  EXPECT_EQ(counts(sprt(0.2000161), 0.2), counts(sprt(0.2016), 0.2));
  EXPECT_EQ(counts(bayes(1e-300, 1), 0.2), counts(bayes(1e-9, 1), 0.2));
}

TEST(Design, SpellingLooksAndStages) {
  EXPECT_EQ(shape_argument(shape(ShapeKind::kWangTsiatis, 0.1)), "wt:0.1");
  EXPECT_EQ(shape_argument(shape(ShapeKind::kBayes, 1.0, 2.5)), "bayes:1,2.5");
  EXPECT_EQ(shape_argument(shape(ShapeKind::kSprt, 0.3)), "sprt:0.3");
  EXPECT_EQ(shape_argument(shape(ShapeKind::kMaxSprt)), "maxsprt");
  EXPECT_EQ(shape_words(shape(ShapeKind::kObf)), "O'Brien-Fleming boundary");
  // The name and the named parameters, as the JSON report lists them.
  EXPECT_EQ(shape_name(shape(ShapeKind::kBayes, 1.0, 2.5)), "bayes");
  using Parameters = std::vector<std::pair<std::string, double>>;
  EXPECT_EQ(shape_parameters(shape(ShapeKind::kBayes, 1.0, 2.5)), (Parameters{{"a", 1.0}, {"b", 2.5}}));
  EXPECT_EQ(shape_parameters(shape(ShapeKind::kWangTsiatis, 0.1)), (Parameters{{"delta", 0.1}}));
  EXPECT_EQ(shape_parameters(shape(ShapeKind::kSprt, 0.3)), (Parameters{{"p1", 0.3}}));
  EXPECT_EQ(shape_parameters(shape(ShapeKind::kObf)), Parameters{});

  Design d{4, 0.2, 0.1, shape(ShapeKind::kPocock), {}, 1};
  EXPECT_EQ(design_looks(d), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(is_default_design(d));
  d.looks = {2, 4};
  EXPECT_FALSE(is_default_design(d));
  EXPECT_EQ(stage_boundary(Rule{6, {2, 5, 6}, {2, 9, 3}}), (std::vector<int>{0, 7, 2, 7, 7, 7, 3}));
}

TEST(Design, ArgumentsGiveTheDesignBack) {
  std::vector<int> every_third;
  for (int n = 3; n <= 39; n += 3) every_third.push_back(n);
  every_third.push_back(40);
  const struct {
    Design design;
    const char *arguments;
  } cases[] = {
      {{10, 0.3, 0.05, shape(ShapeKind::kPocock), {}, 1}, "10 0.3 0.05"},
      {{3, 0.3, 0.05, shape(ShapeKind::kPocock), {1, 2, 3}, 1}, "3 0.3 0.05"},
      {{40, 0.2, 0.1, shape(ShapeKind::kWangTsiatis, 0.25), every_third, 1},
       "--shape wt:0.25 --looks 3:39:3,40 40 0.2 0.1"},
      {{12, 0.3, 0.05, shape(ShapeKind::kObf), {4, 8, 10, 12}, 2},
       "--shape obf --looks 4,8:12:2 --min-events 2 12 0.3 0.05"},
      {{9, 0.123, 0.01, shape(ShapeKind::kBayes, 1.0, 2.5), {2, 9}, 1},
       "--shape bayes:1,2.5 --looks 2,9 9 0.123 0.01"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(design_arguments(c.design), c.arguments);
    // The looks written read back to the design's.
    const std::string text = c.arguments;
    const std::size_t at = text.find("--looks ");
    if (at != std::string::npos) {
      const std::size_t from = at + 8;
      EXPECT_EQ(parse_looks(text.substr(from, text.find(' ', from) - from)), c.design.looks) << text;
    }
  }
}

TEST(SimplestIn, FewestDigitsNearestTheMiddle) {
  const double cases[][3] = {
      {1.95, 2.05, 2.0},     {-0.7, 0.3, 0.0},
      {0.3, 2.7, 2.0},       {0.1234567, 0.12346, 0.12346},
      {1e-40, 3e-40, 2e-40}, {2.0, 2.0000000000000004, 2.0000000000000004}};  // no shorter number between
  for (const auto &c : cases) EXPECT_EQ(simplest_in(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

}  // namespace
