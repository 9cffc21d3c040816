// Reading the stream ahead as event bits. The values RanUni serves from batch
// b are the first 100 of the 1009 generated from state b, i.e. state b itself,
// so the served stream is the sequence of states, each 1009 positions after the
// last. Chunks of whole batches are generated on integer values, and only the
// comparison of the served values with THETA is kept, packed 64 to a word.
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#include "ranuni/ranuni.h"
#include "ranuni/ranuni_internal.h"

namespace {

constexpr int kMinBatchesPerChunk = 256;
constexpr int kChunkSlots = 4;  // chunks the second thread may generate ahead

std::uint64_t low_bits(std::uint64_t v, int n) { return n >= 64 ? v : v & ((std::uint64_t{1} << n) - 1); }

std::size_t words_for(std::size_t bits) { return (bits + 63) / 64; }

}  // namespace

void append_bits(std::uint64_t words[], std::size_t &size, std::uint64_t bits, int n) {
  const std::size_t i = size / 64;
  const int offset = static_cast<int>(size % 64);
  if (offset == 0) {
    words[i] = bits;
  } else {
    words[i] |= bits << offset;
    if (offset + n > 64) words[i + 1] = bits >> (64 - offset);
  }
  size += static_cast<std::size_t>(n);
}

ChunkGenerator::ChunkGenerator(const std::uint64_t state[kLongLag], std::uint64_t threshold,
                               int batches_per_chunk, KernelIsa isa)
    : storage_(checked_buffer<std::uint64_t>(kLongLag + kBatchesPerPass * kBatchLength + 8)),
      threshold_(threshold),
      batches_per_chunk_(batches_per_chunk),
      isa_(isa) {
  // Index 0 on a 64-byte boundary puts the kernels' blocks of values on cache lines.
  const auto misalignment = reinterpret_cast<std::uintptr_t>(storage_.get()) % 64 / sizeof(std::uint64_t);
  sequence_ = storage_.get() + (8 - misalignment) % 8;
  std::memcpy(sequence_, state, kLongLag * sizeof *state);
}

void ChunkGenerator::advance(int batches, std::uint64_t bits[]) {
  std::size_t size = 0;
  while (batches > 0) {
    const int pass = std::min(batches, kBatchesPerPass);
    const std::size_t length = static_cast<std::size_t>(pass) * kBatchLength;
    extend_sequence(sequence_, kLongLag, kLongLag + length, isa_);
    for (int t = 0; bits != nullptr && t < pass; ++t) {
      std::uint64_t batch_bits[2];
      batch_event_bits(batch_bits, sequence_ + static_cast<std::size_t>(t) * kBatchLength, threshold_, isa_);
      append_bits(bits, size, batch_bits[0], 64);
      append_bits(bits, size, batch_bits[1], kServedPerBatch - 64);
    }
    std::memmove(sequence_, sequence_ + length, kLongLag * sizeof *sequence_);
    batches -= pass;
  }
}

void ChunkGenerator::generate(std::uint64_t bits[], std::uint64_t start_state[kLongLag]) {
  std::memcpy(start_state, sequence_, kLongLag * sizeof *sequence_);
  advance(batches_per_chunk_, bits);
}

void ChunkGenerator::restart(const std::uint64_t state[kLongLag], int batches) {
  std::memcpy(sequence_, state, kLongLag * sizeof *state);
  advance(batches, nullptr);
}

struct RanEventBits::Work {
  Work(std::uint64_t event_threshold, int lookahead_bits, const std::uint64_t state[kLongLag],
       bool second_thread);
  ~Work() { stop_producer(); }

  void append_next_chunk();
  void produce();
  void stop_producer();

  const std::uint64_t threshold;
  const std::size_t lookahead;
  // A chunk at least as long as the lookahead keeps the last bit used within the last two chunks.
  const int batches_per_chunk;
  const std::size_t chunk_bits;
  const std::size_t chunk_words;
  int pending = 0;             // deviates left in RanUni's batch when reading began
  long long dropped_bits = 0;  // bits dropped from the front of the buffer so far
  long long chunks_appended = 0;
  std::size_t size = 0;
  CheckedBuffer<std::uint64_t> words;
  CheckedBuffer<std::uint64_t> start_states;  // of the last two chunks appended, by chunk number modulo 2
  ChunkGenerator generator;

  // Chunk c is generated into slot c % kChunkSlots, by the second thread when there is one.
  CheckedBuffer<std::uint64_t> slot_bits;
  CheckedBuffer<std::uint64_t> slot_states;
  std::atomic<long long> produced{0};
  std::atomic<long long> consumed{0};
  std::atomic<bool> stopping{false};
  std::thread producer;
};

RanEventBits::Work::Work(std::uint64_t event_threshold, int lookahead_bits,
                         const std::uint64_t state[kLongLag], bool second_thread)
    : threshold(event_threshold),
      lookahead(static_cast<std::size_t>(std::max(lookahead_bits, 1))),
      batches_per_chunk(std::max(kMinBatchesPerChunk,
                                 static_cast<int>((lookahead + kServedPerBatch - 1) / kServedPerBatch))),
      chunk_bits(static_cast<std::size_t>(batches_per_chunk) * kServedPerBatch),
      chunk_words(words_for(chunk_bits) + 1),
      words(checked_buffer<std::uint64_t>(words_for(64 + kServedPerBatch + lookahead + chunk_bits) + 2)),
      start_states(checked_buffer<std::uint64_t>(2 * kLongLag)),
      generator(state, threshold, batches_per_chunk, best_kernel_isa()),
      slot_bits(checked_buffer<std::uint64_t>(kChunkSlots * chunk_words)),
      slot_states(checked_buffer<std::uint64_t>(kChunkSlots * kLongLag)) {
  std::fill(words.get(), words.get() + words_for(64 + kServedPerBatch + lookahead + chunk_bits) + 2,
            std::uint64_t{0});
  if (second_thread) {
    try {
      producer = std::thread(&Work::produce, this);
    } catch (const std::system_error &) {
      // No second thread to be had: generate on this one.
    }
  }
}

