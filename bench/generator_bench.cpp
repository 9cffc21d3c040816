// Cost of the uniform generator: per deviate served, per batch generated, and
// for the integer kernels behind the event-bit reader, per instruction set.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <vector>

#include "ranuni/ranuni.h"
#include "ranuni/ranuni_internal.h"

namespace {

void BM_RanUni(benchmark::State &state) {
  double sum = 0.0;
  for (auto _ : state) sum += RanUni();
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RanUni);

void BM_RanUniArrayBatch(benchmark::State &state) {
  std::vector<double> batch(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    RanUniArray(batch.data(), static_cast<int>(batch.size()));
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
  for (int j = 0; j < kLongLag; ++j) w[j] = (0x9e3779b97f4a7c15ULL * (j + 1)) & kValueMask;
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

// Building the map that moves the state one chunk of 256 batches ahead, as each reader with two generator
// threads does, and applying it.
void BM_JumpMatrix(benchmark::State &state) {
  for (auto _ : state) {
    JumpMatrix matrix(256 * kBatchLength);
    benchmark::DoNotOptimize(&matrix);
  }
}
BENCHMARK(BM_JumpMatrix)->Unit(benchmark::kMicrosecond);

void BM_JumpMatrixApply(benchmark::State &state) {
  const JumpMatrix matrix(256 * kBatchLength);
  std::uint64_t s[kLongLag] = {1, 2, 3};
  for (auto _ : state) {
    matrix.apply(s, best_kernel_isa());
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_JumpMatrixApply)->Unit(benchmark::kMicrosecond);

}  // namespace
