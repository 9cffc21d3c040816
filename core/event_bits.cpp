// Reading the stream ahead as event bits. The values RanUni serves from batch
// b are the first 100 of the 1009 generated from state b, i.e. state b itself,
// so the served stream is the sequence of states, each 1009 positions after the
// last. Chunks of whole batches are generated on integer values, and only the
// comparison of the served values with THETA is kept, packed 64 to a word.
// Generator threads share the chunks with the reader: each chunk's state is
// the last one's moved ahead by the linear map that advances the sequence by
// one chunk, so whoever is free can generate the next.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "core/generator.h"

#if defined(__linux__)
#include <sched.h>
#endif

namespace contmon {

namespace {

constexpr int kMinBatchesPerChunk = 1024;
constexpr int kChunkSlots = 4;  // chunks generated ahead of the reader, at most

std::uint64_t low_bits(std::uint64_t v, int n) { return n >= 64 ? v : v & ((std::uint64_t{1} << n) - 1); }

std::size_t words_for(std::size_t bits) { return (bits + 63) / 64; }

// p = p * q modulo z^100 - z^63 - 1, the characteristic polynomial of x[j] = x[j-100] + x[j-37], with
// coefficients modulo 2^64.
void multiply_modulo_characteristic(std::uint64_t p[kLongLag], const std::uint64_t q[kLongLag]) {
  std::uint64_t product[2 * kLongLag - 1] = {};
  for (int i = 0; i < kLongLag; ++i)
    for (int j = 0; j < kLongLag; ++j) product[i + j] += p[i] * q[j];
  for (int d = 2 * kLongLag - 2; d >= kLongLag; --d) {  // z^d = z^(d-37) + z^(d-100)
    product[d - kShortLag] += product[d];
    product[d - kLongLag] += product[d];
  }
  std::memcpy(p, product, kLongLag * sizeof *p);
}

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

JumpMatrix::JumpMatrix(std::size_t positions) : rows_(new std::uint64_t[kLongLag * kLongLag]) {
  // x[n] = sum of c[j] x[j] over j = 0..99, where c is z^n reduced modulo the characteristic polynomial.
  std::uint64_t power[kLongLag] = {1};
  std::uint64_t square[kLongLag] = {0, 1};  // z
  for (std::size_t n = positions; n != 0; n >>= 1) {
    if (n & 1) multiply_modulo_characteristic(power, square);
    std::uint64_t copy[kLongLag];
    std::memcpy(copy, square, sizeof copy);
    multiply_modulo_characteristic(square, copy);
  }
  // Row i: z^(n+i), one multiplication by z (z^100 = z^63 + 1) after another.
  for (int i = 0; i < kLongLag; ++i) {
    std::memcpy(rows_.get() + i * kLongLag, power, sizeof power);
    const std::uint64_t top = power[kLongLag - 1];
    std::memmove(power + 1, power, (kLongLag - 1) * sizeof *power);
    power[0] = top;
    power[kLongLag - kShortLag] += top;
  }
}

namespace {

// next = rows * state modulo 2^64; vectorised where the processor multiplies 64-bit lanes.
inline __attribute__((always_inline)) void multiply_rows(std::uint64_t next[kLongLag],
                                                         const std::uint64_t *rows,
                                                         const std::uint64_t state[kLongLag]) {
  for (int i = 0; i < kLongLag; ++i) {
    const std::uint64_t *row = rows + i * kLongLag;
    std::uint64_t sum = 0;
    for (int j = 0; j < kLongLag; ++j) sum += row[j] * state[j];
    next[i] = sum;
  }
}

#if defined(__x86_64__) && !defined(CONTMON_PORTABLE)
__attribute__((target("avx512f,avx512dq"))) void multiply_rows_avx512(std::uint64_t next[kLongLag],
                                                                      const std::uint64_t *rows,
                                                                      const std::uint64_t state[kLongLag]) {
  multiply_rows(next, rows, state);
}
#endif

void multiply_rows_baseline(std::uint64_t next[kLongLag], const std::uint64_t *rows,
                            const std::uint64_t state[kLongLag]) {
  multiply_rows(next, rows, state);
}

}  // namespace

void JumpMatrix::apply(std::uint64_t state[kLongLag], KernelIsa isa) const {
  std::uint64_t next[kLongLag];
#if defined(__x86_64__) && !defined(CONTMON_PORTABLE)
  if (isa == KernelIsa::kAvx512) {
    multiply_rows_avx512(next, rows_.get(), state);
  } else {
    multiply_rows_baseline(next, rows_.get(), state);
  }
#else
  (void)isa;
  multiply_rows_baseline(next, rows_.get(), state);
#endif
  for (int i = 0; i < kLongLag; ++i) state[i] = next[i] & kValueMask;
}

ChunkGenerator::ChunkGenerator(const std::uint64_t state[kLongLag], std::uint64_t threshold,
                               int batches_per_chunk, KernelIsa isa)
    : storage_(new std::uint64_t[kLongLag + kBatchesPerPass * kBatchLength + 8]),
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

struct EventBitReader::Work {
  Work(std::uint64_t event_threshold, int lookahead_bits, const std::uint64_t state[kLongLag], int threads);
  ~Work() { stop_threads(); }

