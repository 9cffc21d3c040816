// contmon-exact's default engine: crossing probabilities from the forward
// recursion over (stage, count) of ExactCrossingProb, without simulation.
#include "cross2s/cross2s.h"

const CrossingEngine default_crossing_engine = CrossingEngine::kExact;
