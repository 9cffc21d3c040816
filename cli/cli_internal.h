// Routines private to the command line, exposed for its tests: the strict
// reading of numbers, rate lists and look lists, and the suggestion for a
// mistyped option. Each returns an empty string on success and otherwise
// the message (without the program name), leaving its output unspecified.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "design/design.h"
#include "outputs/outputs.h"

/// The most rates a --rates list may give.
inline constexpr std::size_t kMaxRates = 10000;

/// The most items a --looks list may give.
inline constexpr std::size_t kMaxLookItems = 10000;

/// Reads text as K: one whole number (optional sign, decimal digits) from 1 to kMaxStages.
std::string read_sample_size(std::string_view text, int *K);

/// Reads text as the probability named field: one decimal number strictly between 0 and 1.
std::string read_probability(std::string_view field, std::string_view text, double *p);

/// Reads a --rates list: comma-separated rates and FROM:TO:STEP ranges, expanded in the order given.
std::string read_rates(std::string_view text, std::vector<double> *rates);

/// Splits a range FROM:TO:STEP into its three parts (any of them may be empty); false unless item has exactly
/// two colons.
bool split_range(std::string_view item, std::string_view part[3]);

/// Reads text as one finite number in plain decimal notation (sign, digits, one point, exponent); false if
/// it is not one.
bool read_decimal(std::string_view text, double *value);

/// Reads the value of a whole-number option such as --cohort: plain digits from low to high.
std::string read_whole_option(std::string_view option, std::string_view text, int low, int high, int *value);

/// Reads a --looks list: comma-separated looks and FROM:TO:STEP ranges of whole numbers from 1 to kMaxStages,
/// in any order; *looks gets them ascending, each once.
std::string read_looks(const std::string &text, std::vector<int> *looks);

/// Reads a --shape value: pocock, obf, wt:DELTA, bayes:A,B, sprt:P1 or maxsprt.
std::string read_shape(std::string_view text, Shape *shape);

/// Reads a --format value: text, markdown, json or csv.
std::string read_format(std::string_view text, OutputFormat *format);

/// The known long option nearest to option (two edits at most, e.g. "--exact" for "--exac"), or "".
std::string nearest_option(std::string_view option);
