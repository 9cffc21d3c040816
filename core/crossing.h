// The crossing engines: how trials end under a rule checked at some stages,
// exactly by a forward recursion over (stage, count), or from simulated trials
// drawing one deviate per patient, by the plain walk or the fast walk on event
// bits, which gives the plain walk's counts and stream position.
//
// A rule gives each stage k = 1..K an upper stopping count upper[k] >= 1: the
// trial stops at the first stage whose count of events reaches it. A count
// above k cannot be reached, so K + 1 marks a stage that is not a look. A
// rule's counts need not rise from stage to stage, and a trial may pass a
// stage's count between two looks and stop with more events than it.
#pragma once

#include <functional>
#include <vector>

#include "contmon/limits.h"
#include "contmon/random.h"

namespace contmon {

/// The ways of obtaining crossing probabilities.
enum class Engine {
  kExact,            ///< the exact forward recursion; draws no deviate
  kSimulation,       ///< kSimulatedTrials simulated trials on event bits (the fast walk)
  kPlainSimulation,  ///< the same simulation, one deviate at a time: the reference the fast walk must match
};

/// A way a trial can stop: at stage k with y events, with probability p.
struct Stop {
  int k = 0;
  int y = 0;
  double p = 0.0;
  friend bool operator==(const Stop &, const Stop &) = default;
};

/// How trials end under a rule.
struct RuleOutcome {
  int K = 0;                      ///< the last stage
  std::vector<double> stop_prob;  ///< [0..K]: P(stopping at stage k); element 0 is 0
  std::vector<Stop> stops;        ///< every (stage, count) a trial stops at with a probability above 0, in order
  bool has_stops = false;         ///< stops was filled (an exact outcome may hold stop_prob alone)
  std::vector<double> end_prob;   ///< [0..K]: P(passing stage K without stopping, with y events)
  double p_stop = 0.0;            ///< stop_prob[1] + ... + stop_prob[K], summed in extended precision
};

/// The stops as a table [k * (K + 1) + y] of probabilities, 0 where no trial stops.
inline std::vector<double> joint_table(const RuleOutcome &out) {
  const auto width = static_cast<std::size_t>(out.K) + 1;
  std::vector<double> table(width * width, 0.0);
  for (const Stop &stop : out.stops)
    table[static_cast<std::size_t>(stop.k) * width + static_cast<std::size_t>(stop.y)] = stop.p;
  return table;
}

/// What a simulation draws from and how it may be interrupted.
struct Simulation {
  RandomStream *stream = nullptr;                ///< the deviates; none: a stream from the default seed
  int generator_threads = 0;                     ///< threads that generate beside the caller's (fast walk)
  const std::function<void()> *checkpoint = nullptr;  ///< called every 65,536 trials; may throw to stop
  int trials = kSimulatedTrials;                      ///< simulated trials, at least 1
};

/// The outcome of the rule upper[1..K] at the event probability THETA, from the given engine; without `joint`
/// the exact engine lists no stops, for a caller that needs only the probabilities of stopping. Returns
/// 0, or 1 for THETA outside (0, 1), 2 for K outside 1..255, 4 for a count below 1, in which case *out is
/// untouched and no deviate is drawn.
int rule_crossing(Engine engine, RuleOutcome *out, double THETA, int K, const int upper[],
                  const Simulation &simulation = {}, bool joint = true);

/// A count of trials as a probability: count / trials formed in extended precision, rounded to double.
double count_to_probability(int count, int trials = kSimulatedTrials);

/// The trials between two checkpoints of a simulation.
inline constexpr int kCheckpointTrials = 1 << 16;

/// The simulation of rule_crossing for kSimulation; out is sized.
void fast_rule_simulation(RuleOutcome *out, double THETA, int K, const int upper[], const Simulation &simulation);

/// Fills the outcome's probabilities (already sized for out->K) from counts of `trials` trials: stops by
/// stage, stops by stage and count ([k * (K + 1) + y]) and ends by count.
void rule_counts_to_outcome(RuleOutcome *out, int trials, const int stop_count[], const int joint_count[],
                            const int end_count[]);

}  // namespace contmon
