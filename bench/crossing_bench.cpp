// Cost of one crossing calculation of 1,000,000 simulated trials, and of the
// exact recursion, for a Pocock-type boundary built by the search's rule.
// Items processed are simulated patients (deviates drawn).
#include <benchmark/benchmark.h>

#include <vector>

#include "bndry/bndry.h"
#include "cross2s/cross2s.h"

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

void BM_CrossingProbSimulation(benchmark::State &state) {
  Problem p = pocock_problem(static_cast<int>(state.range(0)), 0.1, 0.002);
  std::vector<double> lo(p.K + 1), up(p.K + 1), end(p.K + 1);
  for (auto _ : state) {
    CrossingProb(lo.data(), up.data(), end.data(), p.THETA, p.K, p.lower.data(), p.upper.data());
    benchmark::DoNotOptimize(up.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * deviates_per_simulation(p, lo, up, end)));
}
BENCHMARK(BM_CrossingProbSimulation)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

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
