// Cost of filling the binomial probability and tail tables for one event probability, which every Pocock
// calibration builds.
#include <benchmark/benchmark.h>

#include "core/binomial.h"

namespace contmon {
namespace {

void BM_BinomialTables(benchmark::State &state) {
  for (auto _ : state) {
    const BinomialTables tables(0.3);
    benchmark::DoNotOptimize(tables.surv(kMaxStages, 100));
  }
}
BENCHMARK(BM_BinomialTables)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace contmon
