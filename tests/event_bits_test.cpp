// Reading a stream ahead as event bits: the bits are the comparisons of the
// deviates RanUni would serve, and finishing leaves the stream exactly where
// that many RanUni calls would, with no generator thread, one or two.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "contmon/random.h"
#include "core/generator.h"

namespace contmon {
namespace {

struct ReadCase {
  const char *name;
  int drawn_before;  // deviates drawn before reading: positions in and at the ends of a batch
  double THETA;
  int lookahead;
  int bits_used;
};

const ReadCase kReadCases[] = {
    {"FreshBatchNothingUsed", 0, 0.3, 10, 0},
    {"FreshBatchOneBit", 0, 0.3, 10, 1},
    {"MidBatchWithinPending", 37, 0.3, 10, 50},
    {"MidBatchExactlyThePending", 37, 0.3, 10, 63},
    {"MidBatchOnePastThePending", 37, 0.3, 10, 64},
    {"LastValueOfBatchPending", 99, 0.5, 1, 2},
    {"BatchJustExhausted", 100, 0.5, 1, 100},
    {"EndsAtABatchBoundary", 150, 0.05, 255, 50 + 300},
    {"EndsInThePreviousChunk", 0, 0.2, 255, 25500},
    {"EndsInTheLatestChunk", 0, 0.2, 255, 25700},
    {"ManyChunks", 1, 0.9, 255, 90001},
    {"LookaheadLongerThanAChunk", 5, 0.7, 30000, 40000},
    {"ThetaBelowEveryDeviate", 3, 1e-300, 64, 3000},
    {"ThetaAboveEveryDeviate", 3, 1.0 - 1e-16, 64, 3000},
};

class EventBitsRead : public testing::TestWithParam<std::tuple<ReadCase, int>> {};

TEST_P(EventBitsRead, BitsAndTheStreamAfterwardsMatchRanUni) {
  const auto &[c, generator_threads] = GetParam();
  RandomStream expected(4242);
  for (int i = 0; i < c.drawn_before; ++i) expected.RanUni();
  std::vector<double> expected_deviates(static_cast<std::size_t>(c.bits_used) + 1000);
  for (double &u : expected_deviates) u = expected.RanUni();
  const long long expected_drawn = c.drawn_before + c.bits_used;

  RandomStream stream(4242);
  for (int i = 0; i < c.drawn_before; ++i) stream.RanUni();
  {
    EventBitReader reader(stream, c.THETA, c.lookahead, generator_threads);
    std::size_t p = 0;
    for (int i = 0; i < c.bits_used; ++i) {
      if (reader.size() - p < static_cast<std::size_t>(c.lookahead)) p = reader.refill(p);
      const bool event = (reader.words()[p / 64] >> (p % 64)) & 1;
      ASSERT_EQ(event, expected_deviates[static_cast<std::size_t>(i)] <= c.THETA) << "bit " << i;
      ++p;
    }
    ASSERT_GE(reader.size() - p + 1, static_cast<std::size_t>(c.lookahead)) << "lookahead kept";
    reader.finish(p);
  }
  EXPECT_EQ(stream.drawn(), expected_drawn);
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(stream.RanUni(), expected_deviates[static_cast<std::size_t>(c.bits_used + i)])
        << "deviate " << i << " after";
}

std::string read_case_name(const testing::TestParamInfo<std::tuple<ReadCase, int>> &info) {
  return std::string(std::get<0>(info.param).name) + "_GeneratorThreads" +
         std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Cases, EventBitsRead,
                         testing::Combine(testing::ValuesIn(kReadCases), testing::Values(0, 1, 2)),
                         read_case_name);

TEST(EventBits, AnUnseededStreamIsSeededAsByRanUni) {
  RandomStream stream;
  EventBitReader reader(stream, 0.6, 8, 0);
  // 0.52468480020149433 and 0.72654855247181316 are the first deviates of the default stream.
  EXPECT_EQ(reader.words()[0] & 3, 1u);
  reader.finish(2);
  EXPECT_EQ(stream.drawn(), 2);
  EXPECT_EQ(stream.RanUni(), 0.96090497521370022);
}

TEST(EventBits, ReadersOfTwoStreamsAtOnceKeepToTheirOwn) {
  // Two readers with generator threads, read in turn: each gives its own stream's bits and leaves its stream
  // where its own reading ended, one bit short of the end for the second.
  RandomStream first(11), second(12), first_copy(11), second_copy(12);
  constexpr int kBits = 300000;
  double last_second = 0.0;  // the deviate of the second stream's last bit, which its reader leaves unused
  {
    EventBitReader a(first, 0.4, 100, 1), b(second, 0.4, 100, 1);
    std::size_t pa = 0, pb = 0;
    for (int i = 0; i < kBits; ++i, ++pa, ++pb) {
      if (a.size() - pa < 100) pa = a.refill(pa);
      if (b.size() - pb < 100) pb = b.refill(pb);
      last_second = second_copy.RanUni();
      ASSERT_EQ((a.words()[pa / 64] >> (pa % 64)) & 1, first_copy.RanUni() <= 0.4 ? 1u : 0u) << i;
      ASSERT_EQ((b.words()[pb / 64] >> (pb % 64)) & 1, last_second <= 0.4 ? 1u : 0u) << i;
    }
    a.finish(pa);
    b.finish(pb - 1);
  }
  EXPECT_EQ(first.drawn(), kBits);
  EXPECT_EQ(second.drawn(), kBits - 1);
  EXPECT_EQ(first.RanUni(), first_copy.RanUni());
  EXPECT_EQ(second.RanUni(), last_second);
}

}  // namespace
}  // namespace contmon
