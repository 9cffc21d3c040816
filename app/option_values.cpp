// The values of the output options and of whole-number options such as a
// cohort size.
#include <string>

#include "app/command_line.h"
#include "core/text.h"

namespace contmon::app {

std::string read_whole_option(std::string_view option, std::string_view text, int low, int high, int *value) {
  const std::string message = "invalid " + std::string(option) + " " + in_quotes(text) +
                              ": give a whole number from " + std::to_string(low) + " to " +
                              std::to_string(high);
  // An optional plus sign, as K takes one, then plain digits.
  const std::string_view digits = !text.empty() && text.front() == '+' ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string_view::npos)
    return message;
  const long long number = std::stoll(std::string(digits));
  if (number < low || number > high) return message;
  *value = static_cast<int>(number);
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
    return "invalid --format " + in_quotes(text) + ": the formats are text, markdown, json and csv";
  }
  return "";
}

}  // namespace contmon::app
