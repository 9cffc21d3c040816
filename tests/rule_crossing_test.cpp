// Rules checked at some stages only: the fast simulation against the plain one
// (counts and stream), the exact recursion against an enumeration of every
// outcome sequence and against the simulation, the checkpoints of a
// simulation, and the refusal of bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "contmon/random.h"
#include "core/crossing.h"
#include "tests/case_name.h"

namespace contmon {
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

struct RuleCase {
  const char *name;
  int K;
  std::vector<int> upper;  // indexed 1..K
  std::vector<double> thetas;
};

void PrintTo(const RuleCase &r, std::ostream *os) { *os << r.name; }

struct RuleRun {
  int code = -1;
  RuleOutcome out;
  long long drawn = 0;
  std::vector<double> next;  // the deviates that follow
};

// One calculation, calculate(&outcome, simulation) returning its code, from a stream seeded with kSeed and
// advanced by `skip` deviates.
template <class Calculate>
RuleRun run_from(int skip, Calculate calculate) {
  RandomStream stream(kSeed);
  for (int i = 0; i < skip; ++i) stream.RanUni();
  RuleRun run;
  run.code = calculate(&run.out, Simulation{&stream, 0, nullptr});
  run.drawn = stream.drawn();
  for (int i = 0; i < 100; ++i) run.next.push_back(stream.RanUni());
  return run;
}

RuleRun run_rule(Engine engine, const RuleCase &r, double THETA, int skip) {
  return run_from(skip, [&](RuleOutcome *out, const Simulation &simulation) {
    return rule_crossing(engine, out, THETA, r.K, r.upper.data(), simulation);
  });
}

// ---- The fast simulation gives the plain one's counts and stream ----------------------------

std::vector<RuleCase> simulated_rules() {
  std::vector<int> late(19);  // every stage a look, the counts above the stage up to stage 4
  for (int k = 1; k <= 18; ++k) late[static_cast<std::size_t>(k)] = 5 + k / 6;
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
      {"EveryStageLateStart", 18, late, {0.4}},
  };
}

class FastRuleSimulation : public testing::TestWithParam<RuleCase> {};

TEST_P(FastRuleSimulation, GivesThePlainCountsAndStreamPosition) {
  const RuleCase &r = GetParam();
  int skip = 0;
  for (double THETA : r.thetas) {
    skip += 37;  // starts inside a word of event bits
    const RuleRun plain = run_rule(Engine::kPlainSimulation, r, THETA, skip);
    ASSERT_EQ(plain.code, 0);
    EXPECT_EQ(plain.out.K, r.K);
    for (int threads : {0, 1}) {
      const RuleRun fast = run_from(skip, [&](RuleOutcome *out, Simulation simulation) {
        const auto width = static_cast<std::size_t>(r.K) + 1;
        out->K = r.K;  // sized as rule_crossing sizes it
        out->stop_prob.assign(width, 0.0);
        out->end_prob.assign(width, 0.0);
        simulation.generator_threads = threads;
        fast_rule_simulation(out, THETA, r.K, r.upper.data(), simulation);
        return 0;
      });
      const std::string what =
          "THETA " + std::to_string(THETA) + ", generator threads " + std::to_string(threads);
      EXPECT_EQ(fast.out.stop_prob, plain.out.stop_prob) << what;
      EXPECT_EQ(fast.out.stops, plain.out.stops) << what;
      EXPECT_EQ(fast.out.end_prob, plain.out.end_prob) << what;
      EXPECT_EQ(fast.drawn, plain.drawn) << what;
      EXPECT_EQ(fast.next, plain.next) << what;
    }
    // The public entry with the simulation engine takes the same path and sums p_stop.
    const RuleRun simulated = run_rule(Engine::kSimulation, r, THETA, skip);
    EXPECT_EQ(simulated.out.stops, plain.out.stops);
    EXPECT_EQ(simulated.out.p_stop, plain.out.p_stop);
    EXPECT_EQ(simulated.drawn, plain.drawn);
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, FastRuleSimulation, testing::ValuesIn(simulated_rules()),
                         case_name<RuleCase>);

// ---- The exact recursion against every outcome sequence ---------------------------------------

// The outcome by summing the probability of each of the 2^K event sequences where the rule ends it.
RuleOutcome enumerate(double THETA, int K, const std::vector<int> &upper) {
  const auto width = static_cast<std::size_t>(K) + 1;
  RuleOutcome o;
  o.K = K;
  o.stop_prob.assign(width, 0.0);
  std::vector<double> joint(width * width, 0.0);
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
      joint[k * width + y] += probability;
    } else {
      o.end_prob[y] += probability;
    }
  }
  for (int k = 1; k <= K; ++k) o.p_stop += o.stop_prob[k];
  for (std::size_t i = 0; i < joint.size(); ++i)
    if (joint[i] != 0.0) o.stops.push_back(Stop{static_cast<int>(i / width), static_cast<int>(i % width), joint[i]});
  o.has_stops = true;
  return o;
}

