// The simulation engine: crossing probabilities estimated from 1,000,000
// simulated trials drawn from the program's single random stream, on event
// bits read ahead of the stream.
#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"

const char *const method_name = "Simulation-based";

int CrossingProb(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                 const int lower[], const int upper[]) {
  int code = check_crossing_input(THETA, K, lower, upper);
  if (code != 0) return code;
  proceed_fast(lo_prob, up_prob, end_prob, THETA, K, lower, upper, RanGeneratorThreads());
  return 0;
}
