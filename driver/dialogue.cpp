// The console dialogue: banner, prompt, and the reading and validation of
// K, THETA and PHI.
#include "driver/driver.h"

#include "bndry/bndry.h"
#include "cross2s/cross2s.h"
#include "driver/driver_internal.h"

void print_banner(std::FILE *out) {
  std::fprintf(out, "Continuous monitoring of clinical trials involving binary outcomes\n");
  std::fprintf(out, "   using Pocock-type boundaries ");
  std::fprintf(out, "(version 1.2)\n");
  std::fprintf(out, "contmon: boundaries and operating characteristics for monitoring after every patient\n");
  std::fprintf(out, "\n");
  std::fprintf(out, "(%s calculations)\n", method());
  std::fprintf(out, "Defintions: \n");
  std::fprintf(out, "  K     = the maximum planned sample size\n");
  std::fprintf(out, "  THETA = the event probability\n");
  std::fprintf(out, "  PHI   = the desired probability of early stopping (hitting the boundary)\n");
}

void print_prompt(std::FILE *out) { std::fprintf(out, "Input  K  THETA  PHI: "); }

void ReadData(int *K, double *THETA, double *PHI) { read_data(stdin, K, THETA, PHI); }

void read_data(std::FILE *in, int *K, double *THETA, double *PHI) {
  *K = int_read(in);
  if (*K < 1 || *K > kMaxStages) {
    std::printf("ReadData: n = %d is outside [%d:%d]\n", *K, 1, kMaxStages);
    fatal_exit(1);
  }
  // The negated tests reject a NaN as well as values outside (0, 1).
  *THETA = dbl_read(in);
  if (!(*THETA > 0.0 && *THETA < 1.0)) {
    std::printf("ReadData: theta = %g is outside (0,1)\n", *THETA);
    fatal_exit(1);
  }
  *PHI = dbl_read(in);
  if (!(*PHI > 0.0 && *PHI < 1.0)) {
    std::printf("ReadData: phi = %g is outside (0,1)\n", *PHI);
    fatal_exit(1);
  }
}
