// The crossing simulation on event bits: the same trials, counts and stream
// consumption as the plain simulation, computed faster. Deviates are read as
// bits (1 for an event), and a trial passes many stages at once where it
// cannot stop: up to 64 when their events cannot bring its count up to the
// lowest upper boundary among them. Without lower stops (the program's own
// boundaries) it then goes eight stages at a time by a table of how far their
// events can bring the count towards the rising boundary; with lower stops it
// goes through the runs of stages with the same upper boundary, where the
// position of the right set bit tells where it stops.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"
#include "cross2s/event_bit_walk.h"
#include "ranuni/ranuni.h"

namespace {

using event_bit_walk::bits_from;
using event_bit_walk::run_trials;

struct Counters {
  int *lo, *up, *end;
};

// Stage tables of one boundary pair. run_end[k] is the last stage of the run of stages from k on with the
// upper boundary of stage k; first_lower_stage[v] is the first stage whose lower boundary is at least v (K +
// 1 if none), so that before it a trial with v or more events cannot stop at the lower boundary.
struct StageTables {
  const int *lower, *upper, *run_end, *first_lower_stage;
};

// Trials for any pair of boundaries.
inline __attribute__((always_inline)) void simulate_trials(Counters counts, RanEventBits &reader, int K,
                                                           StageTables s) {
  run_trials(
      reader, K, [&](const std::uint64_t *w, std::size_t p) __attribute__((always_inline)) {
        int k = 0;  // stages passed
        int y = 0;  // events so far
        for (;;) {
          const int safe_from_lower = s.first_lower_stage[y] - 1;
          if (safe_from_lower > k) {
            // Up to 64 stages at once: when even all their events leave the count below the upper boundary of
            // stage k+1, the lowest ahead, the trial passes them all.
            const int n = std::min({safe_from_lower - k, 64, K - k});
            std::uint64_t bits = bits_from(w, p);
            if (n < 64) bits &= (std::uint64_t{1} << n) - 1;
            const int events = std::popcount(bits);
            if (y + events < s.upper[k + 1]) {
              y += events;
              k += n;
              p += static_cast<std::size_t>(n);
              if (k == K) break;
              continue;
            }
            // Otherwise go through the run of stages k+1 .. last with the upper boundary of stage k+1: the
            // trial stops there at its to_upper-th event, if it has that many.
            const int last = std::min(s.run_end[k + 1], k + n);
            if (last < k + n) bits &= (std::uint64_t{1} << (last - k)) - 1;
            const int run_events = std::popcount(bits);
            const int to_upper = s.upper[k + 1] - y;  // at least 1
            if (run_events < to_upper) {
              y += run_events;
              p += static_cast<std::size_t>(last - k);
              k = last;
              if (k == K) break;
              continue;
            }
            for (int i = 1; i < to_upper; ++i) bits &= bits - 1;
            const int stop = std::countr_zero(bits) + 1;  // the to_upper-th event
            ++counts.up[k + stop];
            return p + static_cast<std::size_t>(stop);
          }
          // A lower stop is possible at stage k+1: take it on its own.
          ++k;
          y += static_cast<int>((w[p / 64] >> (p % 64)) & 1);
          ++p;
          if (y >= s.upper[k]) {
            ++counts.up[k];
            return p;
          }
          if (y <= s.lower[k]) {
            ++counts.lo[k];
            return p;
          }
          if (k == K) break;
        }
        ++counts.end[y];
        return p;
      });
}

// The upper-only walk's tally for a pair of boundaries: a trial stops where it reaches the boundary.
struct UpperTally {
  int *up, *end;
  __attribute__((always_inline)) std::size_t stop(const std::uint64_t *, std::size_t p, int k, int) {
    ++up[k];
    return p;
  }
  void ended(int y) { ++end[y]; }
};

// Population counts and trailing zeros as single instructions where the processor has them.
__attribute__((target("popcnt,bmi"))) void simulate_trials_bit_instructions(Counters counts,
                                                                            RanEventBits &reader, int K,
                                                                            StageTables s) {
  simulate_trials(counts, reader, K, s);
}

void simulate_trials_baseline(Counters counts, RanEventBits &reader, int K, StageTables s) {
  simulate_trials(counts, reader, K, s);
}

__attribute__((target("popcnt,bmi"))) void simulate_upper_only_bit_instructions(UpperTally tally,
                                                                                RanEventBits &reader, int K,
                                                                                const int upper[],
                                                                                const std::uint8_t rises[]) {
  event_bit_walk::simulate_upper_only(tally, reader, K, upper, rises);
}

void simulate_upper_only_baseline(UpperTally tally, RanEventBits &reader, int K, const int upper[],
                                  const std::uint8_t rises[]) {
  event_bit_walk::simulate_upper_only(tally, reader, K, upper, rises);
}

}  // namespace

void proceed_fast(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                  const int lower[], const int upper[], int generator_threads) {
  const std::size_t size = static_cast<std::size_t>(K) + 1;
  CheckedBuffer<int> lo_count = checked_buffer<int>(size);
  CheckedBuffer<int> up_count = checked_buffer<int>(size);
  CheckedBuffer<int> end_count = checked_buffer<int>(size);
  CheckedBuffer<int> run_end = checked_buffer<int>(size);
  CheckedBuffer<int> first_lower_stage = checked_buffer<int>(size);
  for (int j = 0; j <= K; ++j) lo_count[j] = up_count[j] = end_count[j] = 0;
  run_end[K] = K;
  for (int k = K - 1; k >= 1; --k) run_end[k] = upper[k] == upper[k + 1] ? run_end[k + 1] : k;
  for (int v = 0, stage = 1; v <= K; ++v) {
    while (stage <= K && lower[stage] < v) ++stage;
    first_lower_stage[v] = stage;
  }

  RanEventBits reader(THETA, K, generator_threads);
  const Counters counts{lo_count.get(), up_count.get(), end_count.get()};
  const StageTables tables{lower, upper, run_end.get(), first_lower_stage.get()};
  const bool bit_instructions = __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi");
  if (first_lower_stage[0] <= K) {  // some stage has a lower boundary of 0 or more
    if (bit_instructions)
      simulate_trials_bit_instructions(counts, reader, K, tables);
    else
      simulate_trials_baseline(counts, reader, K, tables);
  } else {
    CheckedBuffer<std::uint8_t> rises = checked_buffer<std::uint8_t>(size);
    event_bit_walk::fill_rises(rises.get(), upper, K);
    const UpperTally tally{up_count.get(), end_count.get()};
    if (bit_instructions)
      simulate_upper_only_bit_instructions(tally, reader, K, upper, rises.get());
    else
      simulate_upper_only_baseline(tally, reader, K, upper, rises.get());
  }

  for (int j = 0; j <= K; ++j) {
    lo_prob[j] = count_to_probability(lo_count[j]);
    up_prob[j] = count_to_probability(up_count[j]);
    end_prob[j] = count_to_probability(end_count[j]);
  }
}
