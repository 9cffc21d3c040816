// contmon's default engine: crossing probabilities estimated from 1,000,000
// simulated trials drawn from the program's single random stream, on event
// bits read ahead of the stream.
#include "cross2s/cross2s.h"

const CrossingEngine default_crossing_engine = CrossingEngine::kSimulation;
