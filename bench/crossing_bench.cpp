// Cost of one outcome of a rule from 1,000,000 simulated trials, by the fast
// walk on event bits and by the plain walk, and of the exact recursion, for a
// Pocock-type rule at every patient or every fifth. Items processed are
// simulated patients (deviates drawn).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "contmon/design.h"
#include "core/crossing.h"

namespace contmon {
namespace {

// The stage boundary of the Pocock rule at pointwise level 0.002 for theta 0.1, at every patient (cohort 1)
// or every cohort-th and at K.
std::vector<int> pocock_stages(int K, int cohort) {
  Design design;
  design.K = K;
  design.theta = 0.1;
  design.phi = 0.1;
  design.looks = schedule_looks(K, {}, cohort == 1 ? 0 : cohort);
  return stage_boundary(Rule{K, design_looks(design), shape_counts(design, 0.002)});
}

// The deviates one simulation draws: every trial draws one per patient until it stops.
double deviates_per_simulation(const RuleOutcome &out) {
  double patients = 0.0;
  for (int k = 1; k <= out.K; ++k) patients += k * out.stop_prob[static_cast<std::size_t>(k)];
  for (int y = 0; y <= out.K; ++y) patients += out.K * out.end_prob[static_cast<std::size_t>(y)];
  return patients * kSimulatedTrials;
}

// One outcome by the engine per iteration, for K = range(0), cohorts of range(1) and range(2) generator
// threads; items processed are deviates drawn.
void time_engine(benchmark::State &state, Engine engine) {
  const int K = static_cast<int>(state.range(0));
  const std::vector<int> upper = pocock_stages(K, static_cast<int>(state.range(1)));
  RandomStream stream;
  const Simulation simulation{&stream, static_cast<int>(state.range(2)), nullptr};
  RuleOutcome out;
  for (auto _ : state) {
    if (rule_crossing(engine, &out, 0.1, K, upper.data(), simulation) != 0) state.SkipWithError("refused");
    benchmark::DoNotOptimize(out.p_stop);
  }
  const double deviates = static_cast<double>(state.iterations()) * deviates_per_simulation(out);
  state.SetItemsProcessed(static_cast<std::int64_t>(deviates));
  state.counters["per_deviate"] =
      benchmark::Counter(deviates, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The programs' simulation, the fast walk, with 0 (the caller's thread alone), 1 or 2 generator threads.
void BM_FastSimulation(benchmark::State &state) { time_engine(state, Engine::kSimulation); }
BENCHMARK(BM_FastSimulation)
    ->ArgNames({"K", "cohort", "threads"})
    ->ArgsProduct({{10, 100, 255}, {1, 5}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The reference simulation, one RanUni call per simulated patient.
void BM_PlainSimulation(benchmark::State &state) { time_engine(state, Engine::kPlainSimulation); }
BENCHMARK(BM_PlainSimulation)
    ->ArgNames({"K", "cohort", "threads"})
    ->ArgsProduct({{10, 100}, {1, 5}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The exact recursion over (stage, count).
void BM_ExactRule(benchmark::State &state) {
  const int K = static_cast<int>(state.range(0));
  const std::vector<int> upper = pocock_stages(K, static_cast<int>(state.range(1)));
  RuleOutcome out;
  for (auto _ : state) {
    if (rule_crossing(Engine::kExact, &out, 0.1, K, upper.data()) != 0) state.SkipWithError("refused");
    benchmark::DoNotOptimize(out.p_stop);
  }
}
BENCHMARK(BM_ExactRule)
    ->ArgNames({"K", "cohort"})
    ->ArgsProduct({{10, 255}, {1, 5}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace contmon
