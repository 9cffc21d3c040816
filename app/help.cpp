// The help and version texts. The manual page doc/contmon.1 and the README
// say the same; a test holds the three together.
#include <string>

#include "app/command_line.h"
#include "app/files.h"
#include "app/options.h"
#include "contmon/version.h"


namespace contmon::app {

namespace {

constexpr const char *kHelpIntroduction = R"(
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

)";

constexpr const char *kDesignNote = R"(
  K is always a look. The constant of the shape is chosen exactly: the rule
  stops most often at THETA while its probability of stopping there is at
  most PHI.
)";

constexpr const char *kHelpClosing = R"(
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

// The options of one section of the help: the synopsis, then the help from column 22, on the same line when
// the synopsis leaves room.
std::string option_lines(OptionSection section) {
  constexpr std::size_t kHelpColumn = 21;
  std::string text;
  for (const OptionEntry &option : option_table()) {
    if (option.section != section) continue;
    std::string synopsis = option.short_name != nullptr ? std::string("  ") + option.short_name + ", " : "      ";
    synopsis += option.name;
    if (option.value != nullptr) synopsis += std::string(" ") + option.value;
    text += synopsis;
    text += synopsis.size() < kHelpColumn ? std::string(kHelpColumn - synopsis.size(), ' ')
                                          : "\n" + std::string(kHelpColumn, ' ');
    for (const char *c = option.help; *c != '\0'; ++c) {
      text += *c;
      if (*c == '\n') text.append(kHelpColumn, ' ');
    }
    text += "\n";
  }
  return text;
}

}  // namespace

std::string help_text(const char *argv0) {
  return "Usage: " + program_name(argv0) + " [OPTIONS] [K THETA PHI]\n" + kHelpIntroduction + "Options:\n" +
         option_lines(OptionSection::kGeneral) + "\nDesigns (without them, a Pocock boundary checked after every patient):\n" +
         option_lines(OptionSection::kDesign) + kDesignNote + "\nOutputs:\n" + option_lines(OptionSection::kOutput) +
         kHelpClosing;
}

const char *project_version() { return kVersion; }

std::string version_text(const char *argv0) { return program_name(argv0) + " " + kVersion + "\n"; }

}  // namespace contmon::app
