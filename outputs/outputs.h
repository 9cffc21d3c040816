// Public interface of the outputs of a run with arguments: the decision
// table and the paste-ready sentence, and the report as text, Markdown, JSON,
// CSV, an SVG picture and a self-contained HTML page. Writers never compute:
// every format prints the figures of one RunResult.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "design/design.h"

/// Everything a run found, as the writers print it.
struct RunResult {
  std::string program;   ///< the name the program was invoked by, without its folder
  std::string version;   ///< the project version, e.g. "1.2"
  bool exact = false;    ///< exact figures; else simulated
  long long trials = 0;  ///< simulated trials per figure (simulation only)
  int seed = 0;          ///< the generator's seed (simulation only)
  std::string date;      ///< local date and time of the run, e.g. "Wed Dec  9 10:00:00 2026"

  Design design;  ///< K, theta, PHI, shape, looks, minimum events (for --evaluate: from the rule)
  std::optional<double> alternative;  ///< P1
  std::vector<double> rates;          ///< the rates asked for (--rates); empty: the default rows

  bool evaluated = false;  ///< --evaluate: the rule was read, not searched
  std::string rule_file;   ///< with evaluated: the file it came from
  bool has_phi = true;     ///< PHI is known (always, except for --evaluate of a plain rule file)
  bool has_theta = true;   ///< theta is known (always, except for --evaluate of a plain rule file)

  Calibration calibration;  ///< the rule and, unless evaluated, its constant, PHI* and the neighbour

  std::vector<OcRow> oc;                       ///< the table's rows, in order
  std::optional<std::size_t> theta_row;        ///< the row at theta, when the table has one
  std::optional<std::size_t> alternative_row;  ///< the row at P1, with an alternative
  std::vector<OcRow> curve;                    ///< exact figures on a fine grid of rates, for the pictures

  std::string boundary_file;          ///< where the boundary file went; empty: not written
  bool boundary_file_failed = false;  ///< it could not be written (the reason is on standard error)
};

/// One row of the decision table: at looks from..to the trial stops when events reach count.
struct DecisionRow {
  int from = 0;
  int to = 0;
  int count = 0;
};

/// The rule condensed: one row per run of consecutive looks (consecutive in the rule's list) with the same
/// count, leaving out looks whose count is above the look (no stop possible there).
std::vector<DecisionRow> decision_table(const Rule &rule);

/// One sentence stating the rule and its probability of stopping at theta (and at P1, with an alternative).
std::string decision_sentence(const RunResult &result);

/// The output formats of --format.
enum class OutputFormat { kText, kMarkdown, kJson, kCsv };

/// Writes the report in the format on out (text: the full text report of a run with arguments).
void write_report(std::FILE *out, OutputFormat format, const RunResult &result);

/// Writes the text report up to the lines on the boundary file, which may be written after it (so that a
/// boundary file sent to the same pipe follows the report).
void write_text_report_body(std::FILE *out, const RunResult &result);

/// Writes the text report's closing lines: the boundary file's fate and the date.
void write_text_report_ending(std::FILE *out, const RunResult &result);

/// The SVG picture: the boundary as a step function and the operating-characteristic curves.
std::string svg_picture(const RunResult &result);

/// The self-contained HTML report page.
std::string html_page(const RunResult &result);
