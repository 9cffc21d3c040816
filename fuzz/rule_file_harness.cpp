// The harness of rule files and look lists: each judge works out from the
// input alone, by plain rules of its own, what an accepted outcome must hold.
#include "fuzz/rule_file_harness.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "core/text.h"
#include "design/parse.h"

using namespace contmon;

namespace {

std::vector<std::string> split(const std::string &text, char separator) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == separator)
      pieces.emplace_back();
    else
      pieces.back().push_back(c);
  }
  return pieces;
}

// Digits only, read up to 100,000; -1 for anything else.
long digits_value(const std::string &word) {
  if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos) return -1;
  long value = 0;
  for (char c : word) value = std::min(value * 10 + (c - '0'), 100000L);
  return value;
}

std::vector<std::string> words(const std::string &line) {
  std::istringstream in(line);
  std::vector<std::string> result;
  for (std::string word; in >> word;) result.push_back(word);
  return result;
}

// The look and count pairs the lines of text give as "n b" or as a boundary file's stages, as the rule must
// hold them; false when the lines do not give a rule.
bool expected_rule(const std::vector<std::string> &lines, bool boundary_format, Rule *rule) {
  if (boundary_format) {
    if (lines.size() < 2) return false;
    const std::vector<std::string> k = words(lines[1]);
    rule->K = k.size() == 1 ? static_cast<int>(digits_value(k[0])) : -1;
    if (rule->K < 1 || lines.size() < static_cast<std::size_t>(rule->K) + 2) return false;
    for (int stage = 1; stage <= rule->K; ++stage) {
      const std::vector<std::string> w = words(lines[static_cast<std::size_t>(stage) + 1]);
      if (w.size() != 2 || w[0] != "-1" || digits_value(w[1]) < 1) return false;
      const long upper = digits_value(w[1]);
      if (upper > rule->K && stage < rule->K) continue;
      rule->looks.push_back(stage);
      rule->counts.push_back(static_cast<int>(std::min<long>(upper, rule->K + 1)));
    }
    return true;
  }
  for (const std::string &line : lines) {
    const std::vector<std::string> w = words(line.substr(0, line.find('#')));
    if (w.size() != 2) continue;
    rule->looks.push_back(static_cast<int>(digits_value(w[0])));
    rule->counts.push_back(static_cast<int>(digits_value(w[1])));
  }
  if (rule->looks.empty()) return false;
  rule->K = rule->looks.back();
  for (int &count : rule->counts) count = std::min(count, rule->K + 1);
  return true;
}

bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

}  // namespace

std::string rule_file_fault(const std::string &input, const std::string &message, const RuleFile &file) {
  // A byte-order mark before the text is no part of it.
  const std::string text = input.rfind("\xEF\xBB\xBF", 0) == 0 ? input.substr(3) : input;
  // The lines: a final line feed ends the last one; an empty file counts as one empty line.
  std::vector<std::string> lines = split(text, '\n');
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  if (!message.empty()) {
    if (message.back() != '\n') return "the message does not end in a line feed";
    if (std::any_of(message.begin(), message.end() - 1, is_control))
      return "the message holds a line feed or a control character before its end";
    const std::string prefix = std::string("--evaluate ") + kFuzzRuleFileName + ": line ";
    if (message.compare(0, prefix.size(), prefix) != 0)
      return "the message does not begin with '" + prefix + "'";
    const std::size_t colon = message.find(": ", prefix.size());
    const long line =
        colon == std::string::npos ? -1 : digits_value(message.substr(prefix.size(), colon - prefix.size()));
    if (line < 1 || line > static_cast<long>(lines.size()))
      return "the message names no line within the file's " + std::to_string(lines.size());
    if (message.size() > 300) return "a message of " + std::to_string(message.size()) + " characters";
    return "";
  }
  if (text.find('\0') != std::string::npos) return "a NUL byte accepted";
  for (const std::string &line : lines)
    if (line.size() > 1000) return "a line of " + std::to_string(line.size()) + " characters accepted";
  const Rule &rule = file.rule;
  if (rule.K < 1 || rule.K > 255) return "K = " + std::to_string(rule.K) + " accepted";
  if (rule.looks.empty() || rule.looks.size() != rule.counts.size()) return "not one count per look";
  if (rule.looks.front() < 1 || rule.looks.back() != rule.K) return "the looks do not end at K";
  if (!std::is_sorted(rule.looks.begin(), rule.looks.end()) ||
      std::adjacent_find(rule.looks.begin(), rule.looks.end()) != rule.looks.end())
    return "the looks do not ascend";
  for (int count : rule.counts)
    if (count < 1 || count > rule.K + 1) return "a count of " + std::to_string(count);
  if (file.theta.has_value() != file.boundary_format) return "THETA without the boundary format or missing";
  if (file.theta && !(*file.theta > 0.0 && *file.theta < 1.0)) return "THETA out of (0, 1)";
  if (file.phi && (!file.boundary_format || !(*file.phi > 0.0 && *file.phi < 1.0))) return "PHI out of place";
  Rule expected;
  if (!expected_rule(lines, file.boundary_format, &expected)) return "accepted lines that give no rule";
  if (file.boundary_format) {
    // Whole: a closing line of the probability of stopping after the stages, it and every line before it
    // ended by its line feed.
    auto is_closing = [](const std::string &line) {
      const std::size_t first = line.find_first_not_of(" \t");
      return first != std::string::npos && line.compare(first, 30, "pr(Hitting the upper boundary)") == 0;
    };
    std::size_t closing = static_cast<std::size_t>(rule.K) + 2;
    while (closing < lines.size() && !is_closing(lines[closing])) ++closing;
    if (closing >= lines.size()) return "a boundary file without its closing line accepted";
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) <= closing)
      return "a boundary file cut short within its lines accepted";
    // THETA as line 1 gives it; PHI from the one free-text line that begins with "PHI" and a blank or '=',
    // among those ended by a line feed (a last line cut short is passed over).
    if (*file.theta != std::strtod(lines[0].c_str(), nullptr)) return "THETA differs from line 1";
    int phi_lines = 0;
    const std::size_t ended_lines = text.back() == '\n' ? lines.size() : lines.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(rule.K) + 2; i < ended_lines; ++i) {
      std::string line = lines[i];
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t first = line.find_first_not_of(" \t");
      const std::string start = first == std::string::npos ? "" : line.substr(first, 4);
      if (start.rfind("PHI", 0) == 0 &&
          (start.size() == 3 || start[3] == ' ' || start[3] == '\t' || start[3] == '='))
        ++phi_lines;
    }
    if (phi_lines > 1 || file.phi.has_value() != (phi_lines == 1))
      return "PHI without its one line, or missing";
  }
  if (expected.K != rule.K || expected.looks != rule.looks || expected.counts != rule.counts)
    return "the rule differs from the one the lines give";
  return "";
}

