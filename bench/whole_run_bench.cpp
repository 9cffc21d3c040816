// A whole run in process: the boundary search and the table for one input, from
// a freshly seeded stream as in the program. Reports the deviates one run draws
// and the time per deviate, the engine's cost including everything around it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "bndry/bndry.h"
#include "driver/driver.h"
#include "ranuni/ranuni.h"

namespace {

// Sends standard output to /dev/null while it lives: the table is printed, not wanted here.
class SilencedStdout {
 public:
  SilencedStdout() : saved_(dup(1)) {
    std::fflush(stdout);
    if (std::FILE *null = std::fopen("/dev/null", "w")) {
      dup2(fileno(null), 1);
      std::fclose(null);
    }
  }
  ~SilencedStdout() {
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
  }

 private:
  int saved_;
};

// Arguments: K, THETA and PHI in thousandths.
void BM_WholeRun(benchmark::State &state) {
  const int K = static_cast<int>(state.range(0));
  const double THETA = static_cast<double>(state.range(1)) / 1000.0;
  const double PHI = static_cast<double>(state.range(2)) / 1000.0;
  int upper[kMaxStages + 1];
  double alpha[2];
  double PHIstar = 0.0;
  long long deviates = 0;
  for (auto _ : state) {
    RanStart(314159);  // the stream of a fresh process
    SilencedStdout silenced;
    if (FindBndry(upper, alpha, &PHIstar, K, THETA, PHI) != 0) state.SkipWithError("search failed");
    table_print(THETA, K, upper);
    deviates = RanUniDrawn();
  }
  state.counters["deviates"] = static_cast<double>(deviates);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * deviates);  // deviates per second
}
BENCHMARK(BM_WholeRun)
    ->ArgNames({"K", "THETAx1000", "PHIx1000"})
    ->Args({255, 50, 100})
    ->Args({100, 100, 200})
    ->Args({100, 10, 50})
    ->Args({100, 500, 1})
    ->Args({10, 300, 50})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
