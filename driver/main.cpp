// contmon: Pocock-type boundaries for monitoring a single-arm trial with a
// binary outcome after every patient.
#include <cstdio>

#include "driver/driver.h"

int main(int /*argc*/, char ** /*argv*/) {
  print_banner(stdout);
  print_prompt(stdout);

  int K = 0;
  double THETA = 0.0;
  double PHI = 0.0;
  ReadData(&K, &THETA, &PHI);
  std::printf("\n");
  return 0;
}
