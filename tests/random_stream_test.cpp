// The lagged-Fibonacci stream against its known values and seeding rules, and
// streams as independent values.
#include "contmon/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using contmon::RandomStream;

std::vector<double> draw(RandomStream &stream, int n) {
  std::vector<double> v(static_cast<std::size_t>(n));
  for (double &x : v) x = stream.RanUni();
  return v;
}

std::vector<double> array(RandomStream &stream, int n) {
  std::vector<double> v(static_cast<std::size_t>(n));
  stream.RanUniArray(v.data(), n);
  return v;
}

void expect_known_values(const std::vector<double> &v) {
  EXPECT_EQ(v[0], 0.52468480020149433);
  EXPECT_EQ(v[1], 0.72654855247181316);
  EXPECT_EQ(v[2], 0.96090497521370022);
  EXPECT_EQ(v[99], 0.94941796665445688);
  EXPECT_EQ(v[100], 0.13328636757375145);  // first value of the second batch
}

TEST(RandomStream, UnseededStreamGivesTheKnownValues) {
  RandomStream stream;
  expect_known_values(draw(stream, 101));
}

TEST(RandomStream, ExplicitDefaultSeedGivesTheSameStream) {
  RandomStream stream;
  stream.RanStart(contmon::kDefaultSeed);
  expect_known_values(draw(stream, 101));
  RandomStream constructed(314159);
  expect_known_values(draw(constructed, 101));
}

TEST(RandomStream, SeedsAreReducedToTheirLow30Bits) {
  RandomStream high(314159 + (1 << 30)), plain(314159);
  EXPECT_EQ(draw(high, 300), draw(plain, 300));
  RandomStream negative(-1), all_ones(0x3fffffff);  // -1 has its low 30 bits all set
  EXPECT_EQ(draw(negative, 300), draw(all_ones, 300));
}

TEST(RandomStream, DifferentSeedsGiveDifferentStreams) {
  RandomStream one(1), two(2);
  EXPECT_NE(draw(one, 100), draw(two, 100));
}

TEST(RandomStream, ReseedingRestartsTheStreamAndAbandonsTheBatch) {
  RandomStream stream(271828);
  const std::vector<double> first = draw(stream, 150);
  stream.RanStart(271828);
  EXPECT_EQ(first, draw(stream, 150));
}

TEST(RandomStream, CopiesDrawTheSameDeviatesAndStreamsDoNotShareState) {
  RandomStream stream(77);
  draw(stream, 137);  // mid-batch
  RandomStream copy = stream;
  RandomStream other(77);
  const std::vector<double> from_copy = draw(copy, 500);
  draw(other, 1000);  // drawing from another stream leaves this one alone
  EXPECT_EQ(draw(stream, 500), from_copy);
}

TEST(RandomStream, DeviatesLieOnTheGridInTheUnitInterval) {
  RandomStream stream;
  const double grid = std::ldexp(1.0, 52);
  for (int i = 0; i < 200000; ++i) {
    const double u = stream.RanUni();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    const double scaled = u * grid;
    ASSERT_EQ(scaled, std::trunc(scaled)) << "deviate " << i << " = " << u;
  }
}

TEST(RanUniArray, ShortRequestsWriteMinusInfinityAndLeaveTheStreamAlone) {
  {
    RandomStream fresh;
    std::vector<double> a(99, 0.5);
    fresh.RanUniArray(a.data(), 99);
    for (double x : a) EXPECT_EQ(x, -HUGE_VAL);
    // Not seeded by the short request: the first deviate is still the unseeded stream's.
    EXPECT_EQ(fresh.RanUni(), 0.52468480020149433);
  }

  // In a running stream a short request does not advance it either.
  RandomStream stream(314159);
  std::vector<double> skipped(50);
  stream.RanUniArray(skipped.data(), 50);
  expect_known_values(draw(stream, 101));

  std::vector<double> untouched(3, 0.25);
  stream.RanUniArray(untouched.data(), 0);
  stream.RanUniArray(untouched.data(), -5);
  EXPECT_EQ(untouched, std::vector<double>(3, 0.25));
}

TEST(RanUniArray, SeedsTheStreamOnFirstUse) {
  RandomStream fresh;
  const std::vector<double> a = array(fresh, 1009);
  EXPECT_EQ(a[0], 0.52468480020149433);
  EXPECT_EQ(a[99], 0.94941796665445688);
}

TEST(RanUniArray, ConsecutiveCallsContinueTheSequence) {
  RandomStream whole_stream(314159), parts_stream(314159);
  const std::vector<double> whole = array(whole_stream, 600);
  const std::vector<double> part1 = array(parts_stream, 300), part2 = array(parts_stream, 300);
  EXPECT_EQ(std::vector<double>(whole.begin(), whole.begin() + 300), part1);
  EXPECT_EQ(std::vector<double>(whole.begin() + 300, whole.end()), part2);

  // The recurrence itself: x[j] = (x[j-100] + x[j-37]) mod 1.
  for (std::size_t j = 100; j < 600; ++j) {
    const double t = whole[j - 100] + whole[j - 37];
    EXPECT_EQ(whole[j], t - std::trunc(t)) << "j = " << j;
  }
}

TEST(RanUniArray, HundredValuesReturnTheStateAndAdvanceByHundred) {
  RandomStream whole_stream(314159), parts_stream(314159);
  const std::vector<double> whole = array(whole_stream, 300);
  const std::vector<double> first = array(parts_stream, 100), rest = array(parts_stream, 200);
  EXPECT_EQ(std::vector<double>(whole.begin(), whole.begin() + 100), first);
  EXPECT_EQ(std::vector<double>(whole.begin() + 100, whole.end()), rest);
}

TEST(RandomStream, EachBatchServesTheFirstHundredOfThousandAndNine) {
  RandomStream batch_stream(314159), served_stream(314159);
  const std::vector<double> first_batch = array(batch_stream, 1009), second_batch = array(batch_stream, 1009);
  const std::vector<double> served = draw(served_stream, 200);
  for (std::size_t i = 0; i < 100; ++i) {
    EXPECT_EQ(served[i], first_batch[i]);
    EXPECT_EQ(served[100 + i], second_batch[i]);
  }
}

TEST(RandomStream, DrawnCountsServedDeviatesSinceSeeding) {
  RandomStream stream;
  EXPECT_EQ(stream.drawn(), 0);
  stream.RanUni();  // seeds itself: the first deviate counts
  EXPECT_EQ(stream.drawn(), 1);
  stream.RanStart(99);
  EXPECT_EQ(stream.drawn(), 0);
  for (int n : {1, 98, 1, 1, 250}) {
    const long long before = stream.drawn();
    draw(stream, n);
    EXPECT_EQ(stream.drawn(), before + n);
  }
  stream.RanStart(99);
  EXPECT_EQ(stream.drawn(), 0);
}

}  // namespace
