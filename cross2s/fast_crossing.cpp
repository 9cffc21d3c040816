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
#include "ranuni/ranuni.h"

namespace {

// The 64 bits from bit p on.
inline __attribute__((always_inline)) std::uint64_t bits_from(const std::uint64_t w[], std::size_t p) {
  const std::size_t i = p / 64;
  const unsigned offset = p % 64;
  return offset == 0 ? w[i] : (w[i] >> offset) | (w[i + 1] << (64 - offset));
}

struct Counters {
  int *lo, *up, *end;
};

// Stage tables of one boundary pair. run_end[k] is the last stage of the run of stages from k on with the
// upper boundary of stage k; first_lower_stage[v] is the first stage whose lower boundary is at least v (K +
// 1 if none), so that before it a trial with v or more events cannot stop at the lower boundary.
struct StageTables {
  const int *lower, *upper, *run_end, *first_lower_stage;
};

// Runs kReplicates trials on the reader's bits: trial(w, p) runs the trial that starts at bit p of w[],
// counts how it ends and returns the bit after its last stage.
template <class Trial>
inline __attribute__((always_inline)) void run_trials(RanEventBits &reader, int K, Trial trial) {
  const std::uint64_t *w = reader.words();
  std::size_t available = reader.size();
  std::size_t p = 0;
  const auto needed = static_cast<std::size_t>(K);
  for (int replicate = 1; replicate <= kReplicates; ++replicate) {
    if (available - p < needed) {
      p = reader.refill(p);
      w = reader.words();
      available = reader.size();
    }
    p = trial(w, p);
  }
  reader.finish(p);
}

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

// The lowest point, relative to its start, of the distance to the upper boundary over 8 stages, for each
// byte of event bits (low 8 bits of the index) and byte of boundary rises (high 8 bits, 1 where the boundary
// rises at that stage). The distance falls by one per event and rises with the boundary.
struct LowestDistanceTable {
  std::int8_t lowest[1 << 16];
  LowestDistanceTable() {
    for (int index = 0; index < (1 << 16); ++index) {
      int distance = 0, low = 8;
      for (int i = 0; i < 8; ++i) {
        distance += ((index >> (8 + i)) & 1) - ((index >> i) & 1);
        low = std::min(low, distance);
      }
      lowest[index] = static_cast<std::int8_t>(low);
    }
  }
};

const LowestDistanceTable &lowest_distance_table() {
  static const LowestDistanceTable table;
  return table;
}

// Trials when no stage has a lower stop. Past the 64-stage test, distance = boundary - count is at least 1
// while the trial runs and it stops when the distance reaches 0, so 8 stages are passed at once when the
// table's lowest point for their events and boundary rises keeps the distance above 0 (a boundary that rises
// by more than one only adds to it); the stages of the others go one at a time. rises[k]: bit i set when the
// upper boundary rises at stage k+1+i.
inline __attribute__((always_inline)) void simulate_upper_only(Counters counts, RanEventBits &reader, int K,
                                                               const int upper[],
                                                               const std::uint8_t rises[]) {
  const std::int8_t *lowest = lowest_distance_table().lowest;
  run_trials(
      reader, K, [&](const std::uint64_t *w, std::size_t p) __attribute__((always_inline)) {
        int k = 0;  // stages passed
        int y = 0;  // events so far
        while (k < K) {
          int n = std::min(64, K - k);
          std::uint64_t bits = bits_from(w, p);
          if (n < 64) bits &= (std::uint64_t{1} << n) - 1;
          if (y + std::popcount(bits) < upper[k + 1]) {
            y += std::popcount(bits);
            k += n;
            p += static_cast<std::size_t>(n);
            continue;
          }
          while (n > 0) {
            if (n >= 8) {
              const unsigned byte = bits & 0xff;
              const int distance = upper[k == 0 ? 1 : k] - y;
              if (distance + lowest[byte | static_cast<unsigned>(rises[k]) << 8] > 0) {
                y += std::popcount(byte);
                k += 8;
                p += 8;
                n -= 8;
                bits >>= 8;
                continue;
              }
            }
            // Up to eight stages one at a time: the trial may stop among them.
            for (const int end = k + std::min(n, 8); k < end; bits >>= 1) {
              ++k;
              ++p;
              --n;
              y += static_cast<int>(bits & 1);
              if (y >= upper[k]) {
                ++counts.up[k];
                return p;
              }
            }
          }
        }
        ++counts.end[y];
        return p;
      });
}

// Population counts and trailing zeros as single instructions where the processor has them.
__attribute__((target("popcnt,bmi"))) void simulate_trials_bit_instructions(Counters counts,
                                                                            RanEventBits &reader, int K,
                                                                            StageTables s) {
  simulate_trials(counts, reader, K, s);
}

void simulate_trials_baseline(Counters counts, RanEventBits &reader, int K, StageTables s) {
  simulate_trials(counts, reader, K, s);
}

__attribute__((target("popcnt,bmi"))) void simulate_upper_only_bit_instructions(Counters counts,
                                                                                RanEventBits &reader, int K,
                                                                                const int upper[],
                                                                                const std::uint8_t rises[]) {
  simulate_upper_only(counts, reader, K, upper, rises);
}

void simulate_upper_only_baseline(Counters counts, RanEventBits &reader, int K, const int upper[],
                                  const std::uint8_t rises[]) {
  simulate_upper_only(counts, reader, K, upper, rises);
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
    // Not at stage 1, where the distance starts from upper[1].
    CheckedBuffer<std::uint8_t> rises = checked_buffer<std::uint8_t>(size);
    for (int k = 0; k <= K; ++k) {
      unsigned byte = 0;
      for (int i = 0; i < 8 && k + 1 + i <= K; ++i)
        if (k + 1 + i >= 2 && upper[k + 1 + i] > upper[k + i]) byte |= 1u << i;
      rises[k] = static_cast<std::uint8_t>(byte);
    }
    if (bit_instructions)
      simulate_upper_only_bit_instructions(counts, reader, K, upper, rises.get());
    else
      simulate_upper_only_baseline(counts, reader, K, upper, rises.get());
  }

  for (int j = 0; j <= K; ++j) {
    lo_prob[j] = count_to_probability(lo_count[j]);
    up_prob[j] = count_to_probability(up_count[j]);
    end_prob[j] = count_to_probability(end_count[j]);
  }
}
