// Rules checked at some stages only: the exact recursion and the plain
// simulation, one deviate per patient, which the fast walk must match.
#include <algorithm>
#include <cstddef>

#include "core/binomial.h"
#include "core/crossing.h"
#include "core/extended.h"

namespace contmon {

namespace {

int check_rule_input(double THETA, int K, const int upper[]) {
  if (!(THETA > 0.0 && THETA < 1.0)) return 1;  // a NaN is refused too
  if (K < 1 || K > kMaxStages) return 2;
  for (int k = 1; k <= K; ++k)
    if (upper[k] < 1) return 4;
  return 0;
}

void size_outcome(RuleOutcome *out, int K, bool joint) {
  const auto stages = static_cast<std::size_t>(K) + 1;
  out->K = K;
  out->stop_prob.assign(stages, 0.0);
  out->stops.clear();
  out->has_stops = joint;
  out->end_prob.assign(stages, 0.0);
}

void exact_rule(RuleOutcome *out, double THETA, int K, const int upper[]) {
  const auto width = static_cast<std::size_t>(K) + 1;
  // going[y]: probability that a trial is still running after the current stage with y events.
  std::vector<double> going(width, 0.0);
  going[0] = 1.0;
  const double no_event = 1.0 - THETA;
  for (int k = 1; k <= K; ++k) {
    for (int y = k; y >= 1; --y) going[y] = going[y] * no_event + going[y - 1] * THETA;
    going[0] = going[0] * no_event;
    double up = 0.0;
    for (int y = upper[k]; y <= k; ++y) {
      up += going[y];
      if (out->has_stops && going[y] != 0.0) out->stops.push_back(Stop{k, y, going[y]});
      going[y] = 0.0;
    }
    out->stop_prob[static_cast<std::size_t>(k)] = up;
  }
  for (std::size_t y = 0; y < width; ++y) out->end_prob[y] = going[y];
}

void plain_rule(RuleOutcome *out, double THETA, int K, const int upper[], const Simulation &simulation) {
  RandomStream &stream = *simulation.stream;
  const auto width = static_cast<std::size_t>(K) + 1;
  std::vector<int> stop_count(width, 0), joint_count(width * width, 0), end_count(width, 0);
  for (int replicate = 1; replicate <= simulation.trials; ++replicate) {
    if (replicate % kCheckpointTrials == 0 && simulation.checkpoint != nullptr) (*simulation.checkpoint)();
    int y = 0;
    int k = 1;
    for (; k <= K; ++k) {
      if (stream.RanUni() <= THETA) ++y;  // a deviate equal to THETA is an event
      if (y >= upper[k]) break;
    }
    if (k <= K) {
      ++stop_count[static_cast<std::size_t>(k)];
      ++joint_count[static_cast<std::size_t>(k) * width + static_cast<std::size_t>(y)];
    } else {
      ++end_count[static_cast<std::size_t>(y)];
    }
  }
  rule_counts_to_outcome(out, simulation.trials, stop_count.data(), joint_count.data(), end_count.data());
}

}  // namespace

double count_to_probability(int count, int trials) {
  return static_cast<double>(Extended(count) / Extended(trials));
}

void rule_counts_to_outcome(RuleOutcome *out, int trials, const int stop_count[], const int joint_count[],
                            const int end_count[]) {
  const auto width = static_cast<std::size_t>(out->K) + 1;
  for (std::size_t k = 0; k < width; ++k) {
    out->stop_prob[k] = count_to_probability(stop_count[k], trials);
    out->end_prob[k] = count_to_probability(end_count[k], trials);
  }
  out->stops.clear();
  for (std::size_t i = 0; i < width * width; ++i)
    if (joint_count[i] != 0)
      out->stops.push_back(Stop{static_cast<int>(i / width), static_cast<int>(i % width),
                                count_to_probability(joint_count[i], trials)});
  out->has_stops = true;
}

int rule_crossing(Engine engine, RuleOutcome *out, double THETA, int K, const int upper[],
                  const Simulation &given, bool joint) {
  const int code = check_rule_input(THETA, K, upper);
  if (code != 0) return code;
  size_outcome(out, K, joint || engine != Engine::kExact);
  // Without a stream a simulation draws from one that starts at the default seed.
  RandomStream own;
  Simulation simulation = given;
  if (simulation.stream == nullptr) simulation.stream = &own;
  switch (engine) {
    case Engine::kExact:
      exact_rule(out, THETA, K, upper);
      break;
    case Engine::kPlainSimulation:
      plain_rule(out, THETA, K, upper, simulation);
      break;
    case Engine::kSimulation:
      fast_rule_simulation(out, THETA, K, upper, simulation);
      break;
  }
  Extended sum = 0.0;
  for (int k = 1; k <= K; ++k) sum += out->stop_prob[static_cast<std::size_t>(k)];
  // A sum of probabilities can round above 1 by a step: a probability is never printed above 1.
  out->p_stop = std::min(static_cast<double>(sum), 1.0);
  return 0;
}

}  // namespace contmon
