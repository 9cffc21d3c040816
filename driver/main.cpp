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

  int status = run_report(ReportOptions{}, K, THETA, PHI, argv[0]);

  // A report that did not reach standard output (closed, full, a broken pipe) fails the run.
  if (flush_output(stdout, "standard output") != 0) status = 1;
  return status;
}
