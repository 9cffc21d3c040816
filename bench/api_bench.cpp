// The public API's cost for the design the exact program makes of
// "255 0.05 0.1", to set beside the program's own time for that input
// (hyperfine 'contmon-exact 255 0.05 0.1'), which adds the process, the table
// rows and the output. This file is linked first, so its benchmarks run
// first: the single call is then the process's first, with nothing built yet.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "contmon/design.h"
#include "contmon/report.h"
#include "contmon/writers.h"

namespace contmon {
namespace {

const Design kDesign{255, 0.05, 0.1, Shape{}, {}};  // the Pocock boundary after every patient

// One call, the first of the process: what a front end that designs once pays.
void BM_DesignApiFirstCall(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(design(kDesign, Method{MethodKind::kExact}));
}
BENCHMARK(BM_DesignApiFirstCall)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same call made over and over in one process: the steady cost per call.
void BM_DesignApiRepeated(benchmark::State &state) {
  Calibration c;
  for (auto _ : state) c = design(kDesign, Method{MethodKind::kExact});
  benchmark::DoNotOptimize(c);
  state.counters["phi_star"] = c.phi_star;
}
BENCHMARK(BM_DesignApiRepeated)->Unit(benchmark::kMillisecond);

// The whole analysis the program makes of that input through the API: the design, the table's default rows
// and the text report, in this process.
void BM_ReportApi(benchmark::State &state) {
  ReportRequest request;
  request.design = kDesign;
  for (auto _ : state) benchmark::DoNotOptimize(to_format(OutputFormat::kText, report(request)));
}
BENCHMARK(BM_ReportApi)->Unit(benchmark::kMillisecond)->UseRealTime();

// The exact figures of trial conduct for the rule of that design at 16 rates, patients entering over a year
// and each outcome known four weeks after entry (the target: under 50 ms).
void BM_ConductK255(benchmark::State &state) {
  const Rule rule = design(kDesign, Method{MethodKind::kExact}).rule;
  std::vector<double> rates;
  for (int i = 1; i <= 16; ++i) rates.push_back(i * 0.05);
  for (auto _ : state) benchmark::DoNotOptimize(conduct(rule, rates, Accrual{365, 28}));
}
BENCHMARK(BM_ConductK255)->Unit(benchmark::kMillisecond);

// The search for the sample size over K' = 1..255, Pocock shape after every patient, power 0.8 at P1 = 0.1
// (the target: under 2 s).
void BM_FindK255(benchmark::State &state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(find_sample_size(kDesign, Schedule{}, 0.1, 0.8));
}
BENCHMARK(BM_FindK255)->Unit(benchmark::kMillisecond)->UseRealTime();

// All seven shapes designed at K = 100 with their default rows, as --shape given for each compares them
// (the target for the six of the command line's first list: under 0.5 s).
void BM_CompareShapesK100(benchmark::State &state) {
  for (auto _ : state) {
    for (const char *shape : {"pocock", "obf", "wt:0.25", "bayes:1,1", "sprt:0.2", "maxsprt", "cc:1,1,0.2,0.5"}) {
      ReportRequest request;
      request.design = Design{100, 0.1, 0.1, parse_shape(shape), {}};
      request.alternative = 0.2;
      request.curve = true;
      benchmark::DoNotOptimize(report(request));
    }
  }
}
BENCHMARK(BM_CompareShapesK100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The program itself on the same input, a process with its report sent to /dev/null: the time BM_ReportApi
// must not exceed by more than a tenth.
void BM_ProgramExact(benchmark::State &state) {
  char program[] = CONTMON_EXACT_EXE;
  char no_output[] = "--no-output", k[] = "255", theta[] = "0.05", phi[] = "0.1";
  char *argv[] = {program, no_output, k, theta, phi, nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t pid = 0;
    if (posix_spawn(&pid, program, &actions, nullptr, argv, environ) != 0) {
      state.SkipWithError("the program could not be started");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_ProgramExact)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace contmon
