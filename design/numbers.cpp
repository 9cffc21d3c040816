// Numbers typed as arguments: each must be one whole token in plain decimal
// notation, read without regard to the locale. Messages quote what was typed
// and, where a common slip explains it, say what to type instead.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/text.h"
#include "design/parse.h"

namespace contmon {

namespace {

// The decimal syntax of a number: an optional sign, digits with at most one decimal point (at least one
// digit), and an optional exponent. Returns the number of fraction digits less the exponent (the decimals
// the number needs), or -1000 when text is not such a number.
constexpr int kNotDecimal = -1000;

int decimal_syntax(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  int digits = 0;
  int fraction_digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      if (point) ++fraction_digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return kNotDecimal;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t exponent_start = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (i == exponent_start) return kNotDecimal;
    if (negative) exponent = -exponent;
  }
  if (i != text.size()) return kNotDecimal;
  return static_cast<int>(std::max<long>(fraction_digits - exponent, kNotDecimal + 1));
}

// The value of text, which has decimal syntax; false when it is beyond the range of a double.
bool decimal_value(std::string_view text, double *value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return chars_to_double(text, value) && std::isfinite(*value);
}

// A value suggested in a hint: 15 significant digits, so that 7.5 / 100 shows as 0.075.
std::string hint_number(double x) { return format_string("%.15g", x); }

// What to type instead of text for a probability, when a common slip explains it; "" otherwise.
std::string probability_hint(std::string_view text) {
  double value = 0.0;
  if (!text.empty() && text.back() == '%') {
    std::string_view number = text.substr(0, text.size() - 1);
    if (decimal_syntax(number) != kNotDecimal && decimal_value(number, &value) && value > 0.0 &&
        value < 100.0)
      return "for " + std::string(number) + "% type " + hint_number(value / 100.0);
    return "";
  }
  if (text.find(',') != std::string_view::npos && text.find(',') == text.rfind(',')) {
    std::string dotted(text);
    dotted[dotted.find(',')] = '.';
    if (decimal_syntax(dotted) != kNotDecimal && decimal_value(dotted, &value) && value > 0.0 && value < 1.0)
      return "write the decimal point as a dot: " + dotted;
    return "";
  }
  if (decimal_syntax(text) == kNotDecimal || !decimal_value(text, &value)) return "";
  if (value == 0.0 || value == 1.0) return "0 and 1 themselves are not allowed";
  if (value > 1.0 && value < 100.0) return "for " + std::string(text) + "% type " + hint_number(value / 100.0);
  return "";
}

std::string with_hint(std::string message, const std::string &hint) {
  return hint.empty() ? message : message + ": " + hint;
}

// The value of the decimal number text rounded to its own decimals, so that a rate built from a range has the
// value its decimal form would have (0.15 + 3 * 0.05 is 0.3, not 0.30000000000000004).
double round_to_decimals(double x, int decimals) {
  if (decimals < 0 || decimals > 15) return x;
  const double scale = std::pow(10.0, decimals);
  return std::round(x * scale) / scale;
}

// True when text is a probability strictly between 0 and 1, stored in *p; otherwise the hint for it.
bool read_unit_interval(std::string_view text, double *p, std::string *hint) {
  double value = 0.0;
  if (decimal_syntax(text) != kNotDecimal && decimal_value(text, &value) && value > 0.0 && value < 1.0) {
    *p = value;
    return true;
  }
  *hint = probability_hint(text);
  return false;
}

// One item of a --rates list: a rate, or a range FROM:TO:STEP expanded into rates.
std::string read_rate_item(std::string_view item, std::vector<double> *rates) {
  const std::string range_form = "a range is FROM:TO:STEP, as 0.1:0.5:0.05";
  if (item.find(':') == std::string_view::npos) {
    double rate = 0.0;
    std::string hint;
    if (!read_unit_interval(item, &rate, &hint))
      return with_hint("item " + in_quotes(item) + " is not a rate between 0 and 1", hint);
    rates->push_back(rate);
    return "";
  }
  std::string_view part[3];
  if (!split_range(item, part)) return "range " + in_quotes(item) + ": " + range_form;
  double from = 0.0;
  double to = 0.0;
  double step = 0.0;
  const char *names[3] = {"FROM", "TO", "STEP"};
  double *values[3] = {&from, &to, &step};
  for (int k = 0; k < 3; ++k) {
    if (decimal_syntax(part[k]) == kNotDecimal || !decimal_value(part[k], values[k]))
      return "range " + in_quotes(item) + ": " + names[k] + " " + in_quotes(part[k]) + " is not a number; " +
             range_form;
  }
  if (!(from > 0.0 && from < 1.0) || !(to > 0.0 && to < 1.0))
    return "range " + in_quotes(item) + ": FROM and TO are rates between 0 and 1";
  if (!(step > 0.0)) return "range " + in_quotes(item) + ": STEP must be above 0";
  if (from > to) return "range " + in_quotes(item) + ": FROM is above TO";
  // The tolerance keeps a TO that the steps reach up to rounding: (0.4 - 0.15) / 0.05 is 4.999999999999999.
  const double steps = std::floor((to - from) / step + 1e-9);
  if (steps + 1 > static_cast<double>(kMaxRates - rates->size()))
    return "range " + in_quotes(item) + " gives more than " + std::to_string(kMaxRates) + " rates";
  const int decimals = std::max(decimal_syntax(part[0]), decimal_syntax(part[2]));
  for (int i = 0; i <= static_cast<int>(steps); ++i) {
    const double rate = round_to_decimals(from + i * step, decimals);
    if (rate > to) break;
    rates->push_back(rate);
  }
  return "";
}

}  // namespace

