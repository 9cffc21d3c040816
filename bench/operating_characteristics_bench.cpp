// Cost of one table row: the row of a fixed rule from one simulation of
// 1,000,000 trials (or exactly) through the public API, and apart from it the
// figures that turn an outcome's probabilities into the row.
#include <benchmark/benchmark.h>

#include <vector>

#include "contmon/design.h"
#include "core/crossing.h"
#include "design/design_internal.h"

namespace contmon {
namespace {

// The Pocock rule at pointwise level 0.002 for theta 0.1 after every patient.
Rule pocock_rule(int K) {
  Design design;
  design.K = K;
  design.theta = 0.1;
  design.phi = 0.1;
  return Rule{K, design_looks(design), shape_counts(design, 0.002)};
}

// One row at 0.1 by the method of range(1): 0 exact, 1 simulation, 2 plain simulation.
void BM_CharacteristicsRow(benchmark::State &state) {
  const Rule rule = pocock_rule(static_cast<int>(state.range(0)));
  Method method;
  method.kind = static_cast<MethodKind>(state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(characteristics(rule, {0.1}, method));
}
BENCHMARK(BM_CharacteristicsRow)
    ->ArgNames({"K", "method"})
    ->ArgsProduct({{10, 100}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The figures of a row (means and standard deviations of N, Y and Y/N) from an exact outcome.
void BM_OutcomeFigures(benchmark::State &state) {
  const Rule rule = pocock_rule(static_cast<int>(state.range(0)));
  const std::vector<int> upper = stage_boundary(rule);
  RuleOutcome out;
  if (rule_crossing(Engine::kExact, &out, 0.1, rule.K, upper.data()) != 0) state.SkipWithError("refused");
  for (auto _ : state) benchmark::DoNotOptimize(outcome_figures(out, 0.1, kSimulatedTrials));
}
BENCHMARK(BM_OutcomeFigures)->Arg(10)->Arg(255);

}  // namespace
}  // namespace contmon
