// A whole run in process, as the programs make it: the calibration and the
// table of default rows for one input, then the text report, by simulation or
// exactly. For a simulation, reports the deviates one run draws and the time
// per deviate: the engine's cost including everything around it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "contmon/report.h"
#include "contmon/writers.h"

namespace contmon {
namespace {

// The deviates a simulated run draws: those of the calibration, which continues one stream from the seed,
// and those of each row it computes, which starts from the seed (the row at theta reuses the calibration's
// last acceptable evaluation when it has one). Every trial draws one deviate per patient, so a row draws its
// mean N times the number of trials.
double run_deviates(const ReportRequest &request, const Report &report) {
  RandomStream stream(kDefaultSeed);
  design(request.design, Method{MethodKind::kSimulation}, RunControl{{}, &stream});
  double deviates = static_cast<double>(stream.drawn());
  const bool reused = report.calibration.at_theta && report.theta_row;
  for (std::size_t i = 0; i < report.oc.size(); ++i)
    if (!(reused && i == *report.theta_row)) deviates += std::round(report.oc[i].mean_n * kSimulatedTrials);
  return deviates;
}

// Arguments: K, THETA and PHI in thousandths, and 1 for the exact method.
void BM_WholeRun(benchmark::State &state) {
  ReportRequest request;
  request.design.K = static_cast<int>(state.range(0));
  request.design.theta = static_cast<double>(state.range(1)) / 1000.0;
  request.design.phi = static_cast<double>(state.range(2)) / 1000.0;
  Method method;
  method.kind = state.range(3) == 1 ? MethodKind::kExact : MethodKind::kSimulation;
  Report result;
  for (auto _ : state) {
    result = report(request, method);
    benchmark::DoNotOptimize(to_format(OutputFormat::kText, result));
  }
  if (method.kind == MethodKind::kSimulation) {
    const double deviates = run_deviates(request, result);
    state.counters["deviates"] = deviates;
    state.SetItemsProcessed(static_cast<std::int64_t>(static_cast<double>(state.iterations()) * deviates));
  }
}
BENCHMARK(BM_WholeRun)
    ->ArgNames({"K", "THETAx1000", "PHIx1000", "exact"})
    ->ArgsProduct({{255}, {50}, {100}, {0, 1}})
    ->ArgsProduct({{100}, {100}, {200}, {0, 1}})
    ->Args({100, 10, 50, 0})
    ->Args({100, 500, 1, 0})
    ->Args({10, 300, 50, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace contmon
