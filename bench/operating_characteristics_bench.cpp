// Cost of one table row: the summary of a fixed boundary (one simulation of
// 1,000,000 trials) and, apart from it, the listing of stopping points and
// the three weighted moments that turn its probabilities into the row.
#include <benchmark/benchmark.h>

#include <vector>

#include "bndry/bndry.h"
#include "cross2s/cross2s.h"

namespace {

std::vector<int> pocock_boundary(int K, double THETA, double level) {
  std::vector<int> upper(K + 1);
  GetPointwiseBndry(upper.data(), K, level, THETA);
  return upper;
}

void BM_Summary(benchmark::State &state) {
  const int K = static_cast<int>(state.range(0));
  const std::vector<int> upper = pocock_boundary(K, 0.1, 0.002);
  const std::vector<int> lower(K + 1, -1);
  for (auto _ : state) benchmark::DoNotOptimize(summary(0.1, K, lower.data(), upper.data()));
}
BENCHMARK(BM_Summary)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_StoppingPointsAndMoments(benchmark::State &state) {
  const int K = static_cast<int>(state.range(0));
  const std::vector<int> upper = pocock_boundary(K, 0.1, 0.002);
  const std::vector<int> lower(K + 1, -1);
  std::vector<double> lo(K + 1), up(K + 1), end(K + 1);
  ExactCrossingProb(lo.data(), up.data(), end.data(), 0.1, K, lower.data(), upper.data());
  std::vector<double> y(3 * K + 1), n(3 * K + 1), ratio(3 * K + 1), p(3 * K + 1);
  int count[4];
  double mv[3];
  for (auto _ : state) {
    const int last = yn_dstn(y.data(), n.data(), p.data(), count, lo.data(), up.data(), end.data(),
                             lower.data(), upper.data(), K);
    array_div(ratio.data(), y.data(), n.data(), 0, last);
    meanvar(mv, ratio.data(), p.data(), 0, last);
    meanvar(mv, y.data(), p.data(), 0, last);
    meanvar(mv, n.data(), p.data(), 0, last);
    benchmark::DoNotOptimize(mv);
  }
}
BENCHMARK(BM_StoppingPointsAndMoments)->Arg(10)->Arg(255);

}  // namespace
