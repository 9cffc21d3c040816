// The command line: what a run asks for, read from its arguments, and the
// help and version texts. Errors in the arguments are values, not exits: main
// decides what to print and the exit status.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contmon/writers.h"

namespace contmon::app {

/// The engine the command line asks for.
enum class EngineChoice { kDefault, kSimulation, kExact };

/// What a run asks for.
struct RunRequest {
  EngineChoice engine = EngineChoice::kDefault;  ///< --exact, --simulate; the last one given counts
  bool has_numbers = false;                      ///< K THETA PHI were arguments; else the dialogue asks
  int K = 0;                                     ///< with has_numbers: 1..255
  double THETA = 0.0;                            ///< with has_numbers: in (0, 1)
  double PHI = 0.0;                              ///< with has_numbers: in (0, 1)
  std::optional<std::string> output_file;        ///< -o FILE; none: the default name
  bool no_output = false;                        ///< --no-output (after any -o)
  std::vector<double> rates;                     ///< --rates, in the order given; empty: the default rows
  std::optional<double> alternative;             ///< --alternative P1
  std::optional<Accrual> accrual;                ///< --accrual A --window TAU

  Shape shape;                      ///< --shape; pocock when not given; the first when given more than once
  std::vector<Shape> compared;      ///< every --shape when given more than once: a comparison
  std::optional<double> constant;   ///< --constant C: the shape's rule at C, not calibrated
  std::optional<double> find_k;     ///< --find-k POWER: the smallest K with this power at --alternative
  bool has_phi = true;              ///< PHI was given (it may be left out with --constant)
  bool by_look = false;             ///< --by-look
  std::optional<int> trials;        ///< --trials N
  std::optional<int> seed;          ///< --seed S
  std::vector<int> looks;           ///< --looks, ascending without repeats; empty: not given
  int cohort = 0;                   ///< --cohort C; 0: not given
  int start = 0;                    ///< --start N0; 0: not given
  int min_events = 1;               ///< --min-events M
  bool design_options = false;      ///< any of --shape, --looks, --cohort, --start, --min-events was given
  std::optional<std::string> evaluate_file;  ///< --evaluate FILE: the rule to evaluate instead of a search
  OutputFormat format = OutputFormat::kText;  ///< --format
  std::optional<std::string> plot_file;       ///< --plot FILE.svg
  std::optional<std::string> report_file;     ///< --report FILE.html
};

/// What the program is to do.
enum class CommandAction {
  kRun,      ///< run with the request
  kHelp,     ///< print text on standard output, exit 0
  kVersion,  ///< print text on standard output, exit 0
  kFail,     ///< print text on standard error, exit 1
};

/// A command line read.
struct Command {
  CommandAction action = CommandAction::kRun;
  RunRequest request;  ///< with kRun
  std::string text;    ///< with the other actions: whole lines, each ended by a line feed
};

/// Reads argv[0..argc-1]. Prints nothing, never exits.
Command parse_command_line(int argc, const char *const argv[]);

/// "" when the alternative P1 fits THETA (P1 above THETA), else the message for it, on one line ended by a
/// line feed; used when THETA comes from the dialogue.
std::string check_alternative(const char *argv0, double P1, double THETA);

/// "" when a boundary file can be written as file: its folder exists, it is not a folder itself, and it is
/// not the regular file that standard output or standard error go to; else the message for --output, on one
/// line ended by a line feed. Checked before a run so that it does not fail at its end.
std::string check_output_file(const char *argv0, const std::string &file, const char *option = "--output");

/// The help text of the program invoked as argv0.
std::string help_text(const char *argv0);

/// The project version, e.g. "1.2".
const char *project_version();

/// The program name and the project version, one line.
std::string version_text(const char *argv0);

/// Reads the value of a whole-number option such as --cohort: plain digits from low to high.
std::string read_whole_option(std::string_view option, std::string_view text, int low, int high, int *value);

/// Reads a --format value: text, markdown, json or csv.
std::string read_format(std::string_view text, OutputFormat *format);

/// The known long option nearest to option (two edits at most, e.g. "--exact" for "--exac"), or "".
std::string nearest_option(std::string_view option);

}  // namespace contmon::app
