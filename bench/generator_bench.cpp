// Cost of the uniform generator: per deviate served, per batch generated, for
// the integer kernels behind the event-bit reader per instruction set, and for
// the reader itself.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "contmon/random.h"
#include "core/generator.h"

namespace contmon {
namespace {

void BM_RanUni(benchmark::State &state) {
  RandomStream stream;
  double sum = 0.0;
  for (auto _ : state) sum += stream.RanUni();
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RanUni);

void BM_RanUniArrayBatch(benchmark::State &state) {
  RandomStream stream;
  std::vector<double> batch(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    stream.RanUniArray(batch.data(), static_cast<int>(batch.size()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RanUniArrayBatch)->Arg(1009)->Arg(100000);

// Deviates served per second by the bare kernels: extend the sequence by whole batches and turn each batch's
// served values into event bits, with no simulation behind it.
void BM_GeneratorKernel(benchmark::State &state) {
  const auto isa = static_cast<KernelIsa>(state.range(0));
  if (!kernel_isa_supported(isa)) {
    state.SkipWithError("instruction set not supported here");
    return;
  }
  constexpr int kBatches = 4;
  std::vector<std::uint64_t> storage(kLongLag + kBatches * kBatchLength + 8);
  // Blocks of values sit on cache lines, as in the reader.
  auto misalignment = reinterpret_cast<std::uintptr_t>(storage.data()) % 64 / 8;
  std::span<std::uint64_t> w(storage.data() + (8 - misalignment) % 8, kLongLag + kBatches * kBatchLength);
  for (std::size_t j = 0; j < kLongLag; ++j) w[j] = (0x9e3779b97f4a7c15ULL * (j + 1)) & kValueMask;
  std::uint64_t events = 0;
  for (auto _ : state) {
    extend_sequence(w.data(), kLongLag, w.size(), isa);
    for (int t = 0; t < kBatches; ++t) {
      std::uint64_t bits[2];
      batch_event_bits(bits, w.data() + t * kBatchLength, std::uint64_t{1} << 50, isa);
      events += bits[0] ^ bits[1];
    }
    std::copy(w.end() - kLongLag, w.end(), w.begin());
  }
  benchmark::DoNotOptimize(events);
  state.SetItemsProcessed(state.iterations() * kBatches * kServedPerBatch);
}
BENCHMARK(BM_GeneratorKernel)->ArgName("isa")->DenseRange(0, 2);

// Building the map that moves the state one chunk of 1024 batches ahead, as each reader with generator
// threads does, and applying it.
void BM_JumpMatrix(benchmark::State &state) {
  for (auto _ : state) {
    JumpMatrix matrix(1024 * kBatchLength);
    benchmark::DoNotOptimize(&matrix);
  }
}
BENCHMARK(BM_JumpMatrix)->Unit(benchmark::kMicrosecond);

void BM_JumpMatrixApply(benchmark::State &state) {
  const JumpMatrix matrix(1024 * kBatchLength);
  std::uint64_t s[kLongLag] = {1, 2, 3};
  for (auto _ : state) {
    matrix.apply(s, best_kernel_isa());
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_JumpMatrixApply)->Unit(benchmark::kMicrosecond);

// Event bits read from a stream, 10,000,000 at a time, with 0, 1 or 2 generator threads: the reader's cost
// per deviate, starting and stopping its threads included.
void BM_EventBitReader(benchmark::State &state) {
  constexpr std::size_t kBits = 10000000;
  constexpr int kLookahead = 255;
  const int threads = static_cast<int>(state.range(0));
  RandomStream stream;
  std::uint64_t events = 0;
  for (auto _ : state) {
    EventBitReader reader(stream, 0.3, kLookahead, threads);
    std::size_t p = 0;
    for (std::size_t read = 0; read < kBits; read += 64, p += 64) {
      if (reader.size() - p < kLookahead) p = reader.refill(p);
      events += reader.words()[p / 64];
    }
    reader.finish(p);
  }
  benchmark::DoNotOptimize(events);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kBits));
}
BENCHMARK(BM_EventBitReader)
    ->ArgName("threads")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace contmon
