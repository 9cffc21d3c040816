// Routines shared by the writers of the outputs module, exposed for its tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "outputs/outputs.h"

/// printf into a string.
std::string format_string(const char *format, ...) __attribute__((format(printf, 1, 2)));

/// Whether looks are 1..K, a look after every patient.
bool every_patient(const std::vector<int> &looks, int K);

/// The looks as a list in words, arithmetic runs of five or more condensed: "5, 10, ..., 30", "3, 7 and 12".
std::string look_list(const std::vector<int> &looks);

/// The schedule for the design line: "a look after every patient", "looks at patients 5, 10, ..., 30".
std::string looks_phrase(const std::vector<int> &looks, int K);

/// The shape's name as --shape writes it, without its parameters: "wt", "bayes", ...
std::string shape_name(const Shape &shape);

/// A probability in a sentence: three decimals, or from 0.001 down (0.999 up) two significant digits of it
/// (of its distance from 1).
std::string probability_words(double p);

/// text broken at blanks, never around "=", into lines of at most width columns (longer words stand alone),
/// each ending in "\n".
std::string wrap_text(const std::string &text, std::size_t width);

/// The text report.
void write_text(std::FILE *out, const RunResult &result);

/// The Markdown report.
void write_markdown(std::FILE *out, const RunResult &result);

/// The JSON document, indented by 2, ending in a line feed.
void write_json(std::FILE *out, const RunResult &result);

/// The operating-characteristics table as CSV with a header row.
void write_csv(std::FILE *out, const RunResult &result);
