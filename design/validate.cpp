// The checks of a design and a rule given as values, and the public readers
// of the command line's texts: each fault is a contmon::Error naming its
// field, with the message the command line prints.
#include <string>

#include "core/text.h"
#include "design/parse.h"

namespace contmon {

namespace {

[[noreturn]] void fail(const std::string &field, const std::string &message) { throw Error(field, message); }

std::string looks_fault(const std::vector<int> &looks, int K) {
  int previous = 0;
  for (int look : looks) {
    if (look < 1 || look > K)
      return format_string("invalid looks: look %d is not within 1..K = %d", look, K);
    if (look <= previous)
      return format_string("invalid looks: look %d comes after look %d; the looks must ascend", look, previous);
    previous = look;
  }
  if (!looks.empty() && previous != K)
    return format_string("invalid looks: the last look is %d, but K = %d is always a look", previous, K);
  return "";
}

}  // namespace

std::string design_fault(const Design &design, std::string *field) {
  auto fault = [field](const char *name, std::string message) {
    *field = std::string(name);
    return message;
  };
  if (design.K < 1 || design.K > kMaxStages)
    return fault("K", format_string("invalid K %d: K is a whole number from 1 to %d", design.K, kMaxStages));
  if (!(design.theta > 0.0 && design.theta < 1.0))
    return fault("theta", "invalid THETA " + shortest(design.theta) + ": THETA is a probability between 0 and 1");
  if (!(design.phi > 0.0 && design.phi < 1.0))
    return fault("phi", "invalid PHI " + shortest(design.phi) + ": PHI is a probability between 0 and 1");
  if (std::string message = shape_fault(design.shape, design.theta); !message.empty())
    return fault("shape", message);
  if (std::string message = looks_fault(design.looks, design.K); !message.empty()) return fault("looks", message);
  const int last = design.K;  // the last look, where the most patients have been seen
  if (design.min_events < 1 || design.min_events > last)
    return fault("min_events",
                 format_string("invalid --min-events %d: give a whole number from 1 to %d, the last look (K = %d)",
                               design.min_events, last, design.K));
  return "";
}

void check_design(const Design &design) {
  std::string field;
  const std::string message = design_fault(design, &field);
  if (!message.empty()) fail(field, message);
}

void check_rule(const Rule &rule) {
  if (rule.K < 1 || rule.K > kMaxStages)
    fail("rule", format_string("invalid rule: K = %d is not a whole number from 1 to %d", rule.K, kMaxStages));
  if (rule.looks.empty() || rule.looks.size() != rule.counts.size())
    fail("rule", "invalid rule: give one stopping count for each look");
  if (std::string message = looks_fault(rule.looks, rule.K); !message.empty()) fail("rule", message);
  for (std::size_t i = 0; i < rule.counts.size(); ++i)
    if (rule.counts[i] < 1)
      fail("rule", format_string("invalid rule: the stopping count %d at look %d is not at least 1", rule.counts[i],
                                 rule.looks[i]));
}

int parse_sample_size(std::string_view text) {
  int K = 0;
  const std::string fault = read_sample_size(text, &K);
  if (!fault.empty()) fail("K", fault);
  return K;
}

double parse_probability(std::string_view field, std::string_view text) {
  double p = 0.0;
  const std::string fault = read_probability(field, text, &p);
  if (!fault.empty()) fail(std::string(field), fault);
  return p;
}

double parse_number(std::string_view option, std::string_view text) {
  double value = 0.0;
  if (!read_decimal(text, &value))
    fail(std::string(option.substr(option.find_first_not_of('-'))),
         "invalid " + std::string(option) + " " + in_quotes(text) + ": give a number, as " + std::string(option) +
             " 0.9");
  return value;
}

double parse_duration(std::string_view option, std::string_view text) {
  double value = 0.0;
  if (!read_decimal(text, &value) || !(value > 0.0))
    fail(std::string(option == "--window" ? "window" : "accrual"),
         "invalid " + std::string(option) + " " + in_quotes(text) + ": give a positive number of time units, as " +
             std::string(option) + (option == "--window" ? " 28" : " 365"));
  return value;
}

std::vector<double> parse_rates(std::string_view text) {
  std::vector<double> rates;
  const std::string fault = read_rates(text, &rates);
  if (!fault.empty()) fail("rates", fault);
  return rates;
}

std::vector<int> parse_looks(std::string_view text) {
  std::vector<int> looks;
  const std::string fault = read_looks(text, &looks);
  if (!fault.empty()) fail("looks", fault);
  return looks;
}

std::vector<int> schedule_looks(int K, const std::vector<int> &list, int cohort, int start) {
  std::vector<int> looks;
  const std::string fault = read_schedule(K, list, cohort, start, &looks);
  if (!fault.empty()) fail("looks", fault);
  return looks;
}

}  // namespace contmon