std::string looks_fault(const std::string &text, const std::string &message, const std::vector<int> &looks) {
  const std::vector<std::string> items = split(text, ',');
  bool valid = !text.empty() && items.size() <= kMaxLookItems;
  std::vector<bool> in(256, false);
  for (const std::string &item : items) {
    const std::vector<std::string> part = split(item, ':');
    const long value = part.size() == 1 ? digits_value(part[0]) : -1;
    if (value >= 1 && value <= 255) {
      in[static_cast<std::size_t>(value)] = true;
      continue;
    }
    const long from = part.size() == 3 ? digits_value(part[0]) : -1;
    const long to = part.size() == 3 ? digits_value(part[1]) : -1;
    const long step = part.size() == 3 ? digits_value(part[2]) : -1;
    if (from < 1 || to > 255 || from > to || step < 1) {
      valid = false;
      continue;
    }
    for (long n = from; n <= to; ++n)
      if ((n - from) % step == 0) in[static_cast<std::size_t>(n)] = true;
  }
  if (!valid) {
    // The list as a message shows it: cut after 80 bytes, control characters and stray bytes made visible.
    const std::string prefix = "invalid --looks " + in_quotes(text) + ": ";
    if (message.compare(0, prefix.size(), prefix) != 0 || message.size() == prefix.size())
      return "no message of --looks for an invalid list";
    if (message.find('\n', prefix.size()) != std::string::npos) return "a message of more than one line";
    return "";
  }
  if (!message.empty()) return "a valid list refused: " + message;
  std::vector<int> expected;
  for (int n = 1; n <= 255; ++n)
    if (in[static_cast<std::size_t>(n)]) expected.push_back(n);
  return expected == looks ? "" : "the looks differ from those the list gives";
}

std::string schedule_fault(int K, const std::vector<int> &list, int cohort, int start,
                           const std::string &message, const std::vector<int> &looks) {
  bool valid = K >= 1 && K <= 255 && (list.empty() || cohort == 0) && cohort >= 0 && cohort <= K &&
               start >= 0 && start <= K;
  for (int look : list) valid = valid && look >= 1 && look <= K && look >= start;
  if (!valid) {
    if (message.empty() || message.find('\n') != std::string::npos)
      return "no one-line message for the schedule";
    return "";
  }
  if (!message.empty()) return "a valid schedule refused: " + message;
  std::vector<int> expected;
  for (int n = std::max(start, 1); n <= K; ++n) {
    const bool listed = !list.empty() ? std::find(list.begin(), list.end(), n) != list.end()
                        : cohort > 0  ? n % cohort == 0
                                      : true;
    if (listed || n == K) expected.push_back(n);
  }
  return expected == looks ? "" : "the schedule differs from the looks it should give";
}

std::string check_rule_input(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  RuleFile file;
  const std::string message = read_rule_file(kFuzzRuleFileName, text, &file);
  std::string fault = rule_file_fault(text, message, file);
  if (!fault.empty()) return "rule file: " + fault;

  const std::string looks_text = text.substr(0, text.find('\n'));
  std::vector<int> list;
  const std::string looks_message = read_looks(looks_text, &list);
  fault = looks_fault(looks_text, looks_message, list);
  if (!fault.empty()) return "--looks: " + fault;

  // K from the rule when there is one, else from the last byte; a cohort and a start from the two before it.
  auto byte_from_end = [&](std::size_t k) { return size > k ? static_cast<int>(data[size - 1 - k]) : 0; };
  const int K = message.empty() ? file.rule.K : 1 + byte_from_end(0) % 255;
  const int cohort = byte_from_end(1) < 128 ? 0 : byte_from_end(1) - 127;
  const int start = byte_from_end(2) < 128 ? 0 : byte_from_end(2) - 127;
  std::vector<int> looks;
  const std::string schedule_message = read_schedule(K, list, cohort, start, &looks);
  fault = schedule_fault(K, list, cohort, start, schedule_message, looks);
  return fault.empty() ? "" : "schedule: " + fault;
}