  void append_next_chunk();
  bool claim(long long &chunk, std::uint64_t state[kLongLag], long long &consumed_seen);
  void generate_claimed(ChunkGenerator &with, long long chunk, const std::uint64_t state[kLongLag]);
  void generate_while_running(int thread);
  void stop_threads();
  /// Blocks until value is no longer seen (a slot of ready[], or consumed).
  void wait_for_change(const std::atomic<long long> &value, long long seen);
  /// Wakes the threads in wait_for_change, after a store to what they wait on.
  void wake_waiters();
  std::uint64_t *slot_bits(long long chunk) {
    return bits_of_slots.get() + static_cast<std::size_t>(chunk % kChunkSlots) * chunk_words;
  }
  std::uint64_t *slot_state(long long chunk) {
    return states_of_slots.get() + static_cast<std::size_t>(chunk % kChunkSlots) * kLongLag;
  }

  const std::uint64_t threshold;
  const std::size_t lookahead;
  // A chunk at least as long as the lookahead keeps the last bit used within the last two chunks.
  const int batches_per_chunk;
  const std::size_t chunk_bits;
  const std::size_t chunk_words;
  const std::size_t capacity_words;
  int pending = 0;             // deviates left in RanUni's batch when reading began
  long long dropped_bits = 0;  // bits dropped from the front of the buffer so far
  long long chunks_appended = 0;
  std::size_t size = 0;
  std::unique_ptr<std::uint64_t[]> words;
  std::unique_ptr<std::uint64_t[]> start_states;  // of the last two chunks appended, by chunk number modulo 2
  ChunkGenerator generator;                   // this thread's

