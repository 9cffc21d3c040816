// The console dialogue: banner, prompt, the reading and validation of K,
// THETA and PHI, and the report of the Pocock boundary after every patient.
#include <cctype>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/files.h"
#include "contmon/writers.h"
#include "core/text.h"

namespace contmon::app {

void print_banner(std::FILE *out, MethodKind method, bool default_design, bool plain_dialogue) {
  std::fprintf(out, "Continuous monitoring of clinical trials involving binary outcomes\n");
  std::fprintf(out, default_design ? "   using Pocock-type boundaries " : "   using the design stated below ");
  std::fprintf(out, "(version 1.2)\n");
  std::fprintf(out, default_design
                        ? "contmon: boundaries and operating characteristics for monitoring after every patient\n"
                        : "contmon: boundaries and operating characteristics for monitoring at the looks of a "
                          "design\n");
  std::fprintf(out, "\n");
  std::fprintf(out, "(%s calculations)\n", method == MethodKind::kExact ? "Exact" : "Simulation-based");
  std::fprintf(out, plain_dialogue ? "Defintions: \n" : "Definitions:\n");
  std::fprintf(out, "  K     = the maximum planned sample size\n");
  std::fprintf(out, "  THETA = the event probability\n");
  std::fprintf(out, "  PHI   = the desired probability of early stopping (hitting the boundary)\n");
}

void print_prompt(std::FILE *out) { std::fprintf(out, "Input  K  THETA  PHI: "); }

namespace {

enum class ReadOutcome { kValue, kEndOfInput, kNotANumber };

// Prints the reader's message for a failed read on standard output.
void read_failure(const char *reader, ReadOutcome outcome) {
  std::printf("%s: %s\n", reader, outcome == ReadOutcome::kEndOfInput ? "end of file error." : "input error.");
}

// Reads a decimal integer as "%d" does (white space, an optional sign, digits), but saturates at INT_MIN and
// INT_MAX instead of overflowing: a number too large for an int is read as the nearest int, which every range
// check then rejects. The characters that make it up (at most 64) go to typed.
ReadOutcome scan_int(std::FILE *fp, int *value, std::string *typed) {
  constexpr std::size_t kMaxTyped = 64;
  auto keep = [typed](int c) {
    if (typed->size() < kMaxTyped) typed->push_back(static_cast<char>(c));
  };
  int c;
  do c = std::getc(fp);
  while (c != EOF && std::isspace(c));
  if (c == EOF) return ReadOutcome::kEndOfInput;

  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    keep(c);
    c = std::getc(fp);
  }
  if (c == EOF || !std::isdigit(c)) {
    if (c != EOF) std::ungetc(c, fp);
    return ReadOutcome::kNotANumber;
  }
  // Accumulate the magnitude, stopping the growth just beyond the int range.
  constexpr long long kCap = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; c != EOF && std::isdigit(c); c = std::getc(fp)) {
    keep(c);
    if (magnitude < kCap) magnitude = magnitude * 10 + (c - '0');
  }
  if (c != EOF) std::ungetc(c, fp);
  if (magnitude > kCap) magnitude = kCap;
  long long signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT_MAX) signed_value = INT_MAX;
  *value = static_cast<int>(signed_value);
  return ReadOutcome::kValue;
}

// Reads one double with fscanf's "%lf".
ReadOutcome scan_double(std::FILE *fp, double *value) {
  const int converted = std::fscanf(fp, "%lf", value);
  if (converted == 1) return ReadOutcome::kValue;
  return converted == EOF ? ReadOutcome::kEndOfInput : ReadOutcome::kNotANumber;
}

// Whether K's digits end at white space or the end of the input. Otherwise (40.5, 4e1, 40,) K is not the
// whole number it would be read as: the message shows the whole word typed, at most kShown characters of it,
// with unprintable characters as '?'.
bool k_is_whole(std::FILE *in, std::string typed) {
  constexpr std::size_t kShown = 40;
  int c = std::getc(in);
  if (c != EOF) std::ungetc(c, in);
  if (c == EOF || std::isspace(c)) return true;
  for (c = std::getc(in); c != EOF && !std::isspace(c); c = std::getc(in)) {
    if (typed.size() <= kShown) typed.push_back(static_cast<char>(c));
  }
  if (typed.size() > kShown) typed.replace(kShown, std::string::npos, "...");
  for (char &ch : typed)
    if (!std::isprint(static_cast<unsigned char>(ch))) ch = '?';
  std::printf("ReadData: K = '%s' is not a whole number in [%d:%d]\n", typed.c_str(), 1, kMaxStages);
  return false;
}

}  // namespace