void RanEventBits::Work::produce() {
  for (long long c = 0;; ++c) {
    long long done = consumed.load(std::memory_order_acquire);
    while (c - done >= kChunkSlots && !stopping.load(std::memory_order_acquire)) {
      consumed.wait(done, std::memory_order_acquire);
      done = consumed.load(std::memory_order_acquire);
    }
    if (stopping.load(std::memory_order_acquire)) return;
    const std::size_t slot = static_cast<std::size_t>(c % kChunkSlots);
    generator.generate(slot_bits.get() + slot * chunk_words, slot_states.get() + slot * kLongLag);
    produced.store(c + 1, std::memory_order_release);
    produced.notify_one();
  }
}

void RanEventBits::Work::stop_producer() {
  if (!producer.joinable()) return;
  stopping.store(true, std::memory_order_release);
  consumed.fetch_add(kChunkSlots + 1, std::memory_order_acq_rel);  // wakes a producer waiting for a slot
  consumed.notify_one();
  producer.join();
}

void RanEventBits::Work::append_next_chunk() {
  const long long c = chunks_appended;
  const std::size_t slot = static_cast<std::size_t>(c % kChunkSlots);
  std::uint64_t *bits = slot_bits.get() + slot * chunk_words;
  std::uint64_t *state = slot_states.get() + slot * kLongLag;
  if (producer.joinable()) {
    long long ready = produced.load(std::memory_order_acquire);
    while (ready <= c) {
      produced.wait(ready, std::memory_order_acquire);
      ready = produced.load(std::memory_order_acquire);
    }
  } else {
    generator.generate(bits, state);
  }
  std::memcpy(start_states.get() + (c % 2) * kLongLag, state, kLongLag * sizeof *state);
  std::size_t left = chunk_bits;
  for (std::size_t i = 0; left > 0; ++i) {
    const int n = static_cast<int>(std::min<std::size_t>(left, 64));
    append_bits(words.get(), size, bits[i], n);
    left -= static_cast<std::size_t>(n);
  }
  chunks_appended = c + 1;
  if (producer.joinable()) {
    consumed.store(c + 1, std::memory_order_release);
    consumed.notify_one();
  }
}

void RanEventBits::WorkDeleter::operator()(Work *work) const noexcept {
  work->~Work();
  std::free(work);
}

RanEventBits::RanEventBits(double THETA, int lookahead, bool second_thread) {
  std::uint64_t pending_values[kServedPerBatch + 4] = {};
  std::uint64_t state[kLongLag];
  const int pending = ran_stream_peek(pending_values, state);
  const std::uint64_t threshold = event_threshold(THETA);
  work_.reset(new (emalloc(sizeof(Work))) Work(threshold, lookahead, state, second_thread));
  Work &work = *work_;
  work.pending = pending;
  std::uint64_t bits[2];
  batch_event_bits(bits, pending_values, threshold, best_kernel_isa());
  append_bits(work.words.get(), work.size, low_bits(bits[0], pending), std::min(pending, 64));
  if (pending > 64) append_bits(work.words.get(), work.size, low_bits(bits[1], pending - 64), pending - 64);
  refill(0);
}

std::size_t RanEventBits::refill(std::size_t from) {
  Work &work = *work_;
  const std::size_t dropped_words = std::min(from, work.size) / 64;
  if (dropped_words > 0) {
    const std::size_t kept_words = words_for(work.size) - dropped_words;
    std::memmove(work.words.get(), work.words.get() + dropped_words,
                 (kept_words + 1) * sizeof(std::uint64_t));
    work.size -= dropped_words * 64;
    work.dropped_bits += static_cast<long long>(dropped_words * 64);
    from -= dropped_words * 64;
  }
  while (work.size < from + work.lookahead) work.append_next_chunk();
  words_ = work.words.get();
  size_ = work.size;
  return from;
}

void RanEventBits::finish(std::size_t end) {
  Work &work = *work_;
  work.stop_producer();
  const long long used = work.dropped_bits + static_cast<long long>(end);
  if (used <= work.pending) {
    ran_stream_skip_pending(static_cast<int>(used));
    return;
  }
  // The last deviate used is value `served` - 1 of batch `batch` after the pending ones, in chunk `chunk`.
  const long long beyond = used - work.pending;
  const long long batch = (beyond - 1) / kServedPerBatch;
  const int served = static_cast<int>((beyond - 1) % kServedPerBatch) + 1;
  const long long chunk = batch / work.batches_per_chunk;
  work.generator.restart(work.start_states.get() + (chunk % 2) * kLongLag,
                         static_cast<int>(batch - chunk * work.batches_per_chunk));
  ran_stream_resume(work.generator.state(), served, batch + 1);
}

bool RanSecondThreadUseful() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return CPU_COUNT(&allowed) > 1;
  return std::thread::hardware_concurrency() > 1;
}
