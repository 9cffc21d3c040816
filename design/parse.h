// The readers of the command line's values, as messages: each returns an
// empty string on success and otherwise the message (without the program
// name), its output then left as it may be. The public parse_* functions throw
// these messages as contmon::Error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "contmon/design.h"

namespace contmon {

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

/// Reads a --looks list: comma-separated looks and FROM:TO:STEP ranges of whole numbers from 1 to kMaxStages,
/// in any order; *looks gets them ascending, each once.
std::string read_looks(std::string_view text, std::vector<int> *looks);

/// Reads a --shape value: pocock, obf, wt:DELTA, bayes:A,B, sprt:P1 or maxsprt.
std::string read_shape(std::string_view text, Shape *shape);

/// The message for a shape whose parameters are out of range, or that does not fit theta (sprt:P1 needs P1
/// above theta); "" when it is sound.
std::string shape_fault(const Shape &shape, double theta);

/// The looks for K as schedule_looks gives them, or the message.
std::string read_schedule(int K, const std::vector<int> &list, int cohort, int start, std::vector<int> *looks);

/// The message for the first field of the design out of range, or "".
std::string design_fault(const Design &design, std::string *field);

/// Reads a rule file as parse_rule_file does: "" and *file, or the message ending in a line feed.
std::string read_rule_file(std::string_view name, std::string_view text, RuleFile *file);

}  // namespace contmon
