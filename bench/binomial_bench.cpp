// Cost of filling the binomial probability and tail tables for one event probability.
#include <benchmark/benchmark.h>

#include "bndry/bndry_internal.h"

namespace {

void BM_InitBinFill(benchmark::State &state) {
  double theta = 0.3;
  for (auto _ : state) {
    bin_prob_max_m = -1;  // forget the cached key so that every call fills
    benchmark::DoNotOptimize(init_bin(bin_prob, bin_surv, theta, 255));
  }
}
BENCHMARK(BM_InitBinFill);

void BM_InitBinCacheHit(benchmark::State &state) {
  init_bin(bin_prob, bin_surv, 0.3, 255);
  for (auto _ : state) benchmark::DoNotOptimize(init_bin(bin_prob, bin_surv, 0.3, 255));
}
BENCHMARK(BM_InitBinCacheHit);

}  // namespace
