// The outputs of an analysis as strings: the decision table and the sentence
// for a protocol, the report as text, Markdown, JSON and CSV, an SVG picture,
// a self-contained HTML page and the boundary file. Writers never compute and
// never touch a file: every format prints the figures of one Report.
#pragma once

#include <string>
#include <vector>

#include "contmon/report.h"

namespace contmon {

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
std::string decision_sentence(const Report &report);

/// The output formats of --format.
enum class OutputFormat { kText, kMarkdown, kJson, kCsv };

/// The report in the format (text: the full text report).
std::string to_format(OutputFormat format, const Report &report);

/// The text report up to the lines on the boundary file, which a program may write in between.
std::string text_report_body(const Report &report);

/// The text report's closing lines: the boundary file's fate and the date.
std::string text_report_ending(const Report &report);

/// The Markdown report.
std::string to_markdown(const Report &report);

/// The JSON document, indented by 2, ending in a line feed.
std::string to_json(const Report &report);

/// The operating-characteristics table as CSV with a header row.
std::string to_csv(const Report &report);

/// The SVG picture: the boundary as a step function and the operating-characteristic curves.
std::string to_svg(const Report &report);

/// The self-contained HTML report page.
std::string to_html(const Report &report);

/// The boundary file of the report's rule, naming `generator` as the program that wrote it: THETA, K, a line
/// "-1 b" per stage (K + 1 where a stage is not a look), then PHI (when known), PHI* and the constant (of a
/// calibrated design), each the shortest decimal that reads back exactly. A rule without THETA is written as
/// lines "n b" instead. Either form reads back with --evaluate to the same rule.
std::string boundary_file_text(const Report &report, const std::string &generator);

/// The dialogue's boundary file for the stage boundary b[1..K], numbers as "%g" prints them, with the constant's
/// line labelled constant_label (at most five characters: "ALPHA" for a Pocock level, "c" for another shape's).
std::string boundary_file_text(const std::string &generator, const int *b, double constant, double phi_star, int K,
                               double theta, double phi, const char *constant_label = "ALPHA");

/// The dialogue's results for a calibrated design: K, THETA, PHI, PHI*, ALPHA and the boundary after every
/// patient, b[n] = n + 1 where no count can stop the trial.
std::string dialogue_results(const Design &design, const Calibration &calibration);

/// The dialogue's table of operating characteristics, rates with two decimals, and its definitions.
std::string dialogue_table(const std::vector<OcRow> &rows);

/// The decimals (2 to 9) that show every rate: 2 for hundredths, 3 for 0.125, ...
int rate_decimals(const std::vector<double> &rates);

}  // namespace contmon
