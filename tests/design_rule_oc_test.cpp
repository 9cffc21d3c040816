// Operating characteristics of a rule: the original summary for the rules it
// handles, in both engines, and an enumeration of all outcome sequences for a
// rule checked at some looks only.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bndry/bndry.h"
#include "design/design.h"
#include "ranuni/ranuni.h"

namespace {

Rule every_patient_pocock(int K, double theta, double level) {
  std::vector<int> b(K + 1);
  EXPECT_EQ(GetPointwiseBndry(b.data(), K, level, theta), 0);
  Rule r{K, {}, {}};
  for (int k = 1; k <= K; ++k) {
    r.looks.push_back(k);
    r.counts.push_back(b[k]);
  }
  return r;
}

void expect_as_summary(CrossingEngine engine, const Rule &rule, double rate) {
  SCOPED_TRACE("rate " + std::to_string(rate));
  SetCrossingEngine(engine);
  const std::vector<int> lower(rule.K + 1, -1), upper = stage_boundary(rule);
  RanStart(99);
  const oc_summary s = summary(rate, rule.K, lower.data(), upper.data());
  OcRow row;
  RanStart(99);
  ASSERT_EQ(rule_oc_with(engine, rule, rate, &row), 0);
  EXPECT_EQ(row.rate, rate);
  EXPECT_EQ(row.p_stop, s.phi_star);
  EXPECT_NEAR(row.mean_n, s.mean_n, 1e-12);
  EXPECT_NEAR(row.sd_n, s.sd_n, 1e-12);
  EXPECT_NEAR(row.mean_y, s.mean_y, 1e-12);
  EXPECT_NEAR(row.sd_y, s.sd_y, 1e-12);
  EXPECT_NEAR(row.mean_proportion, s.mean_yn, 1e-12);
  EXPECT_NEAR(row.sd_proportion, s.sd_yn, 1e-12);
  if (engine == CrossingEngine::kExact) {
    EXPECT_TRUE(std::isnan(row.se_p_stop));
    EXPECT_TRUE(std::isnan(row.se_mean_n));
  } else {
    EXPECT_EQ(row.se_p_stop, std::sqrt(row.p_stop * (1.0 - row.p_stop) / 1e6));
    EXPECT_EQ(row.se_mean_n, row.sd_n / 1000.0);
  }
}

TEST(RuleOc, EveryPatientPocockRuleAsTheOriginalSummary) {
  const Rule ten = every_patient_pocock(10, 0.3, 0.02);
  for (double rate : {0.05, 0.3, 0.6}) expect_as_summary(CrossingEngine::kExact, ten, rate);
  expect_as_summary(CrossingEngine::kExact, every_patient_pocock(200, 0.1, 0.001), 0.15);
  expect_as_summary(CrossingEngine::kSimulation, every_patient_pocock(6, 0.3, 0.05), 0.4);
}

TEST(RuleOc, RuleAtSomeLooksAgreesWithEveryOutcomeSequence) {
  // Looks 2, 3, 5 and 6 of K = 6; the count at look 3 is lower than at look 2 and the one at look 5 cannot
  // be reached.
  const Rule rule{6, {2, 3, 5, 6}, {2, 1, 7, 3}};
  const double rate = 0.27;
  const int K = rule.K;
  std::vector<int> need(K + 1, K + 1);
  for (std::size_t i = 0; i < rule.looks.size(); ++i) need[rule.looks[i]] = rule.counts[i];
  long double p_stop = 0, before_last = 0, m[3] = {0, 0, 0}, q[3] = {0, 0, 0};
  for (unsigned mask = 0; mask < (1u << K); ++mask) {
    const int events = __builtin_popcount(mask);
    const long double w =
        std::pow(static_cast<long double>(rate), events) * std::pow(1.0L - rate, K - events);
    int y = 0, n = K;
    for (int k = 1; k <= K; ++k) {
      y += (mask >> (k - 1)) & 1u;
      if (y >= need[k]) {
        n = k;
        break;
      }
    }
    if (n < K || y >= need[K]) p_stop += w;
    if (n < K) before_last += w;
    const long double x[3] = {static_cast<long double>(n), static_cast<long double>(y),
                              static_cast<long double>(y) / n};
    for (int i = 0; i < 3; ++i) {
      m[i] += w * x[i];
      q[i] += w * x[i] * x[i];
    }
  }
  auto sd = [&](int i) { return static_cast<double>(std::sqrt(q[i] - m[i] * m[i])); };
  OcRow row;
  ASSERT_EQ(rule_oc_with(CrossingEngine::kExact, rule, rate, &row), 0);
  EXPECT_NEAR(row.p_stop, static_cast<double>(p_stop), 1e-14);
  EXPECT_NEAR(row.p_stop_before_last, static_cast<double>(before_last), 1e-14);
  EXPECT_NEAR(row.mean_n, static_cast<double>(m[0]), 1e-13);
  EXPECT_NEAR(row.mean_y, static_cast<double>(m[1]), 1e-13);
  EXPECT_NEAR(row.mean_proportion, static_cast<double>(m[2]), 1e-13);
  EXPECT_NEAR(row.sd_n, sd(0), 1e-9);
  EXPECT_NEAR(row.sd_y, sd(1), 1e-9);
  EXPECT_NEAR(row.sd_proportion, sd(2), 1e-9);

  // The engine in use gives the same figures.
  SetCrossingEngine(CrossingEngine::kExact);
  OcRow in_use;
  ASSERT_EQ(rule_oc(rule, rate, &in_use), 0);
  EXPECT_EQ(in_use.p_stop, row.p_stop);
  EXPECT_EQ(in_use.sd_proportion, row.sd_proportion);
}

TEST(RuleOc, EngineRejectionLeavesTheRowAlone) {
  OcRow row;
  row.p_stop = -7.0;
  EXPECT_EQ(rule_oc_with(CrossingEngine::kExact, Rule{3, {3}, {2}}, 0.0, &row), 1);
  EXPECT_EQ(rule_oc_with(CrossingEngine::kExact, Rule{3, {3}, {0}}, 0.5, &row), 4);
  EXPECT_EQ(row.p_stop, -7.0);
}

}  // namespace
