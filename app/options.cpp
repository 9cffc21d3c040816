// The table of the command line's options.
#include "app/options.h"

namespace contmon::app {

namespace {

constexpr OptionEntry kOptions[] = {
    {"--exact", nullptr, nullptr, OptionSection::kGeneral,
     "compute the probabilities exactly (contmon-exact's default)"},
    {"--simulate", nullptr, nullptr, OptionSection::kGeneral,
     "estimate them from 1,000,000 simulated trials (contmon's\ndefault)"},
    {"--output", "-o", "FILE", OptionSection::kGeneral, "write the boundary file to FILE instead of _bndry_.dat"},
    {"--no-output", nullptr, nullptr, OptionSection::kGeneral, "write no boundary file"},
    {"--rates", nullptr, "LIST", OptionSection::kGeneral,
     "the event probabilities of the operating-characteristics\ntable, in the order given: rates and ranges FROM:TO:STEP,\n"
     "separated by commas, as in 0.1,0.15:0.4:0.05"},
    {"--alternative", nullptr, "P1", OptionSection::kGeneral,
     "an unacceptable event probability, above THETA: report the\nprobability of stopping (the power of the rule) and the\n"
     "expected number of patients there, and add P1 to the table"},
    {"--trials", nullptr, "N", OptionSection::kGeneral,
     "simulate N trials per figure, 1000 to 100000000 (default\n1000000); the standard errors follow N"},
    {"--seed", nullptr, "S", OptionSection::kGeneral,
     "start the simulation's generator from seed S, 0 to\n1073741823 (default 314159)"},
    {"--help", "-h", nullptr, OptionSection::kGeneral, "print this help and exit"},
    {"--version", nullptr, nullptr, OptionSection::kGeneral, "print the version and exit"},
    {"--shape", nullptr, "NAME[:PARAMS]", OptionSection::kDesign,
     "the boundary shape: pocock (one pointwise level at every\nlook), obf (O'Brien-Fleming), wt:DELTA (Wang-Tsiatis,\n"
     "DELTA from 0 to 0.5), bayes:A,B (posterior probability that\nthe event probability exceeds THETA, prior Beta(A, B)),\n"
     "sprt:P1 (sequential probability ratio test of THETA\nagainst P1), maxsprt (maximised SPRT) or cc:A,B,P1,NU\n"
     "(Chen-Chaloner: as bayes:A,B, and the posterior\nprobability that it exceeds P1 is at least NU). Given\n"
     "more than once, the shapes are designed side by side\nand compared (-o then writes the first one's file)"},
    {"--constant", nullptr, "C", OptionSection::kDesign,
     "use the shape's rule at the constant C instead of\nsearching for it (the pointwise level for pocock, the\n"
     "posterior threshold for bayes and cc); PHI may then be\nleft out, as in K THETA"},
    {"--find-k", nullptr, "POWER", OptionSection::kDesign,
     "with --alternative P1 (exact only): design every K' from\n1 to K and report the smallest whose probability of\n"
     "stopping at P1 reaches POWER, then its full report"},
    {"--looks", nullptr, "LIST", OptionSection::kDesign,
     "look only after these patients: numbers and ranges\nFROM:TO:STEP separated by commas, as 10,20:40:5"},
    {"--cohort", nullptr, "C", OptionSection::kDesign, "look after every C patients: C, 2C, ... (and K)"},
    {"--start", nullptr, "N0", OptionSection::kDesign, "make no look before patient N0"},
    {"--min-events", nullptr, "M", OptionSection::kDesign, "never stop the trial on fewer than M events"},
    {"--accrual", nullptr, "A", OptionSection::kDesign,
     "patients enter evenly over A time units (any unit, as\ndays); with --window, report the patients enrolled,\n"
     "the calendar time and the events, those awaiting an\noutcome included, when the trial ends (exact)"},
    {"--window", nullptr, "TAU", OptionSection::kDesign,
     "each outcome is known TAU time units after entry; goes\nwith --accrual"},
    {"--evaluate", nullptr, "FILE", OptionSection::kDesign,
     "report the operating characteristics of the rule in FILE\n(a boundary file, or lines \"n b\": a look and its stopping\n"
     "count) without a search; K THETA PHI may be left out when\nFILE is a boundary file or --rates is given"},
    {"--format", nullptr, "FORMAT", OptionSection::kOutput,
     "text (the default), markdown, json (every input and\nfigure, for other programs) or csv (the operating\n"
     "characteristics); json and csv need K THETA PHI or\n--evaluate"},
    {"--by-look", nullptr, nullptr, OptionSection::kOutput,
     "add the probability of stopping at each look and by it,\nat THETA and P1 (csv: one row per rate and look)"},
    {"--plot", nullptr, "FILE.svg", OptionSection::kOutput, "draw the boundary and the operating characteristics"},
    {"--report", nullptr, "FILE.html", OptionSection::kOutput,
     "write a self-contained report page that prints on A4 and\nLetter"},
};

}  // namespace

std::span<const OptionEntry> option_table() { return kOptions; }

const OptionEntry *find_option(std::string_view name) {
  for (const OptionEntry &option : kOptions)
    if (name == option.name || (option.short_name != nullptr && name == option.short_name)) return &option;
  return nullptr;
}

}  // namespace contmon::app