bool read_data(std::FILE *in, int *K, double *THETA, double *PHI) {
  std::string typed;
  ReadOutcome outcome = scan_int(in, K, &typed);
  if (outcome != ReadOutcome::kValue) {
    read_failure("int_read", outcome);
    return false;
  }
  if (!k_is_whole(in, typed)) return false;
  if (*K < 1 || *K > kMaxStages) {
    std::printf("ReadData: n = %d is outside [%d:%d]\n", *K, 1, kMaxStages);
    return false;
  }
  // A probability; the negated test rejects a NaN as well as values outside (0, 1).
  const auto read_probability = [in](double *value, const char *name) {
    const ReadOutcome read = scan_double(in, value);
    if (read != ReadOutcome::kValue) {
      read_failure("dbl_read", read);
      return false;
    }
    if (!(*value > 0.0 && *value < 1.0)) {
      std::printf("ReadData: %s = %g is outside (0,1)\n", name, *value);
      return false;
    }
    return true;
  };
  return read_probability(THETA, "theta") && read_probability(PHI, "phi");
}

void warn_never_stops(const std::string &program, double PHI, double THETA) {
  std::fprintf(stderr,
               "%s: warning: no boundary keeps the probability of stopping at or below PHI = %g when "
               "THETA = %g, so the boundary reported never stops the trial; choose a larger PHI or a "
               "larger K\n",
               program.c_str(), PHI, THETA);
}

int run_dialogue(const char *argv0, MethodKind method_kind) {
  const std::string program = program_name(argv0);
  print_banner(stdout, method_kind);
  Design design;
  print_prompt(stdout);
  if (!read_data(stdin, &design.K, &design.theta, &design.phi)) return kInputRefused;
  std::printf("\n");

  // One stream runs on through the search and the table's rows, in that order.
  RandomStream stream;
  ProgressLine line = ProgressLine::on_standard_error();
  const RunControl control{progress_on(line, program), &stream};
  Method method;
  method.kind = method_kind;
  const Calibration calibration = contmon::design(design, method, control);
  line.clear();
  if (calibration.never_stops) warn_never_stops(program, design.phi, design.theta);

  std::fputs(dialogue_results(design, calibration).c_str(), stdout);
  std::fflush(stdout);
  const std::vector<OcRow> rows = characteristics(calibration.rule, default_rates(design.theta), method, control);
  line.clear();
  std::fputs(dialogue_table(rows).c_str(), stdout);

  int status = 0;
  std::printf("\n");
  std::fflush(stdout);  // before a boundary file that goes to the same terminal or pipe
  std::vector<int> stages(static_cast<std::size_t>(design.K) + 1, 0);
  const Rule &rule = calibration.rule;
  for (std::size_t i = 0; i < rule.looks.size(); ++i)
    stages[static_cast<std::size_t>(rule.looks[i])] = std::min(rule.counts[i], rule.looks[i] + 1);
  const std::string failure =
      save_text_file(kBoundaryFileName, boundary_file_text(argv0 != nullptr ? argv0 : "", stages.data(),
                                                           calibration.constant, calibration.phi_star, design.K,
                                                           design.theta, design.phi));
  if (failure.empty()) {
    std::printf("The boundary has been written to file %s in a format\n", kBoundaryFileName);
    std::printf("appropriate for reading into other supplied programs (e.g. tolk3).\n");
  } else {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), one_line(failure).c_str());
    std::printf("The boundary could not be written to file %s (the reason is on standard error).\n",
                kBoundaryFileName);
    status = 1;
  }
  const std::string date = datetime_text();
  if (!date.empty()) std::printf("Date and time: %s\n\n", date.c_str());
  std::printf("\n");
  return status;
}

}  // namespace contmon::app
