// Validation of a pair of boundaries and the plain crossing simulation.
#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"

int check_crossing_input(double THETA, int K, const int lower[], const int upper[]) {
  if (!(THETA > 0.0 && THETA < 1.0)) return 1;  // a NaN is refused too
  if (K < 1) return 2;
  if (lower[1] > 0) return 3;
  if (upper[1] < 1) return 4;
  for (int i = 1; i < K; ++i)
    if (lower[i] > lower[i + 1]) return 5;
  for (int i = 1; i < K; ++i)
    if (upper[i] > upper[i + 1]) return 6;
  for (int i = 1; i <= K; ++i)
    if (lower[i] >= upper[i]) return 7;
  return 0;
}

double count_to_probability(int count) {
  return static_cast<double>(static_cast<long double>(count) / static_cast<long double>(kReplicates));
}

void proceed(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K, const int lower[],
             const int upper[]) {
  const std::size_t size = static_cast<std::size_t>(K) + 1;
  CheckedBuffer<int> lo_count = checked_buffer<int>(size);
  CheckedBuffer<int> up_count = checked_buffer<int>(size);
  CheckedBuffer<int> end_count = checked_buffer<int>(size);
  for (int j = 0; j <= K; ++j) lo_count[j] = up_count[j] = end_count[j] = 0;

  for (int replicate = 1; replicate <= kReplicates; ++replicate) {
    int y = 0;
    bool stopped = false;
    for (int k = 1; k <= K; ++k) {
      if (RanUni() <= THETA) ++y;  // a deviate equal to THETA is an event
      if (y >= upper[k]) {
        ++up_count[k];
        stopped = true;
        break;
      }
      if (y <= lower[k]) {
        ++lo_count[k];
        stopped = true;
        break;
      }
    }
    if (!stopped) ++end_count[y];
  }

  for (int j = 0; j <= K; ++j) {
    lo_prob[j] = count_to_probability(lo_count[j]);
    up_prob[j] = count_to_probability(up_count[j]);
    end_prob[j] = count_to_probability(end_count[j]);
  }
}
