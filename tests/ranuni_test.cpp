// The lagged-Fibonacci generator against its known values and seeding rules.
// Checks that need a fresh, unseeded stream run in a newly started copy of
// this program, so they do not depend on which tests ran before them.
#include "ranuni/ranuni.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Runs the statements in a freshly executed copy of this test program, in
// which the generator has not been seeded yet; fails if any check there fails.
#define EXPECT_IN_FRESH_PROCESS(statements)                 \
  do {                                                      \
    GTEST_FLAG_SET(death_test_style, "threadsafe");         \
    EXPECT_EXIT(                                            \
        {                                                   \
          statements;                                       \
          std::exit(::testing::Test::HasFailure() ? 1 : 0); \
        },                                                  \
        ::testing::ExitedWithCode(0), "");                  \
  } while (0)

std::vector<double> draw(int n) {
  std::vector<double> v(n);
  for (double &x : v) x = RanUni();
  return v;
}

void expect_known_values(const std::vector<double> &v) {
  EXPECT_EQ(v[0], 0.52468480020149433);
  EXPECT_EQ(v[1], 0.72654855247181316);
  EXPECT_EQ(v[2], 0.96090497521370022);
  EXPECT_EQ(v[99], 0.94941796665445688);
  EXPECT_EQ(v[100], 0.13328636757375145);  // first value of the second batch
}

TEST(RanUni, FreshStreamGivesTheKnownValues) { EXPECT_IN_FRESH_PROCESS(expect_known_values(draw(101))); }

TEST(RanUni, ExplicitDefaultSeedGivesTheSameStream) {
  RanStart(314159);
  expect_known_values(draw(101));
}

TEST(RanUni, SeedsAreReducedToTheirLow30Bits) {
  RanStart(314159 + (1 << 30));
  std::vector<double> high = draw(300);
  RanStart(314159);
  std::vector<double> plain = draw(300);
  EXPECT_EQ(high, plain);

  RanStart(-1);  // low 30 bits all set
  std::vector<double> negative = draw(300);
  RanStart(0x3fffffff);
  EXPECT_EQ(negative, draw(300));
}

TEST(RanUni, DifferentSeedsGiveDifferentStreams) {
  RanStart(1);
  std::vector<double> one = draw(100);
  RanStart(2);
  EXPECT_NE(one, draw(100));
}

TEST(RanUni, ReseedingRestartsTheStreamAndAbandonsTheBatch) {
  RanStart(271828);
  std::vector<double> first = draw(150);
  RanStart(271828);
  EXPECT_EQ(first, draw(150));
}

TEST(RanUni, DeviatesLieOnTheGridInTheUnitInterval) {
  const double grid = std::ldexp(1.0, 52);
  for (int i = 0; i < 200000; ++i) {
    double u = RanUni();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    double scaled = u * grid;
    ASSERT_EQ(scaled, std::trunc(scaled)) << "deviate " << i << " = " << u;
  }
}

TEST(RanUniArray, ShortRequestsWriteMinusInfinityAndLeaveTheStreamAlone) {
  EXPECT_IN_FRESH_PROCESS({
    std::vector<double> a(99, 0.5);
    RanUniArray(a.data(), 99);
    for (double x : a) EXPECT_EQ(x, -HUGE_VAL);
    // Not seeded by the short request: the first deviate is still the fresh stream's.
    EXPECT_EQ(RanUni(), 0.52468480020149433);
  });

  // In a running stream a short request does not advance it either.
  RanStart(314159);
  std::vector<double> skipped(50);
  RanUniArray(skipped.data(), 50);
  expect_known_values(draw(101));

  std::vector<double> untouched(3, 0.25);
  RanUniArray(untouched.data(), 0);
  RanUniArray(untouched.data(), -5);
  EXPECT_EQ(untouched, std::vector<double>(3, 0.25));
}

TEST(RanUniArray, SeedsTheStreamOnFirstUse) {
  EXPECT_IN_FRESH_PROCESS({
    std::vector<double> a(1009);
    RanUniArray(a.data(), 1009);
    EXPECT_EQ(a[0], 0.52468480020149433);
    EXPECT_EQ(a[99], 0.94941796665445688);
  });
}

TEST(RanUniArray, ConsecutiveCallsContinueTheSequence) {
  RanStart(314159);
  std::vector<double> whole(600);
  RanUniArray(whole.data(), 600);

  RanStart(314159);
  std::vector<double> part1(300), part2(300);
  RanUniArray(part1.data(), 300);
  RanUniArray(part2.data(), 300);
  EXPECT_EQ(std::vector<double>(whole.begin(), whole.begin() + 300), part1);
  EXPECT_EQ(std::vector<double>(whole.begin() + 300, whole.end()), part2);

  // The recurrence itself: x[j] = (x[j-100] + x[j-37]) mod 1.
  for (int j = 100; j < 600; ++j) {
    double t = whole[j - 100] + whole[j - 37];
    EXPECT_EQ(whole[j], t - std::trunc(t)) << "j = " << j;
  }
}

TEST(RanUniArray, HundredValuesReturnTheStateAndAdvanceByHundred) {
  RanStart(314159);
  std::vector<double> whole(300);
  RanUniArray(whole.data(), 300);

  RanStart(314159);
  std::vector<double> first(100), rest(200);
  RanUniArray(first.data(), 100);
  RanUniArray(rest.data(), 200);
  EXPECT_EQ(std::vector<double>(whole.begin(), whole.begin() + 100), first);
  EXPECT_EQ(std::vector<double>(whole.begin() + 100, whole.end()), rest);
}

TEST(RanUni, EachBatchServesTheFirstHundredOfThousandAndNine) {
  RanStart(314159);
  std::vector<double> batches(2 * 1009);
  RanUniArray(batches.data(), 1009);
  RanUniArray(batches.data() + 1009, 1009);

  RanStart(314159);
  std::vector<double> served = draw(200);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(served[i], batches[i]);
    EXPECT_EQ(served[100 + i], batches[1009 + i]);
  }
}

}  // namespace
