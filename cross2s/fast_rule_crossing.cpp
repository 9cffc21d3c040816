// The fast simulation of a rule checked at some stages only.
#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"

#include <vector>

void proceed_rule_fast(RuleOutcome *out, double THETA, int K, const int upper[], int /*generator_threads*/) {
  // Placeholder walk, one bit at a time; replaced by the fast walk.
  const auto width = static_cast<std::size_t>(K) + 1;
  std::vector<int> stop_count(width, 0), joint_count(width * width, 0), end_count(width, 0);
  for (int replicate = 1; replicate <= kReplicates; ++replicate) {
    int y = 0;
    int k = 1;
    for (; k <= K; ++k) {
      if (RanUni() <= THETA) ++y;
      if (y >= upper[k]) break;
    }
    if (k <= K) {
      ++stop_count[static_cast<std::size_t>(k)];
      ++joint_count[static_cast<std::size_t>(k) * width + static_cast<std::size_t>(y)];
    } else {
      ++end_count[static_cast<std::size_t>(y)];
    }
  }
  rule_counts_to_outcome(out, stop_count.data(), joint_count.data(), end_count.data());
}
