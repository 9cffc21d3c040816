// The reachable stopping points and the listed distribution of (Y, N): the
// worked boundaries, and a check that the flags are exact where they claim
// to be (every listed point has positive exact probability, the listed
// probabilities sum to one).
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"
#include "tests/crossing_check.h"

namespace {

using Point = std::tuple<int, int, double>;  // Y, N, probability

struct Listing {
  int last = -2;
  int count[4] = {-7, -1, -1, -1};
  std::vector<Point> points;
};

// Lists the points of the boundaries with the given probability vectors.
Listing list_points(int K, const std::vector<int> &lower, const std::vector<int> &upper,
                    const std::vector<double> &lo, const std::vector<double> &up,
                    const std::vector<double> &end) {
  const std::size_t size = 3 * static_cast<std::size_t>(K) + 1;
  std::vector<double> y(size, -1.0), n(size, -1.0), p(size, -1.0);
  Listing l;
  l.last = yn_dstn(y.data(), n.data(), p.data(), l.count, lo.data(), up.data(), end.data(), lower.data(),
                   upper.data(), K);
  for (int i = 0; i <= l.last; ++i)
    l.points.emplace_back(static_cast<int>(y[i]), static_cast<int>(n[i]), p[i]);
  for (std::size_t i = static_cast<std::size_t>(l.last + 1); i < size; ++i) EXPECT_EQ(y[i], -1.0) << i;
  return l;
}

// Probability vectors that tell where each listed probability came from: lower stop at
// stage k is 100 + k, upper stop 200 + k, end count y 300 + y.
Listing list_marked_points(int K, const std::vector<int> &lower, const std::vector<int> &upper) {
  std::vector<double> lo(K + 1), up(K + 1), end(K + 1);
  for (int i = 0; i <= K; ++i) {
    lo[i] = 100 + i;
    up[i] = 200 + i;
    end[i] = 300 + i;
  }
  return list_points(K, lower, upper, lo, up, end);
}

struct WorkedCase {
  const char *name;
  int K;
  std::vector<int> lower, upper;  // indexed 1..K
  std::vector<Point> points;
  int lower_stops, upper_stops, end_points;
};

void PrintTo(const WorkedCase &c, std::ostream *os) { *os << c.name; }

class WorkedBoundaries : public testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedBoundaries, ListTheReachablePointsInOrder) {
  const WorkedCase &c = GetParam();
  Listing l = list_marked_points(c.K, c.lower, c.upper);
  EXPECT_EQ(l.points, c.points);
  EXPECT_EQ(l.count[0], -7);  // not touched
  EXPECT_EQ(l.count[1], c.lower_stops);
  EXPECT_EQ(l.count[2], c.upper_stops);
  EXPECT_EQ(l.count[3], c.end_points);
  EXPECT_EQ(l.last, c.lower_stops + c.upper_stops + c.end_points - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WorkedBoundaries,
    testing::Values(
        WorkedCase{"BothBoundariesAtOneStage", 1, {0, 0}, {0, 1}, {{0, 1, 101}, {1, 1, 201}}, 1, 1, 0},
        WorkedCase{"UpperFlatAtThree",
                   4,
                   {0, -1, -1, -1, -1},
                   {0, 3, 3, 3, 3},
                   {{3, 3, 203}, {3, 4, 204}, {0, 4, 300}, {1, 4, 301}, {2, 4, 302}},
                   0,
                   2,
                   3},
        WorkedCase{"UpperRisingAfterTheFirstReachableStage",
                   4,
                   {0, -1, -1, -1, -1},
                   {0, 2, 2, 3, 4},
                   {{2, 2, 202}, {0, 4, 300}, {1, 4, 301}, {2, 4, 302}, {3, 4, 303}},
                   0,
                   1,
                   4},
        WorkedCase{"UpperNeverReachable",
                   4,
                   {0, -1, -1, -1, -1},
                   {0, 2, 3, 4, 5},
                   {{0, 4, 300}, {1, 4, 301}, {2, 4, 302}, {3, 4, 303}, {4, 4, 304}},
                   0,
                   0,
                   5},
        WorkedCase{"LowerWithARepeatedValue",
                   5,
                   {0, -1, -1, 0, 0, 1},
                   {0, 2, 3, 4, 5, 6},
                   {{0, 3, 103}, {1, 5, 105}, {2, 5, 302}, {3, 5, 303}, {4, 5, 304}, {5, 5, 305}},
                   2,
                   0,
                   4},
        WorkedCase{
            "LowerAboveKClearsEveryEndPoint", 2, {0, 1, 5}, {0, 2, 6}, {{1, 1, 101}, {5, 2, 102}}, 2, 0, 0}),
    case_name<WorkedCase>);

TEST(Mark, NothingIsTouchedWithoutStages) {
  int lo_flag[2] = {7, 7}, up_flag[2] = {7, 7}, end_flag[2] = {7, 7};
  const int lower[2] = {-1, -1}, upper[2] = {1, 1};
  EXPECT_EQ(mark(lo_flag, up_flag, end_flag, lower, upper, 0), 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(lo_flag[i], 7);
    EXPECT_EQ(up_flag[i], 7);
    EXPECT_EQ(end_flag[i], 7);
  }
}

// A non-decreasing boundary from the generator: start at first (or -1 before it), rising by 0..max_step.
std::vector<int> random_boundary(std::mt19937 &rng, int K, int first, int max_step, int leading_missing) {
  std::vector<int> b(K + 1, -1);
  int value = first;
  for (int k = 1; k <= K; ++k) {
    if (k <= leading_missing) continue;
    b[k] = value;
    value += std::uniform_int_distribution<int>(0, max_step)(rng);
  }
  return b;
}

// For boundaries where the flags are exact, the listed points carry all the probability, and
// each of them can occur.
void expect_listing_is_exact(double THETA, int K, const std::vector<int> &lower,
                             const std::vector<int> &upper) {
  CrossingResult exact = exact_crossing(THETA, K, lower, upper);
  ASSERT_EQ(exact.code, 0);
  Listing l = list_points(K, lower, upper, exact.lo, exact.up, exact.end);
  double total = 0.0;
  for (const Point &pt : l.points) {
    EXPECT_GT(std::get<2>(pt), 0.0) << "Y = " << std::get<0>(pt) << ", N = " << std::get<1>(pt);
    total += std::get<2>(pt);
  }
  EXPECT_NEAR(total, 1.0, 1e-12);
}

TEST(YnDstn, ListsExactlyThePossiblePointsOfAnUpperBoundaryAlone) {
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 200; ++trial) {
    const int K = std::uniform_int_distribution<int>(1, 25)(rng);
    std::vector<int> upper = random_boundary(rng, K, std::uniform_int_distribution<int>(1, 4)(rng),
                                             std::uniform_int_distribution<int>(0, 2)(rng), 0);
    SCOPED_TRACE("trial " + std::to_string(trial));
    expect_listing_is_exact(0.4, K, no_lower_boundary(K), upper);
  }
  for (double level : {0.5, 0.1, 0.01, 1e-4}) {  // Pocock-type boundaries as the program builds them
    std::vector<int> upper(41);
    ASSERT_EQ(GetPointwiseBndry(upper.data(), 40, level, 0.3), 0);
    expect_listing_is_exact(0.3, 40, no_lower_boundary(40), upper);
  }
}

TEST(YnDstn, ListsExactlyThePossiblePointsOfALowerBoundaryRisingByAtMostOne) {
  std::mt19937 rng(77);
  for (int trial = 0; trial < 200; ++trial) {
    const int K = std::uniform_int_distribution<int>(1, 25)(rng);
    std::vector<int> lower = random_boundary(rng, K, 0, 1, std::uniform_int_distribution<int>(0, K)(rng));
    std::vector<int> upper(K + 1);
    for (int k = 0; k <= K; ++k) upper[k] = k + 1;  // never reached
    SCOPED_TRACE("trial " + std::to_string(trial));
    expect_listing_is_exact(0.6, K, lower, upper);
  }
}

}  // namespace