void expect_near(const std::vector<double> &actual, const std::vector<double> &expected, const char *what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t i = 0; i < actual.size(); ++i)
    EXPECT_NEAR(actual[i], expected[i], 1e-12) << what << "[" << i << "]";
}

std::vector<RuleCase> enumerated_rules() {
  std::mt19937 engine(5);
  std::vector<int> random(13, 0);  // every stage a look, counts anywhere in 1..k+1
  for (int k = 1; k <= 12; ++k)
    random[static_cast<std::size_t>(k)] = std::uniform_int_distribution<int>(1, k + 1)(engine);
  return {
      {"FallingCounts", 12, rule_at(12, {{3, 3}, {6, 2}, {9, 4}, {12, 3}}), {0.2, 0.65}},
      {"JumpsPastTheCount", 12, cohort_rule(12, 4, [](int k) { return k / 2; }), {0.6}},
      {"CountsAboveTheLook", 11, rule_at(11, {{2, 3}, {5, 2}, {7, 40}, {8, 5}, {11, 4}}), {0.3}},
      {"RandomEveryStage", 12, random, {0.25, 0.5}},
  };
}

class ExactRule : public testing::TestWithParam<RuleCase> {};

TEST_P(ExactRule, EqualsTheEnumerationOfOutcomeSequences) {
  const RuleCase &r = GetParam();
  for (double THETA : r.thetas) {
    const RuleOutcome expected = enumerate(THETA, r.K, r.upper);
    RuleOutcome exact;
    RandomStream stream(kSeed);
    ASSERT_EQ(
        rule_crossing(Engine::kExact, &exact, THETA, r.K, r.upper.data(), Simulation{&stream, 0, nullptr}),
        0);
    EXPECT_EQ(stream.drawn(), 0);
    EXPECT_EQ(exact.K, r.K);
    expect_near(exact.stop_prob, expected.stop_prob, "stop_prob");
    expect_near(joint_table(exact), joint_table(expected), "stops");
    expect_near(exact.end_prob, expected.end_prob, "end_prob");
    EXPECT_NEAR(exact.p_stop, expected.p_stop, 1e-12);
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, ExactRule, testing::ValuesIn(enumerated_rules()), case_name<RuleCase>);

// ---- The simulation against the exact recursion --------------------------------------------

// Five standard errors of a proportion estimated from kSimulatedTrials trials, for the true value p.
double five_standard_errors(double p) { return 5.0 * std::sqrt(p * (1.0 - p) / kSimulatedTrials); }

void expect_within_monte_carlo_error(const std::vector<double> &simulated, const std::vector<double> &exact,
                                     const std::string &what) {
  ASSERT_EQ(simulated.size(), exact.size()) << what;
  for (std::size_t i = 0; i < exact.size(); ++i)
    EXPECT_NEAR(simulated[i], exact[i], five_standard_errors(exact[i])) << what << "[" << i << "]";
}

TEST(RuleSimulation, EveryCellWithinFiveStandardErrorsOfTheExactOutcome) {
  const std::vector<RuleCase> rules{
      {"FallingCohorts", 40, rule_at(40, {{5, 3}, {10, 2}, {20, 6}, {25, 4}, {40, 8}}), {0.12}},
      {"LargestKCohortsOfTen", 255, cohort_rule(255, 10, [](int k) { return 2 + k / 12; }), {0.06}},
  };
  // The plain simulation gives the same counts (above), so the fast one stands for both.
  for (const RuleCase &r : rules) {
    RuleOutcome exact, simulated;
    ASSERT_EQ(rule_crossing(Engine::kExact, &exact, r.thetas[0], r.K, r.upper.data()), 0);
    RandomStream stream(kSeed);
    ASSERT_EQ(rule_crossing(Engine::kSimulation, &simulated, r.thetas[0], r.K, r.upper.data(),
                            Simulation{&stream, 1, nullptr}),
              0);
    expect_within_monte_carlo_error(simulated.stop_prob, exact.stop_prob, std::string(r.name) + " stop_prob");
    expect_within_monte_carlo_error(joint_table(simulated), joint_table(exact), std::string(r.name) + " stops");
    expect_within_monte_carlo_error(simulated.end_prob, exact.end_prob, std::string(r.name) + " end_prob");
    EXPECT_NEAR(simulated.p_stop, exact.p_stop, five_standard_errors(exact.p_stop)) << r.name;
  }
}

// ---- Checkpoints ------------------------------------------------------------------------------

TEST(RuleSimulation, CheckpointsComeEveryBlockOfTrialsAndMayStopTheRun) {
  const std::vector<int> upper = cohort_rule(10, 5, [](int k) { return 2 + k / 6; });
  struct Stop : std::runtime_error {
    Stop() : std::runtime_error("stopped") {}
  };
  const struct {
    const char *name;
    Engine engine;
    int threads;
  } runs[] = {{"plain", Engine::kPlainSimulation, 0},
              {"fast", Engine::kSimulation, 0},
              {"fast with generator threads", Engine::kSimulation, 2}};
  for (const auto &run : runs) {
    int calls = 0;
    const std::function<void()> count = [&] { ++calls; };
    RandomStream stream(kSeed);
    RuleOutcome out;
    ASSERT_EQ(
        rule_crossing(run.engine, &out, 0.2, 10, upper.data(), Simulation{&stream, run.threads, &count}), 0);
    EXPECT_EQ(calls, kSimulatedTrials / kCheckpointTrials) << run.name;

    // A checkpoint that throws ends the run there; the reader's threads are stopped on the way out.
    calls = 0;
    const std::function<void()> stop_third = [&] {
      if (++calls == 3) throw Stop();
    };
    RandomStream stopped(kSeed);
    EXPECT_THROW(rule_crossing(run.engine, &out, 0.2, 10, upper.data(),
                               Simulation{&stopped, run.threads, &stop_third}),
                 Stop)
        << run.name;
    EXPECT_EQ(calls, 3) << run.name;
  }
  // The exact recursion draws nothing and has no checkpoint.
  int calls = 0;
  const std::function<void()> count = [&] { ++calls; };
  RuleOutcome out;
  ASSERT_EQ(rule_crossing(Engine::kExact, &out, 0.2, 10, upper.data(), Simulation{nullptr, 0, &count}), 0);
  EXPECT_EQ(calls, 0);
}

// ---- Bad input ----------------------------------------------------------------------------

TEST(RuleCrossing, BadInputIsRefusedWithNothingDrawnOrWritten) {
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
    for (Engine engine : {Engine::kSimulation, Engine::kPlainSimulation, Engine::kExact}) {
      RuleOutcome out;
      out.K = -7;
      out.stop_prob = {7.0};
      out.p_stop = 7.0;
      RandomStream stream(kSeed);
      EXPECT_EQ(rule_crossing(engine, &out, c.THETA, c.K, c.upper.data(), Simulation{&stream, 0, nullptr}),
                c.code)
          << c.name;
      EXPECT_EQ(stream.drawn(), 0) << c.name;
      EXPECT_EQ(out.K, -7) << c.name;
      EXPECT_EQ(out.stop_prob, std::vector<double>{7.0}) << c.name;
      EXPECT_TRUE(out.stops.empty() && out.end_prob.empty()) << c.name;
      EXPECT_EQ(out.p_stop, 7.0) << c.name;
    }
  }
  // The largest K is accepted.
  RuleOutcome out;
  EXPECT_EQ(rule_crossing(Engine::kExact, &out, 0.3, 255, valid.data()), 0);
}

}  // namespace
}  // namespace contmon