std::string read_sample_size(std::string_view text, int *K) {
  const std::string message =
      "invalid K " + in_quotes(text) + ": K is a whole number from 1 to " + std::to_string(kMaxStages);
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  const bool whole = !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
  if (!whole) {
    // A whole value in another notation (40.0, 4e1) is meant as that number.
    double value = 0.0;
    if (decimal_syntax(text) != kNotDecimal && decimal_value(text, &value) && value == std::floor(value) &&
        value >= 1.0 && value <= kMaxStages)
      return message + ": write it in plain digits, as " + hint_number(value);
    return message;
  }
  long value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > kMaxStages) return message;
  }
  if (text.front() == '-') value = -value;
  if (value < 1) return message;
  *K = static_cast<int>(value);
  return "";
}

std::string read_probability(std::string_view field, std::string_view text, double *p) {
  std::string hint;
  if (read_unit_interval(text, p, &hint)) return "";
  return with_hint("invalid " + std::string(field) + " " + in_quotes(text) + ": " + std::string(field) +
                       " is a probability between 0 and 1",
                   hint);
}

std::string read_rates(std::string_view text, std::vector<double> *rates) {
  rates->clear();
  const std::string prefix = "invalid --rates " + in_quotes(text) + ": ";
  if (text.empty()) return prefix + "give rates between 0 and 1 and ranges FROM:TO:STEP, separated by commas";
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item = text.substr(start, comma == std::string_view::npos ? comma : comma - start);
    if (item.empty()) return prefix + "an empty item between commas";
    if (rates->size() >= kMaxRates) return prefix + "more than " + std::to_string(kMaxRates) + " rates";
    std::string fault = read_rate_item(item, rates);
    if (!fault.empty()) return prefix + fault;
    if (comma == std::string_view::npos) return "";
    start = comma + 1;
  }
}

bool split_range(std::string_view item, std::string_view part[3]) {
  std::size_t start = 0;
  for (int k = 0; k < 3; ++k) {
    const std::size_t colon = item.find(':', start);
    if ((k < 2) == (colon == std::string_view::npos)) return false;
    part[k] = item.substr(start, k < 2 ? colon - start : std::string_view::npos);
    start = colon + 1;
  }
  return true;
}

bool read_decimal(std::string_view text, double *value) {
  return decimal_syntax(text) != kNotDecimal && decimal_value(text, value);
}

}  // namespace contmon
