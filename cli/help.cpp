// The help and version texts. The manual page doc/contmon.1 and the README
// say the same; a test holds the three together.
#include <string>

#include "bndry/bndry.h"
#include "cli/cli.h"

#ifndef CONTMON_VERSION
#error "CONTMON_VERSION must be defined by the build"
#endif

namespace {

constexpr const char *kHelpBody = R"(
Designs the monitoring of a single-arm clinical trial with a binary outcome
(an event, such as a toxicity, or none): after every patient the number of
events so far is compared with an upper boundary, and the trial stops as soon
as the count reaches it. The boundary is of Pocock type, chosen so that the
probability of stopping when the event probability is THETA is as large as
possible without exceeding PHI. The program prints the boundary, the
probability of stopping it achieves (PHI*) and its operating characteristics,
and writes the boundary to the file _bndry_.dat for other programs.

Without K THETA PHI it asks for them on standard input.

contmon estimates probabilities from 1,000,000 simulated trials drawn with a
fixed seed, so the same input always prints the same figures; contmon-exact
computes them exactly. Either program runs either engine on request.

Arguments:
  K                  the maximum planned sample size: a whole number, 1 to 255
  THETA              the acceptable event probability, between 0 and 1
                     (for 20% type 0.2)
  PHI                the accepted probability of stopping when the event
                     probability is THETA, between 0 and 1

Options:
      --exact        compute the probabilities exactly (contmon-exact's default)
      --simulate     estimate them from 1,000,000 simulated trials (contmon's
                     default)
  -o, --output FILE  write the boundary file to FILE instead of _bndry_.dat
      --no-output    write no boundary file
      --rates LIST   the event probabilities of the operating-characteristics
                     table, in the order given: rates and ranges FROM:TO:STEP,
                     separated by commas, as in 0.1,0.15:0.4:0.05
      --alternative P1
                     an unacceptable event probability, above THETA: report the
                     probability of stopping (the power of the rule) and the
                     expected number of patients there, and add P1 to the table
  -h, --help         print this help and exit
      --version      print the version and exit

Of --exact and --simulate, and of --output and --no-output, the one given last
counts. The boundary file is written under a temporary name beside it and
renamed when complete, so that it is never left half-written.

Exit status:
  0  the run completed
  1  invalid arguments or input, a boundary file that could not be written,
     or a report that did not reach standard output
  2  memory could not be allocated

Examples:
  contmon-exact 40 0.2 0.1
      the exact boundary for up to 40 patients, THETA 0.2 and PHI 0.1,
      written to _bndry_.dat
  contmon --rates 0.2:0.5:0.05 --alternative 0.35 -o sim.dat 40 0.2 0.1
      the simulated boundary, written to sim.dat, with its operating
      characteristics at 0.20, 0.25, ..., 0.50 and its power at 0.35
)";

}  // namespace

std::string help_text(const char *argv0) {
  return "Usage: " + program_name(argv0) + " [OPTIONS] [K THETA PHI]\n" + kHelpBody;
}

std::string version_text(const char *argv0) { return program_name(argv0) + " " CONTMON_VERSION "\n"; }
