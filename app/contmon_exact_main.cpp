// contmon-exact: the same program, computing probabilities exactly unless told
// to simulate.
#include "app/app.h"

int main(int argc, char **argv) { return contmon::app::run_program(argc, argv, contmon::MethodKind::kExact); }
