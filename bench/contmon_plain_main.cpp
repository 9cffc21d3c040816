// contmon-plain, for benchmarks only: the program with the simulation drawing
// one deviate at a time, the yardstick that whole-run timings compare with.
#include "app/app.h"

int main(int argc, char **argv) {
  return contmon::app::run_program(argc, argv, contmon::MethodKind::kPlainSimulation);
}
