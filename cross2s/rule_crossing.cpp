// Rules checked at some stages only: the exact recursion and the plain
// simulation, one deviate per patient, which the fast walk must match.
#include <cstddef>

#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"

namespace {

int check_rule_input(double THETA, int K, const int upper[]) {
  if (!(THETA > 0.0 && THETA < 1.0)) return 1;  // a NaN is refused too
  if (K < 1 || K > kMaxStages) return 2;
  for (int k = 1; k <= K; ++k)
    if (upper[k] < 1) return 4;
  return 0;
}

void size_outcome(RuleOutcome *out, int K) {
  const auto stages = static_cast<std::size_t>(K) + 1;
  out->K = K;
  out->stop_prob.assign(stages, 0.0);
  out->stop_joint.assign(stages * stages, 0.0);
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
      out->stop_joint[static_cast<std::size_t>(k) * width + static_cast<std::size_t>(y)] = going[y];
      going[y] = 0.0;
    }
    out->stop_prob[static_cast<std::size_t>(k)] = up;
  }
  for (std::size_t y = 0; y < width; ++y) out->end_prob[y] = going[y];
}

void plain_rule(RuleOutcome *out, double THETA, int K, const int upper[]) {
  const auto width = static_cast<std::size_t>(K) + 1;
  std::vector<int> stop_count(width, 0), joint_count(width * width, 0), end_count(width, 0);
  for (int replicate = 1; replicate <= kReplicates; ++replicate) {
    int y = 0;
    int k = 1;
    for (; k <= K; ++k) {
      if (RanUni() <= THETA) ++y;  // a deviate equal to THETA is an event
      if (y >= upper[k]) break;
    }
    if (k <= K) {
      ++stop_count[static_cast<std::size_t>(k)];
      ++joint_count[static_cast<std::size_t>(k) * width + static_cast<std::size_t>(y)];
    } else {
      ++end_count[static_cast<std::size_t>(y)];
    }
  }
  rule_counts_to_outcome(out, stop_count.data(), joint_count.data(), end_count.data());
}

}  // namespace

void rule_counts_to_outcome(RuleOutcome *out, const int stop_count[], const int joint_count[],
                            const int end_count[]) {
  const auto width = static_cast<std::size_t>(out->K) + 1;
  for (std::size_t k = 0; k < width; ++k) {
    out->stop_prob[k] = count_to_probability(stop_count[k]);
    out->end_prob[k] = count_to_probability(end_count[k]);
  }
  for (std::size_t i = 0; i < width * width; ++i)
    out->stop_joint[i] = joint_count[i] == 0 ? 0.0 : count_to_probability(joint_count[i]);
}

int RuleCrossingProbWith(CrossingEngine engine, RuleOutcome *out, double THETA, int K, const int upper[]) {
  const int code = check_rule_input(THETA, K, upper);
  if (code != 0) return code;
  size_outcome(out, K);
  switch (engine) {
    case CrossingEngine::kExact:
      exact_rule(out, THETA, K, upper);
      break;
    case CrossingEngine::kPlainSimulation:
      plain_rule(out, THETA, K, upper);
      break;
    case CrossingEngine::kSimulation:
      proceed_rule_fast(out, THETA, K, upper, RanGeneratorThreads());
      break;
  }
  out->p_stop = array_sum(out->stop_prob.data(), 1, K);
  return 0;
}
