// Cost of the uniform generator: per deviate served, and per batch generated.
#include <benchmark/benchmark.h>

#include <vector>

#include "ranuni/ranuni.h"

namespace {

void BM_RanUni(benchmark::State &state) {
  double sum = 0.0;
  for (auto _ : state) sum += RanUni();
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RanUni);

void BM_RanUniArrayBatch(benchmark::State &state) {
  std::vector<double> batch(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    RanUniArray(batch.data(), static_cast<int>(batch.size()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RanUniArrayBatch)->Arg(1009)->Arg(100000);

}  // namespace
