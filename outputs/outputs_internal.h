// Routines shared by the writers, exposed for their tests.
#pragma once

#include <string>
#include <vector>

#include "contmon/writers.h"
#include "core/text.h"

namespace contmon {

/// Whether looks are 1..K, a look after every patient.
bool every_patient(const std::vector<int> &looks, int K);

/// The looks as a list in words, arithmetic runs of five or more condensed: "5, 10, ..., 30", "3, 7 and 12".
std::string look_list(const std::vector<int> &looks);

/// The schedule for the design line: "a look after every patient", "looks at patients 5, 10, ..., 30".
std::string looks_phrase(const std::vector<int> &looks, int K);

/// A probability in a sentence: three decimals, or from 0.001 down (0.999 up) two significant digits of it
/// (of its distance from 1).
std::string probability_words(double p);

/// text broken at blanks, never around "=", into lines of at most width columns (longer words stand alone),
/// each ending in "\n".
std::string wrap_text(const std::string &text, std::size_t width);

/// A standard error with `decimals` decimals; one that would show as zero although it is not shows as
/// "< 0.000005" (for 5 decimals) instead.
std::string standard_error_text(double value, int decimals);

/// The decision table as the text report prints it (a header and a row per run of looks, or "none"), and as
/// Markdown.
std::string decision_table_text(const Rule &rule);
std::string decision_table_markdown(const Rule &rule);

/// The comparison as JSON ({"designs": [...]}) and as CSV with a leading column "shape".
std::string comparison_json(const std::vector<Report> &reports);
std::string comparison_csv(const std::vector<Report> &reports);

/// The Markdown report of a comparison.
std::string comparison_markdown(const std::vector<Report> &reports);

/// The text report, body and ending.
std::string to_text(const Report &report);

}  // namespace contmon
