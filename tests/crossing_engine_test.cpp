// The run-time choice of crossing engine: whichever engine a run sets, CrossingProb gives exactly what that
// engine's own routine gives from the same stream, names it, and draws deviates only when it simulates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"
#include "tests/crossing_check.h"

namespace {

struct EngineCase {
  const char *name;
  CrossingEngine engine;
  const char *label;
  CrossingResult (*reference)(double THETA, int K, const std::vector<int> &lower,
                              const std::vector<int> &upper);
};

void PrintTo(const EngineCase &c, std::ostream *os) { *os << c.name; }

CrossingResult plain_reference(double THETA, int K, const std::vector<int> &lower,
                               const std::vector<int> &upper) {
  return run_crossing(
      [](double lo[], double up[], double end[], double t, int k, const int l[], const int u[]) {
        proceed(lo, up, end, t, k, l, u);
        return 0;
      },
      THETA, K, lower, upper);
}

class ChosenEngine : public testing::TestWithParam<EngineCase> {
 protected:
  void TearDown() override { SetCrossingEngine(default_crossing_engine); }
};

TEST_P(ChosenEngine, CrossingProbIsTheChosenEngineBitForBit) {
  const EngineCase &c = GetParam();
  const std::vector<int> upper = {0, 2, 2, 3, 3, 4, 4, 4, 5, 5, 5};
  const std::vector<int> lower = no_lower_boundary(10);

  SetCrossingEngine(c.engine);
  EXPECT_EQ(crossing_engine(), c.engine);
  EXPECT_STREQ(method(), c.label);
  RanStart(271828);
  const CrossingResult chosen = simulated_crossing(0.3, 10, lower, upper);
  const long long drawn = RanUniDrawn();
  RanStart(271828);
  const CrossingResult reference = c.reference(0.3, 10, lower, upper);
  EXPECT_EQ(chosen.code, 0);
  EXPECT_EQ(chosen.up, reference.up);
  EXPECT_EQ(chosen.end, reference.end);
  EXPECT_EQ(drawn, RanUniDrawn());
  EXPECT_EQ(drawn > 0, c.engine != CrossingEngine::kExact);
  // Invalid boundaries get the same code from every engine, with nothing drawn.
  RanStart(271828);
  EXPECT_EQ(simulated_crossing(0.3, 3, {0, 1, 1, 1}, {0, 2, 2, 2}).code, 3);
  EXPECT_EQ(RanUniDrawn(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, ChosenEngine,
                         testing::Values(EngineCase{"Simulation", CrossingEngine::kSimulation,
                                                    "Simulation-based", plain_reference},
                                         EngineCase{"PlainSimulation", CrossingEngine::kPlainSimulation,
                                                    "Simulation-based", plain_reference},
                                         EngineCase{"Exact", CrossingEngine::kExact, "Exact",
                                                    exact_crossing}),
                         case_name<EngineCase>);

TEST(EngineObserver, IsCalledOnceForEveryComputationUntilRemoved) {
  int calls = 0;
  SetCrossingObserver([](void *context) { ++*static_cast<int *>(context); }, &calls);
  SetCrossingEngine(CrossingEngine::kExact);
  for (int k = 0; k < 3; ++k)
    exact_crossing(0.3, 2, no_lower_boundary(2), {0, 1, 2});  // not through the seam
  for (int k = 0; k < 3; ++k) simulated_crossing(0.3, 2, no_lower_boundary(2), {0, 1, 2});
  SetCrossingObserver(nullptr, nullptr);
  simulated_crossing(0.3, 2, no_lower_boundary(2), {0, 1, 2});
  SetCrossingEngine(default_crossing_engine);
  EXPECT_EQ(calls, 3);
}

}  // namespace
