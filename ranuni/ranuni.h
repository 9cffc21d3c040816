// Public interface of the ranuni module: a lagged-Fibonacci generator of
// uniform deviates on the grid of multiples of 2^-52 (long lag 100, short
// lag 37, batches of 1009 values of which the first 100 are served).
// The stream seeds itself with 314159 on first use, so every run draws the
// same deviates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "bndry/bndry.h"  // CheckedBuffer

/// The seed the stream starts from when nothing seeded it.
inline constexpr int kRanDefaultSeed = 314159;

/// Reinitialises the stream from the low 30 bits of seed.
void RanStart(int seed);

/// Writes the next n values of the sequence into aa[0..n-1]; for n < 100 writes -infinity instead and leaves
/// the stream alone.
void RanUniArray(double aa[], int n);

/// Returns the next uniform deviate in [0, 1).
double RanUni();

/// Number of deviates the stream has served since it was last seeded.
long long RanUniDrawn();

/// The most generator threads a reader uses.
inline constexpr int kMaxGeneratorThreads = 2;

/// Generator threads worth starting beside the caller's: one less than the processors this process may run
/// on, at most kMaxGeneratorThreads.
int RanGeneratorThreads();

/// Reads the stream ahead as event bits, 1 where the deviate is <= THETA, for simulations that need only
/// that comparison. The bits come from the same deviates RanUni would serve, in the same order; finish()
/// moves the stream past those that were used, exactly as that many RanUni calls would. Generator threads
/// (up to kMaxGeneratorThreads) work ahead of the reader and share the generating with it; the bits are the
/// same however many there are, none included.
class RanEventBits {
 public:
  /// Starts at the stream's current position (seeding it if nothing has); lookahead (>= 1) is the most bits
  /// the reader will need beyond a position it refills from.
  RanEventBits(double THETA, int lookahead, int generator_threads);
  RanEventBits(const RanEventBits &) = delete;
  RanEventBits &operator=(const RanEventBits &) = delete;

  /// The buffer: bit i is (words()[i / 64] >> (i % 64)) & 1; words()[size() / 64 + 1] may be read too.
  const std::uint64_t *words() const { return words_; }

  /// Number of bits in the buffer.
  std::size_t size() const { return size_; }

  /// Drops the whole words before bit `from` and generates until lookahead bits follow it; returns the
  /// index bit `from` has afterwards.
  std::size_t refill(std::size_t from);

  /// Leaves the stream as if RanUni had served the deviates of every bit before buffer bit `end` and no
  /// more, and stops the generator threads. Call it once, last.
  void finish(std::size_t end);

 private:
  struct Work;
  struct WorkDeleter {
    void operator()(Work *work) const noexcept;
  };
  std::unique_ptr<Work, WorkDeleter> work_;
  const std::uint64_t *words_ = nullptr;
  std::size_t size_ = 0;
};
