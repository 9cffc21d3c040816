// The exact engine: crossing probabilities from the forward recursion over
// (stage, count) of ExactCrossingProb, without simulation. Linked into
// contmon-exact in place of simulation_engine.cpp.
#include "cross2s/cross2s.h"

const char *const method_name = "Exact";

int CrossingProb(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                 const int lower[], const int upper[]) {
  return ExactCrossingProb(lo_prob, up_prob, end_prob, THETA, K, lower, upper);
}
