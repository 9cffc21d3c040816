// The fast crossing simulation against the plain one it replaces: the same
// probabilities to the last bit, the same number of deviates consumed and the
// same stream afterwards, whether the deviates are generated on the caller's
// thread or by one or two generator threads.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"
#include "tests/crossing_check.h"

namespace {

constexpr int kSeed = 2718;

struct Outcome {
  std::vector<double> lo, up, end;
  long long drawn;
  std::vector<double> next;  // the 1,000 deviates that follow
};

// Runs one simulation from a stream seeded with kSeed and advanced by `skip` deviates.
template <class Simulate>
Outcome simulate_from(int skip, const BoundaryPair &c, Simulate simulate) {
  RanStart(kSeed);
  for (int i = 0; i < skip; ++i) RanUni();
  Outcome o{std::vector<double>(c.K + 1), std::vector<double>(c.K + 1), std::vector<double>(c.K + 1), 0, {}};
  simulate(o.lo.data(), o.up.data(), o.end.data(), c.THETA, c.K, c.lower.data(), c.upper.data());
  o.drawn = RanUniDrawn();
  for (int i = 0; i < 1000; ++i) o.next.push_back(RanUni());
  return o;
}

// Compares the fast simulation with the plain one, for each number of generator threads listed.
void expect_same_simulation(const BoundaryPair &c, int skip, std::initializer_list<int> thread_counts) {
  ASSERT_EQ(check_crossing_input(c.THETA, c.K, c.lower.data(), c.upper.data()), 0) << c.name;
  const Outcome plain = simulate_from(skip, c, proceed);
  for (int threads : thread_counts) {
    Outcome fast = simulate_from(
        skip, c,
        [threads](double *lo, double *up, double *end, double THETA, int K, const int *lower,
                  const int *upper) { proceed_fast(lo, up, end, THETA, K, lower, upper, threads); });
    const std::string what = std::string(c.name) + ", generator threads " + std::to_string(threads);
    EXPECT_EQ(fast.lo, plain.lo) << what;
    EXPECT_EQ(fast.up, plain.up) << what;
    EXPECT_EQ(fast.end, plain.end) << what;
    EXPECT_EQ(fast.drawn, plain.drawn) << what;
    EXPECT_EQ(fast.next, plain.next) << what;
  }
}

std::vector<int> stages(int K, int (*rule)(int k)) {
  std::vector<int> b(K + 1, 0);
  for (int k = 1; k <= K; ++k) b[k] = rule(k);
  return b;
}

// The 8th deviate after skipping 17 in the seeded stream: a THETA that a deviate of the simulation equals.
double drawn_deviate() {
  RanStart(kSeed);
  for (int i = 0; i < 17 + 7; ++i) RanUni();
  return RanUni();
}

std::vector<BoundaryPair> boundary_pairs() {
  std::vector<int> pocock(11);
  GetPointwiseBndry(pocock.data(), 10, 0.05, 0.3);
  return {
      {"PocockTenStages", 0.3, 10, no_lower_boundary(10), pocock},
      {"UpperStartsAtOne", 0.2, 20, no_lower_boundary(20), stages(20, [](int k) { return 1 + k / 5; })},
      {"UnreachableEverywhere", 0.4, 20, no_lower_boundary(20), stages(20, [](int k) { return k + 1; })},
      {"UpperJumpsByMore", 0.35, 30, no_lower_boundary(30),
       stages(30, [](int k) { return 2 + (k / 3) * 3; })},
      {"FlatRunsLongerThanAWord", 0.1, 140, no_lower_boundary(140),
       stages(140, [](int k) { return 3 + k / 70; })},
      {"LowerAllZero", 0.6, 12, stages(12, [](int) { return 0; }),
       stages(12, [](int k) { return 2 + k / 2; })},
      {"LowerRising", 0.5, 25, stages(25, [](int k) { return k / 3 - 1; }),
       stages(25, [](int k) { return 3 + k / 2; })},
      {"OneStage", 0.5, 1, {0, 0}, {0, 1}},
      {"TwoStages", 0.7, 2, {0, -1, 0}, {0, 2, 2}},
      {"ThetaNearZero", 1e-4, 25, no_lower_boundary(25), stages(25, [](int) { return 2; })},
      {"ThetaNearOne", 1.0 - 1e-6, 15, stages(15, [](int k) { return k - 2; }),
       stages(15, [](int k) { return k + 1; })},
      {"ThetaEqualsADeviate", drawn_deviate(), 9, no_lower_boundary(9),
       stages(9, [](int k) { return 1 + k / 2; })},
      // Rises at stages 9, 17, ...: first stages of the groups of eight a trial may pass at once.
      {"RisesAtTheStartOfEightStages", 0.2, 40, no_lower_boundary(40),
       stages(40, [](int k) { return 1 + (k + 7) / 8; })},
      {"LargestK", 0.5, 255, no_lower_boundary(255), stages(255, [](int k) { return 1 + k / 4; })},
  };
}

class FastCrossing : public testing::TestWithParam<BoundaryPair> {};

TEST_P(FastCrossing, EqualsThePlainSimulation) { expect_same_simulation(GetParam(), 17, {0, 1, 2}); }

INSTANTIATE_TEST_SUITE_P(Boundaries, FastCrossing, testing::ValuesIn(boundary_pairs()),
                         case_name<BoundaryPair>);

// Random valid pairs: upper boundaries that start anywhere from 1 and rise by jumps of up to three, lower
// boundaries of -1 or rising from 0 below them, event probabilities over the whole interval.
TEST(FastCrossingRandom, EqualsThePlainSimulationOnRandomBoundaries) {
  std::mt19937 engine(11);
  for (int trial = 0; trial < 16; ++trial) {
    const int K = std::uniform_int_distribution<int>(1, 12)(engine);
    const double THETA = std::uniform_real_distribution<double>(0.01, 0.99)(engine);
    std::vector<int> upper(K + 1, 0), lower(K + 1, -1);
    upper[1] = std::uniform_int_distribution<int>(1, 3)(engine);
    for (int k = 2; k <= K; ++k)
      upper[k] = upper[k - 1] + std::uniform_int_distribution<int>(0, 3)(engine) / 2;
    if (trial % 2 == 1) {
      lower[1] = std::uniform_int_distribution<int>(-1, 0)(engine);
      for (int k = 2; k <= K; ++k)
        lower[k] = std::min(upper[k] - 1, lower[k - 1] + std::uniform_int_distribution<int>(0, 1)(engine));
    }
    const std::string name = "random pair " + std::to_string(trial);
    BoundaryPair c{name.c_str(), THETA, K, lower, upper};
    expect_same_simulation(c, trial * 13, {trial % 3});
  }
}

}  // namespace
