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

Designs (without them, a Pocock boundary checked after every patient):
      --shape NAME[:PARAMS]
                     the boundary shape: pocock (one pointwise level at every
                     look), obf (O'Brien-Fleming), wt:DELTA (Wang-Tsiatis,
                     DELTA from 0 to 0.5), bayes:A,B (posterior probability that
                     the event probability exceeds THETA, prior Beta(A, B)),
                     sprt:P1 (sequential probability ratio test of THETA
                     against P1) or maxsprt (maximised SPRT)
      --looks LIST   look only after these patients: numbers and ranges
                     FROM:TO:STEP separated by commas, as 10,20:40:5
      --cohort C     look after every C patients: C, 2C, ... (and K)
      --start N0     make no look before patient N0
      --min-events M never stop the trial on fewer than M events
                     K is always a look. The constant of the shape is chosen
                     exactly: the rule stops most often at THETA while its
                     probability of stopping there is at most PHI.
      --evaluate FILE
                     report the operating characteristics of the rule in FILE
                     (a boundary file, or lines "n b": a look and its stopping
                     count) without a search; K THETA PHI may be left out when
                     FILE is a boundary file or --rates is given

Outputs:
      --format FORMAT
                     text (the default), markdown, json (every input and
                     figure, for other programs) or csv (the operating
                     characteristics); json and csv need K THETA PHI or
                     --evaluate
      --plot FILE.svg
                     draw the boundary and the operating characteristics
      --report FILE.html
                     write a self-contained report page that prints on A4 and
                     Letter

With arguments the report adds the design, the decision table (the rule
condensed into rows of looks with the same stopping count), a sentence to
paste into a protocol, and the probability of stopping before the last look
and, for simulated figures, their standard errors. A rule read with --evaluate
is written as a boundary file only when -o names one.

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
  contmon-exact --shape obf --cohort 5 --report obf.html 40 0.2 0.1
      an O'Brien-Fleming boundary with looks after every 5 patients, and a
      report page with the decision table and the pictures
  contmon-exact --evaluate _bndry_.dat --format json
      the figures of an earlier run's boundary, for another program
)";

}  // namespace

std::string help_text(const char *argv0) {
  return "Usage: " + program_name(argv0) + " [OPTIONS] [K THETA PHI]\n" + kHelpBody;
}

const char *project_version() { return CONTMON_VERSION; }

std::string version_text(const char *argv0) { return program_name(argv0) + " " CONTMON_VERSION "\n"; }
