// The values of the design and output options: a boundary shape with its
// parameters, whole numbers such as a cohort size, and an output format.
#include <string>

#include "cli/cli_internal.h"

namespace {

std::string quoted(std::string_view text) {
  std::string q(1, '\'');
  q.append(text).push_back('\'');
  return q;
}

constexpr const char *kShapes = "pocock, obf, wt:DELTA, bayes:A,B, sprt:P1 or maxsprt";

// The parameters after "name:", split at commas; false when there are not exactly `count` numbers.
bool shape_parameters(std::string_view text, std::size_t count, double values[]) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t comma = text.find(',', start);
    const bool last = i + 1 == count;
    if (last != (comma == std::string_view::npos)) return false;
    if (!read_decimal(text.substr(start, last ? std::string_view::npos : comma - start), &values[i]))
      return false;
    start = comma + 1;
  }
  return true;
}

}  // namespace

std::string read_whole_option(std::string_view option, std::string_view text, int low, int high, int *value) {
  const std::string message = "invalid " + std::string(option) + " " + quoted(text) +
                              ": give a whole number from " + std::to_string(low) + " to " +
                              std::to_string(high);
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
    return message;
  const int number = std::stoi(std::string(text));
  if (number < low || number > high) return message;
  *value = number;
  return "";
}

std::string read_shape(std::string_view text, Shape *shape) {
  const std::string prefix = "invalid --shape " + quoted(text) + ": ";
  const std::size_t colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  const std::string_view parameters = colon == std::string_view::npos ? "" : text.substr(colon + 1);
  const bool has_parameters = colon != std::string_view::npos;
  Shape result;
  double values[2] = {0.0, 0.0};
  if (name == "pocock" || name == "obf" || name == "maxsprt") {
    if (has_parameters) return prefix + std::string(name) + " takes no parameters";
    result.kind = name == "pocock" ? ShapeKind::kPocock
                  : name == "obf"  ? ShapeKind::kObf
                                   : ShapeKind::kMaxSprt;
  } else if (name == "wt") {
    if (!has_parameters || !shape_parameters(parameters, 1, values) ||
        !(values[0] >= 0.0 && values[0] <= 0.5))
      return prefix + "write wt:DELTA with DELTA from 0 to 0.5, as wt:0.25";
    result.kind = ShapeKind::kWangTsiatis;
    result.delta = values[0];
  } else if (name == "bayes") {
    if (!has_parameters || !shape_parameters(parameters, 2, values) || !(values[0] > 0.0) ||
        !(values[1] > 0.0) || values[0] > 1e6 || values[1] > 1e6)
      return prefix +
             "write bayes:A,B with the prior Beta(A, B), A and B above 0 (at most 1e6), as bayes:1,1";
    result.kind = ShapeKind::kBayes;
    result.prior_a = values[0];
    result.prior_b = values[1];
  } else if (name == "sprt") {
    if (!has_parameters || !shape_parameters(parameters, 1, values) || !(values[0] > 0.0 && values[0] < 1.0))
      return prefix +
             "write sprt:P1 with P1 the unacceptable event probability, above THETA and below 1, as "
             "sprt:0.4";
    result.kind = ShapeKind::kSprt;
    result.p1 = values[0];
  } else {
    return prefix + "the shapes are " + kShapes;
  }
  *shape = result;
  return "";
}

std::string read_format(std::string_view text, OutputFormat *format) {
  if (text == "text") {
    *format = OutputFormat::kText;
  } else if (text == "markdown") {
    *format = OutputFormat::kMarkdown;
  } else if (text == "json") {
    *format = OutputFormat::kJson;
  } else if (text == "csv") {
    *format = OutputFormat::kCsv;
  } else {
    return "invalid --format " + quoted(text) + ": the formats are text, markdown, json and csv";
  }
  return "";
}
