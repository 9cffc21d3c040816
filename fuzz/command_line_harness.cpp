// The command-line harness: the judge works out from the arguments alone, by
// plain rules of its own, what every accepted value must be.
#include "fuzz/command_line_harness.h"

#include "app/options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace contmon;
using namespace contmon::app;

namespace {

bool digits_only(const std::string &s, std::size_t from) {
  if (from >= s.size()) return false;
  for (std::size_t i = from; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

// A number in plain decimal notation: sign, digits with at most one point, exponent; as strtod reads it.
bool plain_decimal(const std::string &s, double *value) {
  std::size_t i = s.size() > 0 && (s[0] == '+' || s[0] == '-') ? 1 : 0;
  const std::size_t mantissa = i;
  bool point = false;
  int digits = 0;
  for (; i < s.size() && ((s[i] >= '0' && s[i] <= '9') || (s[i] == '.' && !point)); ++i) {
    if (s[i] == '.')
      point = true;
    else
      ++digits;
  }
  if (digits == 0 || i == mantissa) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t exponent = i + 1 + (i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-') ? 1 : 0);
    if (!digits_only(s, exponent)) return false;
    i = s.size();
  }
  if (i != s.size()) return false;
  *value = std::strtod(s.c_str(), nullptr);
  return std::isfinite(*value);
}

bool is_probability(double x) { return x > 0.0 && x < 1.0; }

// The long options that take the next argument as their value.
bool takes_value(const std::string &arg) {
  for (const OptionEntry &option : option_table())
    if (arg == option.name) return option.value != nullptr;
  return false;
}

// True when some argument holds word (an option's value may follow "--name="), as messages show typed
// text: a '?' may stand for a control character, and "\xNN" for a byte of no well-formed UTF-8 character
// (or of a byte-order mark).
bool typed(const std::vector<std::string> &args, const std::string &word) {
  // Whether word is shown for the bytes of arg from `from` on.
  const auto shown_at = [&word](const std::string &arg, std::size_t from) {
    std::size_t i = 0;
    for (std::size_t j = from; i < word.size(); ++j) {
      if (j == arg.size()) return false;
      const auto byte = static_cast<unsigned char>(arg[j]);
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      if (byte >= 0x80 && word.compare(i, 4, escape) == 0) {
        i += 4;
      } else if (word[i] == arg[j] || (word[i] == '?' && (byte < 0x20 || byte == 0x7f))) {
        ++i;
      } else {
        return false;
      }
    }
    return true;
  };
  for (const std::string &arg : args) {
    if (word.empty() && (arg.empty() || arg.back() == '=')) return true;
    for (std::size_t from = 0; !word.empty() && from < arg.size(); ++from)
      if (shown_at(arg, from)) return true;
  }
  return false;
}

// The arguments before the "--" that ends the options (not one that is an option's value).
std::vector<std::string> option_part(const std::vector<std::string> &args) {
  std::vector<std::string> part;
  bool value_next = false;  // the argument is the value of the option before it, "--" too
  for (const std::string &arg : args) {
    if (arg == "--" && !value_next) break;
    part.push_back(arg);
    const bool short_o = arg.size() >= 2 && arg[0] == '-' && arg.back() == 'o' &&
                         arg.find_first_not_of('h', 1) == arg.size() - 1;
    value_next = !value_next && (short_o || takes_value(arg));
  }
  return part;
}

// The value of the one --rates option when it can be told without parsing: one "--rates" or "--rates=..."
// among the options, not itself the value of another option.
bool rates_value(const std::vector<std::string> &args, std::string *list) {
  const std::vector<std::string> part = option_part(args);
  int found = 0;
  for (std::size_t i = 0; i < part.size(); ++i) {
    const bool bare = part[i] == "--rates";
    if (!bare && part[i].rfind("--rates=", 0) != 0) continue;
    if (++found > 1 || bare) return false;
    if (i > 0 && (part[i - 1] == "-o" || takes_value(part[i - 1]))) return false;
    *list = part[i].substr(8);
  }
  return found == 1;
}

// Rates that a list cannot give: a plain item must be its own value; a range gives rates between its ends.
std::string rates_fault(const std::vector<double> &rates, const std::string &list) {
  std::vector<double> plain;
  double low = 1.0;
  double high = 0.0;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    const std::string item = list.substr(start, comma - start);
    const std::size_t colon = item.find(':');
    double value = 0.0;
    if (colon == std::string::npos) {
      if (!plain_decimal(item, &value)) return "a --rates item that is not a number accepted: " + item;
      plain.push_back(value);
    } else if (plain_decimal(item.substr(0, colon), &value)) {
      low = std::min(low, value);
      const std::size_t second = item.find(':', colon + 1);
      if (second != std::string::npos && plain_decimal(item.substr(colon + 1, second - colon - 1), &value))
        high = std::max(high, value);
    }
    start = comma + 1;
  }
  for (double rate : rates) {
    bool listed = rate >= low && rate <= high;
    for (double p : plain) listed = listed || p == rate;
    if (!listed) return "a rate the --rates list does not give";
  }
  if (list.find(':') == std::string::npos && rates != plain) return "plain --rates items not kept in order";
  return "";
}

std::string request_fault(const RunRequest &r, const std::vector<std::string> &args) {
  if (r.has_numbers) {
    if (r.K < 1 || r.K > 255) return "K out of range accepted";
    if (!is_probability(r.THETA) || !is_probability(r.PHI)) return "THETA or PHI out of range accepted";
    bool k_typed = false, theta_typed = false, phi_typed = false;
    for (const std::string &arg : args) {
      const std::size_t digits = arg.size() > 0 && (arg[0] == '+' || arg[0] == '-') ? 1 : 0;
      if (digits_only(arg, digits) && std::strtol(arg.c_str(), nullptr, 10) == r.K) k_typed = true;
      double value = 0.0;
      if (plain_decimal(arg, &value) && value == r.THETA) theta_typed = true;
      if (plain_decimal(arg, &value) && value == r.PHI) phi_typed = true;
    }
    if (!k_typed || !theta_typed || !phi_typed)
      return "K, THETA or PHI accepted without a plain number typed";
  }
  if (r.rates.size() > 10000) return "more than 10000 rates accepted";
  for (double rate : r.rates)
    if (!is_probability(rate)) return "a rate outside (0, 1) accepted";
  std::string list;
  if (rates_value(args, &list)) {
    std::string fault = rates_fault(r.rates, list);
    if (!fault.empty()) return fault;
  }
  if (r.alternative) {
    if (!is_probability(*r.alternative)) return "P1 outside (0, 1) accepted";
    if (r.has_numbers && !(*r.alternative > r.THETA)) return "P1 not above THETA accepted";
  }
  for (int value : {r.cohort, r.start})
    if (value < 0 || value > 255) return "a --cohort or --start outside 1..255 accepted";
  if (r.min_events < 1 || r.min_events > 255) return "a --min-events outside 1..255 accepted";
  for (std::size_t i = 0; i < r.looks.size(); ++i)
    if (r.looks[i] < 1 || r.looks[i] > 255 || (i > 0 && r.looks[i] <= r.looks[i - 1]))
      return "--looks not ascending within 1..255";
  if (!r.looks.empty() && r.cohort != 0) return "--looks and --cohort accepted together";
  const Shape &shape = r.shape;
  if (shape.kind == ShapeKind::kWangTsiatis && !(shape.delta >= 0.0 && shape.delta <= 0.5))
    return "a Wang-Tsiatis DELTA outside 0..0.5 accepted";
  if (shape.kind == ShapeKind::kBayes && !(shape.prior_a > 0.0 && shape.prior_b > 0.0))
    return "a prior parameter of 0 or less accepted";
  if (shape.kind == ShapeKind::kSprt && (!is_probability(shape.p1) || (r.has_numbers && !(shape.p1 > r.THETA))))
    return "an SPRT P1 outside (THETA, 1) accepted";
  if (shape.kind == ShapeKind::kChenChaloner &&
      (!(shape.prior_a > 0.0 && shape.prior_b > 0.0) || !is_probability(shape.nu) || !is_probability(shape.p1) ||
       (r.has_numbers && !(shape.p1 > r.THETA))))
    return "a Chen-Chaloner parameter out of range accepted";
  if (r.accrual && !(r.accrual->period > 0.0 && r.accrual->window > 0.0 && std::isfinite(r.accrual->period) &&
                     std::isfinite(r.accrual->window)))
    return "an --accrual or --window that is not a positive number accepted";
  if (r.evaluate_file && (r.design_options || r.evaluate_file->empty()))
    return "--evaluate accepted with design options or an empty name";
  if (r.format != OutputFormat::kText && !r.has_numbers && !r.evaluate_file)
    return "a format for programs accepted with the dialogue";
  if (r.output_file && r.output_file->empty()) return "an empty output file accepted";
  if (r.output_file && !typed(option_part(args), *r.output_file)) return "an output file that was not typed";
  return "";
}

bool has_option(const std::vector<std::string> &args, bool (*is)(const std::string &)) {
  for (const std::string &arg : option_part(args))
    if (is(arg)) return true;
  return false;
}

std::string failure_fault(const std::string &text, const std::vector<std::string> &args) {
  const std::string prefix = "contmon: ";
  const std::string usage = "Try 'contmon --help'.\n";
  if (text.compare(0, prefix.size(), prefix) != 0) return "a failure message without the program name";
  const std::size_t end = text.find('\n');
  if (end == std::string::npos) return "a failure message without a line end";
  const std::string rest = text.substr(end + 1);
  if (!rest.empty() && rest != usage)
    return "more than one message, or a second line other than the usage hint";
  // What a message quotes about a value or an unknown option was typed.
  const std::string line = text.substr(prefix.size(), end - prefix.size());
  for (const char *lead : {"invalid ", "--alternative: invalid ", "unknown option '"}) {
    if (line.rfind(lead, 0) != 0) continue;
    const std::size_t open = line.find('\'');
    // The value may hold quotes itself: an unknown option ends before the suggestion or at the last quote, a
    // value at one of the "': " that follow it.
    std::vector<std::size_t> closes;
    if (lead[0] == 'u') {
      closes.push_back(line.rfind("' (did you mean '") != std::string::npos ? line.rfind("' (did you mean '")
                                                                            : line.rfind('\''));
    } else {
      for (std::size_t at = line.find("': ", open + 1); at != std::string::npos;
           at = line.find("': ", at + 1))
        closes.push_back(at);
    }
    bool found = false;
    for (std::size_t close : closes) {
      if (close <= open) continue;
      std::string quoted = line.substr(open + 1, close - open - 1);
      // An unknown option may be the rest of a bundle of short ones, a dash put before it: -hp gives -h and
      // -p, -help gives -h and -elp, -h-h gives -h and --h.
      if (lead[0] == 'u' && quoted.size() >= 2 && quoted[0] == '-') quoted.erase(0, 1);
      // A long value is shown cut, "..." added.
      if (quoted.size() > 3 && quoted.compare(quoted.size() - 3, 3, "...") == 0)
        found = found || typed(args, quoted.substr(0, quoted.size() - 3));
      found = found || typed(args, quoted);
    }
    if (!found) return "a quoted value that was not typed: " + line;
    break;
  }
  return "";
}

bool same_request(const RunRequest &a, const RunRequest &b) {
  return a.engine == b.engine && a.has_numbers == b.has_numbers && a.K == b.K && a.THETA == b.THETA &&
         a.PHI == b.PHI && a.output_file == b.output_file && a.no_output == b.no_output &&
         a.rates == b.rates && a.alternative == b.alternative;
}

}  // namespace

std::vector<std::string> arguments_of(const std::uint8_t *data, std::size_t size) {
  std::vector<std::string> args;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      if (i > start || i < size) args.emplace_back(data + start, data + i);
      start = i + 1;
    }
  }
  return args;
}

