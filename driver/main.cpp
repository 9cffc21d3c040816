// contmon: Pocock-type boundaries for monitoring a single-arm trial with a
// binary outcome after every patient.
#include <csignal>
#include <cstdio>

#include "bndry/bndry.h"
#include "driver/driver.h"

int main(int /*argc*/, char **argv) {
  // A reader that goes away makes writes fail with EPIPE instead of killing the
  // process, so that a lost report ends with a message and status 1.
  std::signal(SIGPIPE, SIG_IGN);

  print_banner(stdout);
  print_prompt(stdout);

  int K = 0;
  double THETA = 0.0;
  double PHI = 0.0;
  ReadData(&K, &THETA, &PHI);
  std::printf("\n");

  int upper[kMaxStages + 1];
  double alpha[2];
  double PHIstar = 0.0;
  if (FindBndry(upper, alpha, &PHIstar, K, THETA, PHI) != 0) {
    std::printf("Internal processing error\n");
    std::printf("Please report this error and the input parameters to the author\n");
    return 1;
  }

  std::printf("K     = %d \n", K);
  std::printf("THETA = %g \n", THETA);
  std::printf("PHI   = %g \n", PHI);
  std::printf("PHI*  = %g ", PHIstar);
  std::printf("= the actual probability of hitting the upper boundary\n");
  std::printf("ALPHA = %g ", alpha[0]);
  std::printf("= the pointwise stopping probability\n");
  std::printf("\nThe upper boundary is:\n");
  ivec_print(stdout, upper, 1, K, "b");
  std::printf("\n");

  table_print(THETA, K, upper);

  // A file that cannot be created has been reported by open_file; the run goes on.
  if (std::FILE *fp = open_file(kBoundaryFileName, "w")) {
    write_boundary_file(fp, argv[0], upper, alpha[0], PHIstar, K, THETA, PHI);
    close_file(fp);
  }
  std::printf("\n");
  std::printf("The boundary has been written to file _bndry_.dat in a format\n");
  std::printf("appropriate for reading into other supplied programs (e.g. tolk3).\n");

  printdatetime(stdout);
  std::printf("\n");
  // A report that did not reach standard output (closed, full, a broken pipe) fails the run.
  if (flush_output(stdout, "standard output") != 0) return 1;
  return 0;
}