  // With generator threads, any thread claims the next chunk not yet claimed, with the state it starts from,
  // and generates it into slot chunk % kChunkSlots, once the reader has taken the chunk kChunkSlots before
  // it; ready[slot] = chunk + 1 marks it done. The reader claims chunks too while the one it needs is not
  // ready, so no processor stands idle.
  std::unique_ptr<std::uint64_t[]> bits_of_slots;
  std::unique_ptr<std::uint64_t[]> states_of_slots;
  std::atomic<long long> ready[kChunkSlots];
  std::atomic<long long> consumed{0};  // chunks the reader has appended
  std::atomic<bool> stopping{false};
  std::mutex wake_mutex;  // with `wake`, for threads waiting on ready[] or consumed
  std::condition_variable wake;
  std::mutex claim_mutex;
  long long next_claim = 0;             // guarded by claim_mutex
  std::uint64_t next_state[kLongLag];   // guarded by claim_mutex: where chunk next_claim starts
  std::optional<JumpMatrix> one_chunk;  // moves a state one chunk ahead
  std::optional<ChunkGenerator> thread_generators[kMaxGeneratorThreads];
  std::thread threads[kMaxGeneratorThreads];
  int running = 0;
};

EventBitReader::Work::Work(std::uint64_t event_threshold, int lookahead_bits,
                         const std::uint64_t state[kLongLag], int thread_count)
    : threshold(event_threshold),
      lookahead(static_cast<std::size_t>(std::max(lookahead_bits, 1))),
      batches_per_chunk(std::max(kMinBatchesPerChunk,
                                 static_cast<int>((lookahead + kServedPerBatch - 1) / kServedPerBatch))),
      chunk_bits(static_cast<std::size_t>(batches_per_chunk) * kServedPerBatch),
      chunk_words(words_for(chunk_bits) + 1),
      capacity_words(words_for(64 + kServedPerBatch + lookahead + chunk_bits) + 2),
      words(new std::uint64_t[capacity_words]),
      start_states(new std::uint64_t[2 * kLongLag]),
      generator(state, threshold, batches_per_chunk, best_kernel_isa()),
      bits_of_slots(new std::uint64_t[kChunkSlots * chunk_words]),
      states_of_slots(new std::uint64_t[kChunkSlots * kLongLag]) {
  std::fill(words.get(), words.get() + capacity_words, std::uint64_t{0});
  for (auto &r : ready) r.store(0, std::memory_order_relaxed);
  thread_count = std::clamp(thread_count, 0, kMaxGeneratorThreads);
  if (thread_count == 0) return;

  std::memcpy(next_state, state, sizeof next_state);
  one_chunk.emplace(static_cast<std::size_t>(batches_per_chunk) * kBatchLength);
  for (int t = 0; t < thread_count; ++t)
    thread_generators[t].emplace(state, threshold, batches_per_chunk, best_kernel_isa());
  try {
    for (; running < thread_count; ++running)
      threads[running] = std::thread(&Work::generate_while_running, this, running);
  } catch (const std::system_error &) {
    // Fewer threads than asked for: those started and this one share the chunks.
  }
}

bool EventBitReader::Work::claim(long long &chunk, std::uint64_t state[kLongLag], long long &consumed_seen) {
  std::lock_guard<std::mutex> lock(claim_mutex);
  consumed_seen = consumed.load(std::memory_order_acquire);
  if (next_claim - consumed_seen >= kChunkSlots) return false;  // its slot still holds an unread chunk
  chunk = next_claim++;
  std::memcpy(state, next_state, sizeof next_state);
  one_chunk->apply(next_state, best_kernel_isa());
  return true;
}

// std::atomic::wait is not used: libstdc++ before 12.3 loses wakeups where it has no futex (Windows with
// mingw-w64), which stopped runs for good. The check under the mutex and the notifier's taking it lose none.
void EventBitReader::Work::wait_for_change(const std::atomic<long long> &value, long long seen) {
  std::unique_lock<std::mutex> lock(wake_mutex);
  wake.wait(lock, [&] { return value.load(std::memory_order_acquire) != seen; });
}

void EventBitReader::Work::wake_waiters() {
  { std::lock_guard<std::mutex> lock(wake_mutex); }  // a waiter is either before its check or waiting
  wake.notify_all();
}

void EventBitReader::Work::generate_claimed(ChunkGenerator &with, long long chunk,
                                          const std::uint64_t state[kLongLag]) {
  with.restart(state, 0);
  with.generate(slot_bits(chunk), slot_state(chunk));
  std::atomic<long long> &flag = ready[chunk % kChunkSlots];
  flag.store(chunk + 1, std::memory_order_release);
  wake_waiters();
}

void EventBitReader::Work::generate_while_running(int thread) {
  ChunkGenerator &own = *thread_generators[thread];
  std::uint64_t state[kLongLag];
  while (!stopping.load(std::memory_order_acquire)) {
    long long chunk, consumed_seen;
    if (claim(chunk, state, consumed_seen))
      generate_claimed(own, chunk, state);
    else
      wait_for_change(consumed, consumed_seen);  // until the reader frees a slot
  }
}

void EventBitReader::Work::stop_threads() {
  if (running == 0) return;
  stopping.store(true, std::memory_order_release);
  consumed.fetch_add(kChunkSlots + 1, std::memory_order_acq_rel);  // wakes threads waiting for a slot
  wake_waiters();
  for (int t = 0; t < running; ++t) threads[t].join();
  running = 0;
}

void EventBitReader::Work::append_next_chunk() {
  const long long c = chunks_appended;
  std::uint64_t *bits = slot_bits(c);
  std::uint64_t *state = slot_state(c);
  if (running > 0) {
    std::atomic<long long> &flag = ready[c % kChunkSlots];
    for (long long seen = flag.load(std::memory_order_acquire); seen != c + 1;
         seen = flag.load(std::memory_order_acquire)) {
      long long chunk, consumed_seen;
      std::uint64_t claimed_state[kLongLag];
      if (claim(chunk, claimed_state, consumed_seen))
        generate_claimed(generator, chunk, claimed_state);
      else
        wait_for_change(flag, seen);
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
  if (running > 0) {
    consumed.store(c + 1, std::memory_order_release);
    wake_waiters();
  }
}

EventBitReader::EventBitReader(RandomStream &stream, double THETA, int lookahead, int generator_threads)
    : stream_(stream) {
  std::uint64_t pending_values[kServedPerBatch + 4] = {};
  std::uint64_t state[kLongLag];
  const int pending = StreamAccess::peek(stream, pending_values, state);
  const std::uint64_t threshold = event_threshold(THETA);
  work_ = std::make_unique<Work>(threshold, lookahead, state, generator_threads);
  Work &work = *work_;
  work.pending = pending;
  std::uint64_t bits[2];
  batch_event_bits(bits, pending_values, threshold, best_kernel_isa());
  append_bits(work.words.get(), work.size, low_bits(bits[0], pending), std::min(pending, 64));
  if (pending > 64) append_bits(work.words.get(), work.size, low_bits(bits[1], pending - 64), pending - 64);
  refill(0);
}

EventBitReader::~EventBitReader() = default;

std::size_t EventBitReader::refill(std::size_t from) {
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

void EventBitReader::finish(std::size_t end) {
  Work &work = *work_;
  work.stop_threads();
  const long long used = work.dropped_bits + static_cast<long long>(end);
  if (used <= work.pending) {
    StreamAccess::skip_pending(stream_, static_cast<int>(used));
    return;
  }
  // The last deviate used is value `served` - 1 of batch `batch` after the pending ones, in chunk `chunk`.
  const long long beyond = used - work.pending;
  const long long batch = (beyond - 1) / kServedPerBatch;
  const int served = static_cast<int>((beyond - 1) % kServedPerBatch) + 1;
  const long long chunk = batch / work.batches_per_chunk;
  work.generator.restart(work.start_states.get() + (chunk % 2) * kLongLag,
                         static_cast<int>(batch - chunk * work.batches_per_chunk));
  StreamAccess::resume(stream_, work.generator.state(), served, batch + 1);
}

int generator_threads_available() {
  int processors = static_cast<int>(std::thread::hardware_concurrency());
#if defined(__linux__)
  // The processors this process may run on, which taskset or a container can make fewer than the machine's.
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) processors = CPU_COUNT(&allowed);
#endif
  return std::clamp(processors - 1, 0, kMaxGeneratorThreads);
}

}  // namespace contmon
