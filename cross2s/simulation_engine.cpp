// The simulation engine: crossing probabilities estimated from simulated trials.
#include "cross2s/cross2s.h"

const char *const method_name = "Simulation-based";
