// Exploring designs through the library: the rule of a fixed constant against
// posterior probabilities and stopping probabilities computed independently,
// the per-look probabilities against the totals, and the exact intervals
// against published values.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "contmon/contmon.h"
#include "tests/case_name.h"

namespace {

using contmon::Design;

// P(Binomial(n, p) <= y), summed term by term.
double binomial_cdf(int n, double p, int y) {
  double term = std::pow(1 - p, n), sum = 0;
  for (int k = 0; k <= y; ++k) {
    sum += term;
    term *= (n - k) / (k + 1.0) * p / (1 - p);
  }
  return sum;
}

// P(stop) of the rule by the recursion over the count of events, stage by stage.
double stop_probability(const contmon::Rule &rule, double p) {
  std::vector<int> b(static_cast<std::size_t>(rule.K) + 1, rule.K + 1);
  for (std::size_t i = 0; i < rule.looks.size(); ++i) b[static_cast<std::size_t>(rule.looks[i])] = rule.counts[i];
  std::vector<double> alive{1.0};
  double stopped = 0;
  for (int k = 1; k <= rule.K; ++k) {
    std::vector<double> next(alive.size() + 1, 0.0);
    for (std::size_t y = 0; y < alive.size(); ++y) next[y] += alive[y] * (1 - p), next[y + 1] += alive[y] * p;
    for (std::size_t y = static_cast<std::size_t>(std::min(b[static_cast<std::size_t>(k)], k + 1)); y < next.size();
         ++y)
      stopped += next[y], next[y] = 0;
    alive = next;
  }
  return stopped;
}

TEST(FixedConstant, TheBayesRuleStopsAtTheFirstCountWithPosteriorAtLeastCAndItsPhiStarIsTheRecursions) {
  // Under the prior Beta(1, 1), P(p > theta | y of n) = P(Binomial(n + 1, theta) <= y).
  for (double c : {0.8, 0.9, 0.95}) {
    Design design{40, 0.2, 0.1, contmon::parse_shape("bayes:1,1"), {}};
    const contmon::Calibration fixed = contmon::fixed_design(design, c);
    EXPECT_TRUE(fixed.fixed);
    EXPECT_EQ(fixed.constant, c);
    for (std::size_t i = 0; i < fixed.rule.looks.size(); ++i) {
      const int n = fixed.rule.looks[i];
      int expected = n + 1;
      for (int y = n; y >= 1 && binomial_cdf(n + 1, 0.2, y) >= c; --y) expected = y;
      EXPECT_EQ(std::min(fixed.rule.counts[i], n + 1), expected) << "c " << c << " look " << n;
    }
    EXPECT_NEAR(fixed.phi_star, stop_probability(fixed.rule, 0.2), 1e-13);
    EXPECT_EQ(fixed.phi_star_exact, fixed.phi_star);
  }
  Design pocock{30, 0.3, 0.05, {}, {}};
  EXPECT_THROW(contmon::fixed_design(pocock, 1.5), contmon::Error);  // a level is a probability
  pocock.shape = contmon::parse_shape("obf");
  EXPECT_NO_THROW(contmon::fixed_design(pocock, 1.5));
  EXPECT_THROW(contmon::fixed_design(pocock, NAN), contmon::Error);
}

struct LookCase {
  const char *name;
  const char *shape;
  std::vector<int> looks;
  contmon::MethodKind method;
};

void PrintTo(const LookCase &c, std::ostream *os) { *os << c.name; }

class EveryLook : public testing::TestWithParam<LookCase> {};

TEST_P(EveryLook, TheProbabilitiesAtTheLooksSumToPStopAndVanishWhereNoStopIsPossible) {
  const LookCase &c = GetParam();
  const Design design{60, 0.2, 0.1, contmon::parse_shape(c.shape), c.looks};
  contmon::Method method{c.method};
  method.trials = 20000;
  const contmon::Calibration cal = contmon::design(design, method);
  const auto rows = contmon::characteristics(cal.rule, {0.1, 0.2, 0.4}, method);
  for (const contmon::OcRow &row : rows) {
    ASSERT_EQ(row.p_stop_at_look.size(), cal.rule.looks.size());
    double sum = 0;
    for (std::size_t i = 0; i < row.p_stop_at_look.size(); ++i) {
      sum += row.p_stop_at_look[i];
      if (cal.rule.counts[i] > cal.rule.looks[i]) {
        EXPECT_EQ(row.p_stop_at_look[i], 0.0);
      }
    }
    EXPECT_NEAR(sum, row.p_stop, 1e-14);
    EXPECT_NEAR(row.p_stop - row.p_stop_at_look.back(), row.p_stop_before_last, 1e-14);
  }
  ASSERT_TRUE(cal.at_theta.has_value());
  EXPECT_EQ(cal.at_theta->p_stop_at_look.size(), cal.rule.looks.size());
  // The exact check of the boundary chosen, for either method.
  EXPECT_NEAR(cal.phi_star_exact, stop_probability(cal.rule, 0.2), 1e-13);
}

INSTANTIATE_TEST_SUITE_P(Table, EveryLook,
                         testing::Values(LookCase{"PocockExact", "pocock", {}, contmon::MethodKind::kExact},
                                         LookCase{"ObfCohortsExact", "obf", {10, 20, 30, 40, 50, 60},
                                                  contmon::MethodKind::kExact},
                                         LookCase{"BayesSimulated", "bayes:1,1", {}, contmon::MethodKind::kSimulation},
                                         LookCase{"SprtLooksSimulated", "sprt:0.4", {5, 15, 25, 35, 60},
                                                  contmon::MethodKind::kSimulation}),
                         case_name<LookCase>);

TEST(ClopperPearson, EqualsPublishedIntervalsAndItsDefiningTails) {
  // 95% intervals as tables of the exact binomial interval give them, to four decimals.
  struct Published {
    int y, n;
    double low, high;
  };
  for (const Published &p : {Published{0, 10, 0.0, 0.3085}, Published{1, 10, 0.0025, 0.4450},
                             Published{5, 10, 0.1871, 0.8129}, Published{3, 20, 0.0321, 0.3789},
                             Published{10, 20, 0.2720, 0.7280}, Published{10, 10, 0.6915, 1.0}}) {
    const auto [low, high] = contmon::clopper_pearson(p.y, p.n);
    EXPECT_NEAR(low, p.low, 5e-5) << p.y << "/" << p.n;
    EXPECT_NEAR(high, p.high, 5e-5) << p.y << "/" << p.n;
    // The ends are where a tail of the binomial is 2.5%.
    if (p.y > 0) {
      EXPECT_NEAR(1 - binomial_cdf(p.n, low, p.y - 1), 0.025, 1e-12);
    }
    if (p.y < p.n) {
      EXPECT_NEAR(binomial_cdf(p.n, high, p.y), 0.025, 1e-12);
    }
  }
  EXPECT_THROW(contmon::clopper_pearson(5, 4), contmon::Error);
}

}  // namespace
