// The default engine of the bench-only program contmon-plain: the crossing
// simulation exactly as first written, one RanUni call per simulated stage.
// Its program is the yardstick that the timing of whole runs compares the
// simulation engine with.
#include "cross2s/cross2s.h"

const CrossingEngine default_crossing_engine = CrossingEngine::kPlainSimulation;
