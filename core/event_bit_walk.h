// The walk on event bits shared by the fast simulations of boundaries and of
// rules: the bit reader's loop over trials, and the trial for a rising upper
// boundary alone, which passes up to 64 stages at once where the trial cannot
// reach the boundary and then eight at a time by a table of how far their events
// can bring the count towards it. What happens when a trial reaches the boundary
// is left to a tally, so that a rule can finish the trial at a later look.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "core/crossing.h"
#include "core/generator.h"

namespace contmon::event_bit_walk {

/// The 64 bits from bit p on.
inline __attribute__((always_inline)) std::uint64_t bits_from(const std::uint64_t w[], std::size_t p) {
  const std::size_t i = p / 64;
  const unsigned offset = p % 64;
  return offset == 0 ? w[i] : (w[i] >> offset) | (w[i + 1] << (64 - offset));
}

/// The number of set bits among the n bits from bit p on.
inline __attribute__((always_inline)) int events_in(const std::uint64_t w[], std::size_t p, int n) {
  int events = 0;
  for (; n >= 64; n -= 64, p += 64) events += std::popcount(bits_from(w, p));
  if (n > 0) events += std::popcount(bits_from(w, p) & ((std::uint64_t{1} << n) - 1));
  return events;
}

/// Runs `trials` trials on the reader's bits: trial(w, p) runs the trial that starts at bit p of w[], counts how
/// it ends and returns the bit after its last stage. The checkpoint, when given, is called every
/// kCheckpointTrials trials.
template <class Trial>
inline __attribute__((always_inline)) void run_trials(EventBitReader &reader, int K, int trials,
                                                      const std::function<void()> *checkpoint, Trial trial) {
  const std::uint64_t *w = reader.words();
  std::size_t available = reader.size();
  std::size_t p = 0;
  const auto needed = static_cast<std::size_t>(K);
  for (int replicate = 1; replicate <= trials; ++replicate) {
    if (replicate % kCheckpointTrials == 0 && checkpoint != nullptr) (*checkpoint)();
    if (available - p < needed) {
      p = reader.refill(p);
      w = reader.words();
      available = reader.size();
    }
    p = trial(w, p);
  }
  reader.finish(p);
}

/// The lowest point, relative to its start, of the distance to the upper boundary over 8 stages, for each
/// byte of event bits (low 8 bits of the index) and byte of boundary rises (high 8 bits, 1 where the boundary
/// rises at that stage). The distance falls by one per event and rises with the boundary.
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

/// The table, built on first use (once, whatever the threads).
inline const LowestDistanceTable &lowest_distance_table() {
  static const LowestDistanceTable table;
  return table;
}

/// rises[k] for k = 0..K: bit i set when the non-decreasing upper[1..K] rises at stage k+1+i (not at stage
/// 1, where the distance starts from upper[1]).
inline void fill_rises(std::uint8_t rises[], const int upper[], int K) {
  for (int k = 0; k <= K; ++k) {
    unsigned byte = 0;
    for (int i = 0; i < 8 && k + 1 + i <= K; ++i)
      if (k + 1 + i >= 2 && upper[k + 1 + i] > upper[k + i]) byte |= 1u << i;
    rises[k] = static_cast<std::uint8_t>(byte);
  }
}

/// Trials against the non-decreasing upper boundary upper[1..K] alone (rises from fill_rises). A trial that
/// first reaches it at stage k with y events, at bit p after that stage, ends as tally.stop(w, p, k, y) says:
/// it counts the trial and returns the bit after its last stage. One that never reaches it ends as
/// tally.ended(y) counts it, with y events after stage K.
///
/// Past the 64-stage test, distance = boundary - count is at least 1 while the trial runs and it reaches the
/// boundary when the distance reaches 0, so 8 stages are passed at once when the table's lowest point for
/// their events and boundary rises keeps the distance above 0 (a boundary that rises by more than one only
/// adds to it); the stages of the others go one at a time.
template <class Tally>
inline __attribute__((always_inline)) void simulate_upper_only(Tally &tally, EventBitReader &reader, int K,
                                                               const int upper[], const std::uint8_t rises[],
                                                               int trials, const std::function<void()> *checkpoint) {
  const std::int8_t *lowest = lowest_distance_table().lowest;
  run_trials(
      reader, K, trials, checkpoint, [&](const std::uint64_t *w, std::size_t p) __attribute__((always_inline)) {
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
            // Up to eight stages one at a time: the trial may reach the boundary among them.
            for (const int end = k + std::min(n, 8); k < end; bits >>= 1) {
              ++k;
              ++p;
              --n;
              y += static_cast<int>(bits & 1);
              if (y >= upper[k]) return tally.stop(w, p, k, y);
            }
          }
        }
        tally.ended(y);
        return p;
      });
}

}  // namespace contmon::event_bit_walk
