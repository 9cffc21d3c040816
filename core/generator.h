// The generator's sequence on integer values (a deviate u is held as the
// integer u * 2^52; the kernels work modulo 2^64 and a value is its low 52
// bits), the kernels that extend it and turn it into event bits, access to a
// stream's position for the event-bit reader, and the reader itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "contmon/random.h"

namespace contmon {

inline constexpr int kLongLag = 100;
inline constexpr int kShortLag = 37;
inline constexpr int kBatchLength = 1009;
inline constexpr int kServedPerBatch = 100;  // values of each batch that RanUni serves
inline constexpr std::uint64_t kValueMask = (std::uint64_t{1} << 52) - 1;

/// Instruction sets for which the kernels are built, from the baseline up.
enum class KernelIsa { kBaseline, kAvx2, kAvx512 };

/// Whether the processor running the program can execute the kernels built for isa.
bool kernel_isa_supported(KernelIsa isa);

/// The best instruction set the processor supports.
KernelIsa best_kernel_isa();

/// Extends the sequence in place: w[j] = w[j-100] + w[j-37] modulo 2^64 for j = from..to-1 (from >= 100).
void extend_sequence(std::uint64_t w[], std::size_t from, std::size_t to, KernelIsa isa);

/// Bit i of the result (i = 0..99) is 1 when x[i] mod 2^52 <= threshold; reads x[0..103], sets out[0] to
/// bits 0..63 and out[1] to bits 64..99.
void batch_event_bits(std::uint64_t out[2], const std::uint64_t x[], std::uint64_t threshold, KernelIsa isa);

/// The largest integer value whose deviate counts as an event for THETA in (0, 1): floor(THETA * 2^52).
std::uint64_t event_threshold(double THETA);

/// Bulk access to a stream's position, for the event-bit reader.
struct StreamAccess {
  /// Seeds the stream if nothing has; copies the deviates RanUni has still to serve from its current batch
  /// into pending[] and the state the next batch starts from into state[0..99], and returns the number of
  /// pending deviates (0..99).
  static int peek(RandomStream &stream, std::uint64_t pending[kServedPerBatch], std::uint64_t state[kLongLag]);

  /// Marks n of the pending deviates of the current batch as served.
  static void skip_pending(RandomStream &stream, int n);

  /// Makes the batch that starts from state[0..99] (taken modulo 2^52) the current one, refilled exactly as
  /// RanUni refills, with its first `served` (1..100) deviates served, and counts `batches` batches as started
  /// since the position peek saw.
  static void resume(RandomStream &stream, const std::uint64_t state[kLongLag], int served, long long batches);
};

/// Appends the low n (1..64) bits of `bits`, which has no others, at bit `size` of words[] and advances size;
/// the bits of words[] from `size` on must be clear or lie in words not yet written.
void append_bits(std::uint64_t words[], std::size_t &size, std::uint64_t bits, int n);

/// The linear map (modulo 2^64) that moves the state of the sequence a given number of positions ahead.
class JumpMatrix {
 public:
  /// The map for `positions` positions.
  explicit JumpMatrix(std::size_t positions);

  /// Moves state[0..99] ahead; the result is reduced modulo 2^52.
  void apply(std::uint64_t state[kLongLag], KernelIsa isa) const;

 private:
  std::unique_ptr<std::uint64_t[]> rows_;
};

/// Generates the stream's event bits a chunk of whole batches at a time, from a given state.
class ChunkGenerator {
 public:
  /// Starts from state[0..99], the values the first batch serves.
  ChunkGenerator(const std::uint64_t state[kLongLag], std::uint64_t threshold, int batches_per_chunk,
                 KernelIsa isa);

  /// Writes the event bits of the next chunk's served values, packed from bit 0 of bits[], and the state
  /// the chunk starts from.
  void generate(std::uint64_t bits[], std::uint64_t start_state[kLongLag]);

  /// Starts again from state[], then moves on by `batches` batches.
  void restart(const std::uint64_t state[kLongLag], int batches);

  /// The state the next batch starts from (values modulo 2^64).
  const std::uint64_t *state() const { return sequence_; }

 private:
  static constexpr int kBatchesPerPass = 4;  // keeps the sequence in the first-level cache

  void advance(int batches, std::uint64_t bits[]);

  std::unique_ptr<std::uint64_t[]> storage_;
  std::uint64_t *sequence_;
  std::uint64_t threshold_;
  int batches_per_chunk_;
  KernelIsa isa_;
};

/// The most generator threads a reader uses.
inline constexpr int kMaxGeneratorThreads = 2;

/// Generator threads worth starting beside the caller's: one less than the processors this process may run
/// on, at most kMaxGeneratorThreads.
int generator_threads_available();

/// Reads a stream ahead as event bits, 1 where the deviate is <= THETA, for simulations that need only that
/// comparison. The bits come from the same deviates RanUni would serve, in the same order; finish() moves the
/// stream past those that were used, exactly as that many RanUni calls would. Generator threads (up to
/// kMaxGeneratorThreads) work ahead of the reader and share the generating with it; the bits are the same
/// however many there are, none included.
class EventBitReader {
 public:
  /// Starts at the stream's current position (seeding it if nothing has); lookahead (>= 1) is the most bits
  /// the reader will need beyond a position it refills from.
  EventBitReader(RandomStream &stream, double THETA, int lookahead, int generator_threads);
  ~EventBitReader();
  EventBitReader(const EventBitReader &) = delete;
  EventBitReader &operator=(const EventBitReader &) = delete;

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
  RandomStream &stream_;
  std::unique_ptr<Work> work_;
  const std::uint64_t *words_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace contmon
