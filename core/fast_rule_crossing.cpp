// The fast simulation of a rule checked at some stages only, on event bits:
// the counts and stream consumption of the plain simulation.
//
// The stages whose count exceeds the stage cannot stop a trial and are dropped;
// the others are the looks. envelope[k] is the lowest count of the looks at or
// after stage k (K + 1 after the last): it never falls, and a trial cannot stop
// at a look before the first stage k where its count reaches envelope[k], as its
// count there was below the envelope and so below the look's own count. Once
// it reaches it, some look at or after k has a count no greater than the trial's,
// so the trial stops at one of them: it goes from look to look, counting the
// events between them, until its count reaches a look's. The trial is thus the
// boundary walk of the fast crossing simulation on the envelope, followed by a
// few popcounts; where the looks' counts do not fall (the usual rules) it stops
// at the first look it comes to, and where every stage is a look, right there.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/crossing.h"
#include "core/event_bit_walk.h"
#include "core/generator.h"

namespace contmon {

namespace {

// Counts how trials end under the rule, for the envelope walk.
struct RuleTally {
  const int *upper;      // the rule
  const int *next_look;  // [k], k = 1..K: the first look at or after stage k
  int *stop_count, *joint_count, *end_count;
  int width;  // K + 1

  // The trial reached the envelope at stage k with y events, at bit p: it stops at a look from k on.
  __attribute__((always_inline)) std::size_t stop(const std::uint64_t *w, std::size_t p, int k, int y) {
    int look = next_look[k];
    for (;;) {
      const int between = look - k;
      y += event_bit_walk::events_in(w, p, between);
      p += static_cast<std::size_t>(between);
      k = look;
      if (y >= upper[k]) break;
      look = next_look[k + 1];  // a later look has a count no greater than y, so this is at most K
    }
    ++stop_count[k];
    ++joint_count[static_cast<std::size_t>(k) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(y)];
    return p;
  }
  void ended(int y) { ++end_count[y]; }
};

#if defined(__x86_64__) && !defined(CONTMON_PORTABLE)
// Population counts as single instructions where the processor has them.
__attribute__((target("popcnt,bmi"))) void simulate_rule_bit_instructions(RuleTally tally,
                                                                          EventBitReader &reader, int K,
                                                                          const int envelope[],
                                                                          const std::uint8_t rises[], int trials,
                                                                          const std::function<void()> *checkpoint) {
  event_bit_walk::simulate_upper_only(tally, reader, K, envelope, rises, trials, checkpoint);
}

bool has_bit_instructions() { return __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi"); }
#endif

void simulate_rule_baseline(RuleTally tally, EventBitReader &reader, int K, const int envelope[],
                            const std::uint8_t rises[], int trials, const std::function<void()> *checkpoint) {
  event_bit_walk::simulate_upper_only(tally, reader, K, envelope, rises, trials, checkpoint);
}

}  // namespace

void fast_rule_simulation(RuleOutcome *out, double THETA, int K, const int upper[], const Simulation &simulation) {
  const std::size_t size = static_cast<std::size_t>(K) + 2;  // stages 0..K+1
  std::vector<int> envelope(size), next_look(size);
  envelope[K + 1] = K + 1;
  next_look[K + 1] = K + 1;
  for (int k = K; k >= 1; --k) {
    const bool look = upper[k] <= k;
    envelope[k] = look && upper[k] < envelope[k + 1] ? upper[k] : envelope[k + 1];
    next_look[k] = look ? k : next_look[k + 1];
  }
  envelope[0] = envelope[1];
  std::vector<std::uint8_t> rises(size);
  event_bit_walk::fill_rises(rises.data(), envelope.data(), K);

  const std::size_t width = static_cast<std::size_t>(K) + 1;
  std::vector<int> stop_count(width, 0), joint_count(width * width, 0), end_count(width, 0);

  EventBitReader reader(*simulation.stream, THETA, K, simulation.generator_threads);
  const RuleTally tally{upper, next_look.data(), stop_count.data(), joint_count.data(), end_count.data(), K + 1};
#if defined(__x86_64__) && !defined(CONTMON_PORTABLE)
  if (has_bit_instructions()) {
    simulate_rule_bit_instructions(tally, reader, K, envelope.data(), rises.data(), simulation.trials, simulation.checkpoint);
  } else {
    simulate_rule_baseline(tally, reader, K, envelope.data(), rises.data(), simulation.trials, simulation.checkpoint);
  }
#else
  simulate_rule_baseline(tally, reader, K, envelope.data(), rises.data(), simulation.trials, simulation.checkpoint);
#endif
  rule_counts_to_outcome(out, simulation.trials, stop_count.data(), joint_count.data(), end_count.data());
}

}  // namespace contmon
