// Exact crossing probabilities by a forward recursion over (stage, count).
#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"

int ExactCrossingProb(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                      const int lower[], const int upper[]) {
  int code = check_crossing_input(THETA, K, lower, upper);
  if (code != 0) return code;

  // going[y]: probability that a trial is still running after the current stage with y events.
  CheckedBuffer<double> going = checked_buffer<double>(static_cast<std::size_t>(K) + 1);
  going[0] = 1.0;
  for (int y = 1; y <= K; ++y) going[y] = 0.0;
  lo_prob[0] = 0.0;
  up_prob[0] = 0.0;

  const double no_event = 1.0 - THETA;
  for (int k = 1; k <= K; ++k) {
    // One more patient: the count rises by one with probability THETA.
    for (int y = k; y >= 1; --y) going[y] = going[y] * no_event + going[y - 1] * THETA;
    going[0] = going[0] * no_event;

    // The upper test comes first; for valid boundaries the two stopping sets are disjoint.
    double up = 0.0;
    for (int y = upper[k]; y <= k; ++y) {  // upper[k] >= 1 after validation
      up += going[y];
      going[y] = 0.0;
    }
    double lo = 0.0;
    for (int y = 0; y <= lower[k] && y <= k; ++y) {
      lo += going[y];
      going[y] = 0.0;
    }
    up_prob[k] = up;
    lo_prob[k] = lo;
  }
  for (int y = 0; y <= K; ++y) end_prob[y] = going[y];
  return 0;
}