std::string command_line_fault(const Command &command, const std::vector<std::string> &args) {
  switch (command.action) {
    case CommandAction::kRun:
      if (args.empty() && command.request.has_numbers) return "numbers without arguments";
      return request_fault(command.request, args);
    case CommandAction::kHelp:
      if (!has_option(args, [](const std::string &a) { return a == "--help" || a.rfind("-h", 0) == 0; }))
        return "help without -h or --help";
      return command.text == help_text("contmon") ? "" : "help text differs";
    case CommandAction::kVersion:
      if (!has_option(args, [](const std::string &a) { return a == "--version"; })) return "version unasked";
      return command.text == version_text("contmon") ? "" : "version text differs";
    case CommandAction::kFail:
      if (args.empty()) return "a failure without arguments";
      return failure_fault(command.text, args);
  }
  return "an unknown action";
}

std::string check_command_line(const std::uint8_t *data, std::size_t size) {
  const std::vector<std::string> args = arguments_of(data, size);
  std::vector<const char *> argv = {"contmon"};
  for (const std::string &arg : args) argv.push_back(arg.c_str());
  Command first;
  Command second;
  try {
    first = parse_command_line(static_cast<int>(argv.size()), argv.data());
    second = parse_command_line(static_cast<int>(argv.size()), argv.data());
  } catch (...) {
    return "the parser threw";
  }
  if (first.action != second.action || first.text != second.text ||
      !same_request(first.request, second.request))
    return "two parses of the same arguments differ";
  return command_line_fault(first, args);
}
