// The outputs of an analysis as strings: the decision table and the sentence
// for a protocol, the report as text, Markdown, JSON and CSV, an SVG picture,
// a self-contained HTML page and the boundary file. Writers never compute and
// never touch a file: every format prints the figures of one Report.
#pragma once

#include <cmath>
#include <ctime>
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

/// The command line's arguments that give the report's design back (design_arguments), with --constant C for a
/// fixed constant and without a PHI that was not given.
std::string report_arguments(const Report &report);

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

// ---- Several designs and searches ----------------------------------------------------------------------

/// One row of a comparison of designs: the shape, its constant and PHI*, its power at P1, the expected
/// patients at THETA and at P1, the first patient at which the trial can stop (0: never) and the count at K.
struct ComparisonRow {
  std::string shape;  ///< as --shape writes it
  double constant = 0.0, phi_star = 0.0;
  double power = std::nan(""), mean_n_theta = std::nan(""), mean_n_alternative = std::nan("");
  int first_stop = 0;
  int count_at_K = 0;
};

/// The rows comparing the reports, one per report, in order.
std::vector<ComparisonRow> comparison_rows(const std::vector<Report> &reports);

/// The comparison in the format: text (the table, then each design's decision table and sentence), Markdown,
/// JSON ({"designs": [...]}, each element the document of one report) or CSV (a leading column "shape").
std::string to_format(OutputFormat format, const std::vector<Report> &reports);

/// The comparison as text, without the closing lines (text_report_ending of the first report).
std::string comparison_text(const std::vector<Report> &reports);

/// The SVG picture overlaying the boundaries and the curves of the reports, one colour and dash per design.
std::string to_svg(const std::vector<Report> &reports);

/// The report page of a comparison.
std::string to_html(const std::vector<Report> &reports);

/// The search for the sample size as text: a line per K, then the smallest K reaching the power and the
/// smallest from which every larger one does.
std::string search_text(const SampleSizeSearch &search, double power);

/// The JSON document of the report of the K found, with smallest_k, stable_k, power_target and search added.
std::string to_json(const Report &report, const SampleSizeSearch &search, double power);

/// The dialogue's boundary file for the stage boundary b[1..K], numbers as "%g" prints them, with the constant's
/// line labelled constant_label (at most five characters: "ALPHA" for a Pocock level, "c" for another shape's).
std::string boundary_file_text(const std::string &generator, const int *b, double constant, double phi_star, int K,
                               double theta, double phi, const char *constant_label = "ALPHA");

/// The dialogue's results for a calibrated design: K, THETA, PHI, PHI*, ALPHA and the boundary after every
/// patient, b[n] = n + 1 where no count can stop the trial.
std::string dialogue_results(const Design &design, const Calibration &calibration);

/// The dialogue's table of operating characteristics, rates with two decimals, and its definitions.
std::string dialogue_table(const std::vector<OcRow> &rows);

/// The moment as the outputs print it: the local date and time in C's asctime layout ("Thu Dec 10 05:06:14
/// 2026", the day padded with a blank) for Report::date, and ISO 8601 in UTC for Report::timestamp; "" where
/// the system cannot convert it.
std::string local_date_text(std::time_t moment);
std::string utc_timestamp_text(std::time_t moment);

/// The decimals (2 to 9) that show every rate: 2 for hundredths, 3 for 0.125, ...
int rate_decimals(const std::vector<double> &rates);

}  // namespace contmon
