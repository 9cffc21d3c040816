// Cost of one crossing calculation of 1,000,000 simulated trials, and of the
// exact recursion, for a Pocock-type boundary built by the search's rule.
// Items processed are simulated patients (deviates drawn).
#include <benchmark/benchmark.h>

#include <vector>

#include "bndry/bndry.h"
#include "cross2s/cross2s.h"
#include "cross2s/cross2s_internal.h"

namespace {

struct Problem {
  double THETA;
  int K;
  std::vector<int> lower, upper;
};

Problem pocock_problem(int K, double THETA, double level) {
  Problem p{THETA, K, std::vector<int>(K + 1, -1), std::vector<int>(K + 1)};
  GetPointwiseBndry(p.upper.data(), K, level, THETA);
  return p;
}

// Expected number of deviates one simulation draws: 1,000,000 times the mean stopping stage.
double deviates_per_simulation(const Problem &p, const std::vector<double> &lo, const std::vector<double> &up,
                               const std::vector<double> &end) {
  double stages = 0.0;
  for (int k = 1; k <= p.K; ++k) stages += k * (lo[k] + up[k]);
  for (int y = 0; y <= p.K; ++y) stages += p.K * end[y];
  return stages * 1e6;
}

// One simulation by `simulate`; items processed are deviates drawn.
template <class Simulate>
void time_simulation(benchmark::State &state, Simulate simulate) {
  Problem p = pocock_problem(static_cast<int>(state.range(0)), 0.1, 0.002);
  std::vector<double> lo(p.K + 1), up(p.K + 1), end(p.K + 1);
  for (auto _ : state) {
    simulate(lo.data(), up.data(), end.data(), p.THETA, p.K, p.lower.data(), p.upper.data());
    benchmark::DoNotOptimize(up.data());
  }
  const double deviates = static_cast<double>(state.iterations()) * deviates_per_simulation(p, lo, up, end);
  state.SetItemsProcessed(static_cast<int64_t>(deviates));
  state.counters["per_deviate"] =
      benchmark::Counter(deviates, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The program's engine, as CrossingProb runs it.
void BM_CrossingProbSimulation(benchmark::State &state) { time_simulation(state, CrossingProb); }
BENCHMARK(BM_CrossingProbSimulation)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference simulation, one RanUni call per simulated stage.
void BM_PlainSimulation(benchmark::State &state) { time_simulation(state, proceed); }
BENCHMARK(BM_PlainSimulation)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The fast simulation with 0 (the caller's thread), 1 or 2 generator threads.
void BM_FastSimulation(benchmark::State &state) {
  const int threads = static_cast<int>(state.range(1));
  time_simulation(
      state, [threads](double *lo, double *up, double *end, double THETA, int K, const int *lower,
                       const int *upper) { proceed_fast(lo, up, end, THETA, K, lower, upper, threads); });
}
BENCHMARK(BM_FastSimulation)
    ->ArgNames({"K", "threads"})
    ->ArgsProduct({{10, 100}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The fast simulation of a rule, as RuleCrossingProbWith runs it, with the Pocock-type counts of time_simulation at
// every stage (kind 0) or every fifth stage (kind 1), with 0, 1 or 2 generator threads.
void BM_RuleSimulation(benchmark::State &state) {
  const Problem p = pocock_problem(static_cast<int>(state.range(0)), 0.1, 0.002);
  const int cohort = state.range(1) == 0 ? 1 : 5;
  const int threads = static_cast<int>(state.range(2));
  std::vector<int> rule(p.K + 1, p.K + 1);
  for (int k = 1; k <= p.K; ++k)
    if (k % cohort == 0 || k == p.K) rule[k] = p.upper[k];
  RuleOutcome out;
  out.K = p.K;
  out.stop_prob.assign(p.K + 1, 0.0);
  out.stop_joint.assign((p.K + 1) * (p.K + 1), 0.0);
  out.end_prob.assign(p.K + 1, 0.0);
  for (auto _ : state) {
    proceed_rule_fast(&out, p.THETA, p.K, rule.data(), threads);
    benchmark::DoNotOptimize(out.stop_prob.data());
  }
  double stages = 0.0;
  for (int k = 1; k <= p.K; ++k) stages += k * out.stop_prob[k];
  for (int y = 0; y <= p.K; ++y) stages += p.K * out.end_prob[y];
  const double deviates = static_cast<double>(state.iterations()) * stages * 1e6;
  state.SetItemsProcessed(static_cast<int64_t>(deviates));
  state.counters["per_deviate"] =
      benchmark::Counter(deviates, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RuleSimulation)
    ->ArgNames({"K", "cohort5", "threads"})
    ->ArgsProduct({{10, 100}, {0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ExactCrossingProb(benchmark::State &state) {
  Problem p = pocock_problem(static_cast<int>(state.range(0)), 0.1, 0.002);
  std::vector<double> lo(p.K + 1), up(p.K + 1), end(p.K + 1);
  for (auto _ : state) {
    ExactCrossingProb(lo.data(), up.data(), end.data(), p.THETA, p.K, p.lower.data(), p.upper.data());
    benchmark::DoNotOptimize(up.data());
  }
}
BENCHMARK(BM_ExactCrossingProb)->Arg(10)->Arg(255);

}  // namespace
