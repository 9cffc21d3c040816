// Rules checked at some stages only: the fast simulation against the plain one
// (counts and stream), the exact recursion against an enumeration of every
// outcome sequence and against the simulation, the agreement with CrossingProb
// on a boundary at every stage, and the refusal of bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"
#include "tests/crossing_check.h"

namespace {

constexpr int kSeed = 1618;

// A rule over stages 1..K with the given counts at the listed looks and K + 1 elsewhere.
std::vector<int> rule_at(int K, const std::vector<std::pair<int, int>> &looks) {
  std::vector<int> upper(K + 1, K + 1);
  upper[0] = 0;
  for (auto [stage, count] : looks) upper[stage] = count;
  return upper;
}

// Looks every `cohort` patients and at K, with count(k) at look k.
std::vector<int> cohort_rule(int K, int cohort, int (*count)(int k)) {
  std::vector<std::pair<int, int>> looks;
  for (int k = cohort; k < K; k += cohort) looks.emplace_back(k, count(k));
  looks.emplace_back(K, count(K));
  return rule_at(K, looks);
}

struct Rule {
  const char *name;
  int K;
  std::vector<int> upper;  // indexed 1..K
  std::vector<double> thetas;
};

void PrintTo(const Rule &r, std::ostream *os) { *os << r.name; }

struct RuleRun {
  int code = -1;
  RuleOutcome out;
  long long drawn = 0;
  std::vector<double> next;  // the deviates that follow
};

// One calculation, calculate(&outcome) returning its code, from the stream seeded with kSeed and advanced by
// `skip` deviates.
template <class Calculate>
RuleRun run_from(int skip, Calculate calculate) {
  RanStart(kSeed);
  for (int i = 0; i < skip; ++i) RanUni();
  RuleRun run;
  run.code = calculate(&run.out);
  run.drawn = RanUniDrawn();
  for (int i = 0; i < 100; ++i) run.next.push_back(RanUni());
  return run;
}

RuleRun run_rule(CrossingEngine engine, const Rule &r, double THETA, int skip) {
  return run_from(
      skip, [&](RuleOutcome *out) { return RuleCrossingProbWith(engine, out, THETA, r.K, r.upper.data()); });
}

// ---- The fast simulation gives the plain one's counts and stream ----------------------------

std::vector<Rule> simulated_rules() {
  return {
      {"EveryPatient", 20, cohort_rule(20, 1, [](int k) { return 2 + k / 4; }), {0.1, 0.35}},
      {"CohortsOfThree", 20, cohort_rule(20, 3, [](int k) { return 2 + k / 4; }), {0.1, 0.35}},
      {"CohortsOfFive", 23, cohort_rule(23, 5, [](int k) { return 1 + k / 5; }), {0.15, 0.5}},
      {"StartAtLookEight",
       16,
       rule_at(16, {{8, 3}, {9, 3}, {10, 4}, {11, 4}, {12, 4}, {13, 5}, {14, 5}, {15, 5}, {16, 6}}),
       {0.2}},
      // The last look 69 stages after the envelope is often reached: popcounts over more than a word.
      {"LastStageOnly", 70, rule_at(70, {{70, 2}}), {0.1}},
      // Counts above the look at stages 4 and 12, which cannot stop, and a count far above K.
      {"CountsAboveTheLook", 16, rule_at(16, {{4, 5}, {8, 3}, {12, 13}, {14, 99}, {16, 6}}), {0.25}},
      {"FallingCounts", 20, rule_at(20, {{5, 4}, {10, 2}, {15, 5}, {17, 1}, {20, 3}}), {0.1, 0.45}},
      {"NoLook", 12, rule_at(12, {}), {0.5}},
  };
}

class FastRuleSimulation : public testing::TestWithParam<Rule> {};

TEST_P(FastRuleSimulation, GivesThePlainCountsAndStreamPosition) {
  const Rule &r = GetParam();
  int skip = 0;
  for (double THETA : r.thetas) {
    skip += 37;  // starts inside a word of event bits
    const RuleRun plain = run_rule(CrossingEngine::kPlainSimulation, r, THETA, skip);
    ASSERT_EQ(plain.code, 0);
    EXPECT_EQ(plain.out.K, r.K);
    for (int threads : {0, 1}) {
      const RuleRun fast = run_from(skip, [&](RuleOutcome *out) {
        out->K = r.K;  // sized as RuleCrossingProbWith sizes it
        out->stop_prob.assign(r.K + 1, 0.0);
        out->stop_joint.assign((r.K + 1) * (r.K + 1), 0.0);
        out->end_prob.assign(r.K + 1, 0.0);
        proceed_rule_fast(out, THETA, r.K, r.upper.data(), threads);
        return 0;
      });
      const std::string what =
          "THETA " + std::to_string(THETA) + ", generator threads " + std::to_string(threads);
      EXPECT_EQ(fast.out.stop_prob, plain.out.stop_prob) << what;
      EXPECT_EQ(fast.out.stop_joint, plain.out.stop_joint) << what;
      EXPECT_EQ(fast.out.end_prob, plain.out.end_prob) << what;
      EXPECT_EQ(fast.drawn, plain.drawn) << what;
      EXPECT_EQ(fast.next, plain.next) << what;
    }
    // The public entry with the simulation engine takes the same path and sums p_stop.
    const RuleRun simulated = run_rule(CrossingEngine::kSimulation, r, THETA, skip);
    EXPECT_EQ(simulated.out.stop_joint, plain.out.stop_joint);
    EXPECT_EQ(simulated.out.p_stop, plain.out.p_stop);
    EXPECT_EQ(simulated.drawn, plain.drawn);
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, FastRuleSimulation, testing::ValuesIn(simulated_rules()), case_name<Rule>);

// ---- The exact recursion against every outcome sequence ---------------------------------------

// The outcome by summing the probability of each of the 2^K event sequences where the rule ends it.
RuleOutcome enumerate(double THETA, int K, const std::vector<int> &upper) {
  const auto width = static_cast<std::size_t>(K) + 1;
  RuleOutcome o;
  o.K = K;
  o.stop_prob.assign(width, 0.0);
  o.stop_joint.assign(width * width, 0.0);
  o.end_prob.assign(width, 0.0);
  for (unsigned sequence = 0; sequence < (1u << K); ++sequence) {
    double probability = 1.0;
    for (int k = 0; k < K; ++k) probability *= (sequence >> k) & 1 ? THETA : 1.0 - THETA;
    int y = 0, k = 1;
    for (; k <= K; ++k) {
      y += static_cast<int>((sequence >> (k - 1)) & 1);
      if (y >= upper[k]) break;
    }
    if (k <= K) {
      o.stop_prob[k] += probability;
      o.stop_joint[k * width + y] += probability;
    } else {
      o.end_prob[y] += probability;
    }
  }
  for (int k = 1; k <= K; ++k) o.p_stop += o.stop_prob[k];
  return o;
}

void expect_near(const std::vector<double> &actual, const std::vector<double> &expected, const char *what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t i = 0; i < actual.size(); ++i)
    EXPECT_NEAR(actual[i], expected[i], 1e-12) << what << "[" << i << "]";
}

std::vector<Rule> enumerated_rules() {
  std::mt19937 engine(5);
  std::vector<int> random(13, 0);  // every stage a look, counts anywhere in 1..k+1
  for (int k = 1; k <= 12; ++k) random[k] = std::uniform_int_distribution<int>(1, k + 1)(engine);
  return {
      {"FallingCounts", 12, rule_at(12, {{3, 3}, {6, 2}, {9, 4}, {12, 3}}), {0.2, 0.65}},
      {"JumpsPastTheCount", 12, cohort_rule(12, 4, [](int k) { return k / 2; }), {0.6}},
      {"CountsAboveTheLook", 11, rule_at(11, {{2, 3}, {5, 2}, {7, 40}, {8, 5}, {11, 4}}), {0.3}},
      {"RandomEveryStage", 12, random, {0.25, 0.5}},
  };
}

class ExactRule : public testing::TestWithParam<Rule> {};

TEST_P(ExactRule, EqualsTheEnumerationOfOutcomeSequences) {
  const Rule &r = GetParam();
  for (double THETA : r.thetas) {
    const RuleOutcome expected = enumerate(THETA, r.K, r.upper);
    RuleOutcome exact;
    RanStart(kSeed);
    ASSERT_EQ(RuleCrossingProbWith(CrossingEngine::kExact, &exact, THETA, r.K, r.upper.data()), 0);
    EXPECT_EQ(RanUniDrawn(), 0);
    EXPECT_EQ(exact.K, r.K);
    expect_near(exact.stop_prob, expected.stop_prob, "stop_prob");
    expect_near(exact.stop_joint, expected.stop_joint, "stop_joint");
    expect_near(exact.end_prob, expected.end_prob, "end_prob");
    EXPECT_NEAR(exact.p_stop, expected.p_stop, 1e-12);
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, ExactRule, testing::ValuesIn(enumerated_rules()), case_name<Rule>);

// ---- The simulation against the exact recursion --------------------------------------------

TEST(RuleSimulation, EveryCellWithinFiveStandardErrorsOfTheExactOutcome) {
  const std::vector<Rule> rules{
      {"FallingCohorts", 40, rule_at(40, {{5, 3}, {10, 2}, {20, 6}, {25, 4}, {40, 8}}), {0.12}},
      {"LargestKCohortsOfTen", 255, cohort_rule(255, 10, [](int k) { return 2 + k / 12; }), {0.06}},
  };
  for (const Rule &r : rules) {
    RuleOutcome exact, simulated;
    ASSERT_EQ(RuleCrossingProbWith(CrossingEngine::kExact, &exact, r.thetas[0], r.K, r.upper.data()), 0);
    RanStart(kSeed);
    ASSERT_EQ(RuleCrossingProbWith(CrossingEngine::kSimulation, &simulated, r.thetas[0], r.K, r.upper.data()),
              0);
    expect_within_monte_carlo_error(simulated.stop_prob, exact.stop_prob, 0,
                                    std::string(r.name) + " stop_prob");
    expect_within_monte_carlo_error(simulated.stop_joint, exact.stop_joint, 0,
                                    std::string(r.name) + " stop_joint");
    expect_within_monte_carlo_error(simulated.end_prob, exact.end_prob, 0, std::string(r.name) + " end_prob");
  }
}

// ---- A boundary at every stage: CrossingProb's figures ---------------------------------------

TEST(RuleCrossingProb, BoundaryAtEveryStageGivesCrossingProbFigures) {
  std::vector<int> pocock(16);
  GetPointwiseBndry(pocock.data(), 15, 0.05, 0.3);
  std::vector<int> late(19);  // counts above the stage up to stage 4
  for (int k = 1; k <= 18; ++k) late[k] = 5 + k / 6;
  const std::vector<Rule> rules{{"Pocock", 15, pocock, {0.3, 0.5}}, {"LateStart", 18, late, {0.4}}};
  for (const Rule &r : rules) {
    for (double THETA : r.thetas) {
      for (CrossingEngine engine :
           {CrossingEngine::kSimulation, CrossingEngine::kPlainSimulation, CrossingEngine::kExact}) {
        const std::string what = std::string(r.name) + ", THETA " + std::to_string(THETA) + ", engine " +
                                 std::to_string(static_cast<int>(engine));
        SetCrossingEngine(engine);
        RanStart(kSeed);
        const CrossingResult crossing = simulated_crossing(THETA, r.K, no_lower_boundary(r.K), r.upper);
        ASSERT_EQ(crossing.code, 0) << what;
        const long long crossing_drawn = RanUniDrawn();
        RanStart(kSeed);
        RuleOutcome rule;
        ASSERT_EQ(RuleCrossingProbWith(engine, &rule, THETA, r.K, r.upper.data()), 0) << what;
        EXPECT_EQ(rule.stop_prob, crossing.up) << what;
        EXPECT_EQ(rule.end_prob, crossing.end) << what;
        EXPECT_EQ(rule.p_stop, array_sum(crossing.up.data(), 1, r.K)) << what;
        EXPECT_EQ(RanUniDrawn(), crossing_drawn) << what;
      }
    }
  }
  SetCrossingEngine(default_crossing_engine);
}

// ---- Bad input ----------------------------------------------------------------------------

TEST(RuleCrossingProb, BadInputIsRefusedWithNothingDrawnOrWritten) {
  struct Case {
    const char *name;
    double THETA;
    int K;
    std::vector<int> upper;
    int code;
  };
  const std::vector<int> valid(257, 2);
  const std::vector<Case> cases{
      {"ThetaZero", 0.0, 3, {0, 1, 1, 1}, 1},
      {"ThetaOne", 1.0, 3, {0, 1, 1, 1}, 1},
      {"ThetaNaN", std::nan(""), 3, {0, 1, 1, 1}, 1},
      {"ThetaBeforeK", -0.5, 0, {0}, 1},
      {"KZero", 0.3, 0, {0}, 2},
      {"KAboveTheLargest", 0.3, 256, valid, 2},
      {"CountZeroAtTheLastStage", 0.3, 3, {0, 1, 2, 0}, 4},
      {"NegativeCount", 0.3, 2, {0, -1, 3}, 4},
  };
  for (const Case &c : cases) {
    for (CrossingEngine engine :
         {CrossingEngine::kSimulation, CrossingEngine::kPlainSimulation, CrossingEngine::kExact}) {
      RuleOutcome out;
      out.K = -7;
      out.stop_prob = {7.0};
      out.p_stop = 7.0;
      RanStart(kSeed);
      EXPECT_EQ(RuleCrossingProbWith(engine, &out, c.THETA, c.K, c.upper.data()), c.code) << c.name;
      EXPECT_EQ(RanUniDrawn(), 0) << c.name;
      EXPECT_EQ(out.K, -7) << c.name;
      EXPECT_EQ(out.stop_prob, std::vector<double>{7.0}) << c.name;
      EXPECT_TRUE(out.stop_joint.empty() && out.end_prob.empty()) << c.name;
      EXPECT_EQ(out.p_stop, 7.0) << c.name;
    }
  }
  // The largest K is accepted.
  RuleOutcome out;
  EXPECT_EQ(RuleCrossingProbWith(CrossingEngine::kExact, &out, 0.3, 255, valid.data()), 0);
}

}  // namespace
