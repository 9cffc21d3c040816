// The integer kernels of the generator, for every instruction set this
// processor runs, against the recurrence and the comparison written plainly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "contmon/random.h"
#include "core/generator.h"

namespace contmon {
namespace {

constexpr KernelIsa kAllIsas[] = {KernelIsa::kBaseline, KernelIsa::kAvx2, KernelIsa::kAvx512};

class GeneratorKernels : public testing::TestWithParam<KernelIsa> {
 protected:
  void SetUp() override {
    if (!kernel_isa_supported(GetParam())) GTEST_SKIP() << "instruction set not available on this processor";
  }
};

std::vector<std::uint64_t> random_values(std::size_t n, std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  std::vector<std::uint64_t> v(n);
  for (auto &x : v) x = engine() & kValueMask;
  return v;
}

TEST_P(GeneratorKernels, ExtendSequenceFollowsTheRecurrenceOverAnyRange) {
  // Ranges that start and end on and off the kernels' blocks, shorter and longer than a block.
  const std::pair<std::size_t, std::size_t> ranges[] = {{100, 101},  {100, 107},  {100, 140}, {101, 133},
                                                        {103, 1109}, {104, 4136}, {137, 150}};
  for (auto [from, to] : ranges) {
    // Offsetting the array moves the blocks off cache lines, too.
    for (std::size_t shift : {0, 1, 3}) {
      std::vector<std::uint64_t> storage = random_values(to + shift, from * 31 + shift);
      std::vector<std::uint64_t> expected(storage.begin() + shift, storage.end());
      for (std::size_t j = from; j < to; ++j)
        expected[j] = (expected[j - 100] + expected[j - 37]) & kValueMask;
      extend_sequence(storage.data() + shift, from, to, GetParam());
      for (std::size_t j = 0; j < to; ++j)
        ASSERT_EQ(storage[j + shift] & kValueMask, expected[j])
            << "range " << from << ".." << to << ", j " << j;
    }
  }
}

TEST_P(GeneratorKernels, EventBitsCompareEachServedValueWithTheThreshold) {
  std::vector<std::uint64_t> x = random_values(104, 7);
  x[0] = 0;
  x[5] = kValueMask;
  x[63] = x[64] = x[99] = 12345;   // equal to a threshold below: an event
  x[1] |= std::uint64_t{1} << 60;  // bits above 52 are not part of the value
  for (std::uint64_t threshold :
       {std::uint64_t{0}, std::uint64_t{12345}, std::uint64_t{1} << 51, kValueMask - 1}) {
    std::uint64_t bits[2];
    batch_event_bits(bits, x.data(), threshold, GetParam());
    for (int i = 0; i < 100; ++i)
      EXPECT_EQ((bits[i / 64] >> (i % 64)) & 1, (x[i] & kValueMask) <= threshold ? 1u : 0u)
          << "value " << i << ", threshold " << threshold;
    EXPECT_EQ(bits[1] >> 36, 0u) << "bits past the hundredth value";
  }
}

TEST(EventThreshold, IsTheLargestEventValue) {
  const double grid = std::ldexp(1.0, -52);
  for (double THETA : {0.5, 0.3, 1e-9, grid, 0.52468480020149433, 1.0 - grid, 0.1}) {
    const std::uint64_t t = event_threshold(THETA);
    EXPECT_LE(static_cast<double>(t) * grid, THETA) << THETA;
    EXPECT_GT(static_cast<double>(t + 1) * grid, THETA) << THETA;
  }
  EXPECT_EQ(event_threshold(std::ldexp(1.0, -53)), 0u);  // below the grid: only 0 is an event
}

TEST(AppendBits, PacksRunsOfAnyLengthAtAnyOffset) {
  std::vector<std::uint64_t> words(8, ~std::uint64_t{0});  // not yet written: any content
  std::vector<bool> expected;
  std::size_t size = 0;
  std::mt19937_64 engine(3);
  for (int n : {1, 64, 36, 63, 2, 64, 64, 5}) {
    const std::uint64_t v = n == 64 ? engine() : engine() & ((std::uint64_t{1} << n) - 1);
    append_bits(words.data(), size, v, n);
    for (int i = 0; i < n; ++i) expected.push_back((v >> i) & 1);
  }
  ASSERT_EQ(size, expected.size());
  for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(((words[i / 64] >> (i % 64)) & 1) != 0, expected[i]) << i;
}

std::string isa_name(const testing::TestParamInfo<KernelIsa> &info) {
  static const char *const names[] = {"Baseline", "Avx2", "Avx512"};
  return names[static_cast<int>(info.param)];
}

TEST_P(GeneratorKernels, JumpMatrixMovesTheStateAsFarAsTheRecurrence) {
  const std::vector<std::uint64_t> start = random_values(100, 5);
  for (std::size_t positions : {1, 36, 37, 100, 1009, 5000}) {
    std::vector<std::uint64_t> w = start;
    w.resize(100 + positions);
    extend_sequence(w.data(), 100, w.size(), KernelIsa::kBaseline);
    std::vector<std::uint64_t> jumped = start;
    JumpMatrix(positions).apply(jumped.data(), GetParam());
    for (int i = 0; i < 100; ++i)
      ASSERT_EQ(jumped[i], w[positions + i] & kValueMask) << positions << ", " << i;
  }
}

TEST_P(GeneratorKernels, ChunkGeneratorGivesTheStreamsEventBitsChunkByChunk) {
  constexpr int kBatchesPerChunk = 3;
  constexpr int kChunkBits = kBatchesPerChunk * kServedPerBatch;
  const double THETA = 0.37;
  RandomStream stream(2024);
  std::uint64_t pending[kServedPerBatch], state[kLongLag];
  ASSERT_EQ(StreamAccess::peek(stream, pending, state), 0);  // a seeded stream has no batch started
  std::vector<double> deviates(4 * kChunkBits);
  for (double &u : deviates) u = stream.RanUni();

  ChunkGenerator generator(state, event_threshold(THETA), kBatchesPerChunk, GetParam());
  std::uint64_t bits[kChunkBits / 64 + 2], start[kLongLag];
  for (int chunk = 0; chunk < 3; ++chunk) {
    generator.generate(bits, start);
    for (int i = 0; i < kChunkBits; ++i)
      ASSERT_EQ((bits[i / 64] >> (i % 64)) & 1, deviates[chunk * kChunkBits + i] <= THETA ? 1u : 0u)
          << "chunk " << chunk << ", bit " << i;
    // A chunk starts from the values its first batch serves.
    ASSERT_EQ(static_cast<double>(start[0] & kValueMask) * std::ldexp(1.0, -52), deviates[chunk * kChunkBits])
        << chunk;
  }
  // Restarting from the first state and moving on by seven batches lands in the third chunk's second batch.
  generator.restart(state, 7);
  for (int i = 0; i < kLongLag; ++i)
    ASSERT_EQ(static_cast<double>(generator.state()[i] & kValueMask) * std::ldexp(1.0, -52),
              deviates[7 * kServedPerBatch + i])
        << i;
}

INSTANTIATE_TEST_SUITE_P(Isa, GeneratorKernels, testing::ValuesIn(kAllIsas), isa_name);

}  // namespace
}  // namespace contmon
