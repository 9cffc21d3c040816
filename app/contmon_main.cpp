// contmon: designs the monitoring of a single-arm trial with a binary outcome,
// estimating probabilities from 1,000,000 simulated trials unless told to
// compute them exactly.
#include "app/app.h"

int main(int argc, char **argv) { return contmon::app::run_program(argc, argv, contmon::MethodKind::kSimulation); }
