// Routines private to the ranuni module: the generator's sequence on integer
// values (a deviate u is held as the integer u * 2^52; the kernels work modulo
// 2^64 and a value is its low 52 bits), the kernels that extend it and turn it
// into event bits, and access to the stream's position for the event-bit
// reader. Exposed for the module's own sources and tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bndry/bndry.h"  // CheckedBuffer

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

/// Seeds the stream if nothing has; copies the deviates RanUni has still to serve from its current batch
/// into pending[] and the state the next batch starts from into state[0..99], and returns the number of
/// pending deviates (0..99).
int ran_stream_peek(std::uint64_t pending[kServedPerBatch], std::uint64_t state[kLongLag]);

/// Marks n of the pending deviates of the current batch as served.
void ran_stream_skip_pending(int n);

/// Makes the batch that starts from state[0..99] (taken modulo 2^52) the current one, refilled exactly as
/// RanUni refills, with its first `served` (1..100) deviates served, and counts `refills` batches as started
/// since the position ran_stream_peek saw.
void ran_stream_resume(const std::uint64_t state[kLongLag], int served, long long refills);

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
  CheckedBuffer<std::uint64_t> rows_;
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

  CheckedBuffer<std::uint64_t> storage_;
  std::uint64_t *sequence_;
  std::uint64_t threshold_;
  int batches_per_chunk_;
  KernelIsa isa_;
};
