// The reference simulation engine: the crossing simulation exactly as first
// written, one RanUni call per simulated stage. Its program is the yardstick
// that the timing of whole runs compares the simulation engine with.
#include "cross2s/cross2s_internal.h"

const char *const method_name = "Simulation-based";

int CrossingProb(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                 const int lower[], const int upper[]) {
  int code = check_crossing_input(THETA, K, lower, upper);
  if (code != 0) return code;
  proceed(lo_prob, up_prob, end_prob, THETA, K, lower, upper);
  return 0;
}
