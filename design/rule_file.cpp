// Rule files for --evaluate: the program's own boundary file, or lines "n b"
// giving each look and its stopping count. Numbers are read strictly, as
// whole words in plain notation, and the first fault found is reported on one
// line with its line number.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "design/parse.h"

namespace contmon {

namespace {

// Longer lines are refused: no rule needs them, and the message would not fit on a screen.
constexpr std::size_t kMaxLineLength = 1000;
// Words quoted in a message are cut to this many characters.
constexpr std::size_t kMaxShown = 40;
// Whole numbers are read up to this value; larger ones are kept as it (they are out of every range).
constexpr long kSaturation = 1000000000;

const char *const kLookLine = "a look and its stopping count, two whole numbers such as '12 3'";

// The lines of a text, split at line feeds (a final line feed ends the last line rather than beginning another)
// and found as they are asked for, so that memory follows the rule, not the file: reading on from the last
// line asked for costs nothing more.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  // Line i (from 0) in *line, and whether a line feed ends it; false past the last line.
  bool get(std::size_t i, std::string_view *line, bool *ended = nullptr) {
    if (i < index_) index_ = offset_ = 0;
    for (; index_ < i; ++index_) {
      const std::size_t end = text_.find('\n', offset_);
      if (end == std::string_view::npos) return false;
      offset_ = end + 1;
    }
    if (offset_ >= text_.size()) return false;
    const std::size_t end = text_.find('\n', offset_);
    *line = text_.substr(offset_, end == std::string_view::npos ? end : end - offset_);
    if (ended != nullptr) *ended = end != std::string_view::npos;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t index_ = 0;   // of the line that starts at offset_
  std::size_t offset_ = 0;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The line without the blanks around it and without the carriage return of a CRLF line end.
std::string_view trimmed(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && is_blank(line.back())) line.remove_suffix(1);
  return line;
}

// The words of a trimmed line, separated by blanks.
std::vector<std::string_view> words_of(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_blank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !is_blank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// A whole number in plain digits, no sign; values above kSaturation are read as kSaturation.
bool whole_number(std::string_view word, long *value) {
  if (word.empty()) return false;
  long v = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    v = std::min(v * 10 + (c - '0'), kSaturation);
  }
  *value = v;
  return true;
}

// Plain decimal notation without a sign: digits with at most one point (at least one digit), then an
// optional exponent. Sets *fractional when the word has a point or an exponent.
bool decimal_syntax(std::string_view word, bool *fractional) {
  std::size_t i = 0;
  int digits = 0;
  bool point = false;
  for (; i < word.size(); ++i) {
    if (word[i] >= '0' && word[i] <= '9')
      ++digits;
    else if (word[i] == '.' && !point)
      point = true;
    else
      break;
  }
  if (digits == 0) return false;
  bool exponent = false;
  if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
    exponent = true;
    ++i;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
    const std::size_t first = i;
    while (i < word.size() && word[i] >= '0' && word[i] <= '9') ++i;
    if (i == first) return false;
  }
  *fractional = point || exponent;
  return i == word.size();
}

// A probability strictly between 0 and 1 in plain decimal notation.
bool probability(std::string_view word, double *p) {
  bool fractional = false;
  if (!decimal_syntax(word, &fractional)) return false;
  double value = 0.0;
  if (!chars_to_double(word, &value) || !(value > 0.0 && value < 1.0)) return false;
  *p = value;
  return true;
}

// What a line held, for a message: quoted and cut, or "an empty line".
std::string found(std::string_view text) { return text.empty() ? "found an empty line" : "found " + in_quotes(text, kMaxShown); }

std::string quoted_word(std::string_view word) { return in_quotes(word, kMaxShown); }

// The reading of one file: its lines, and the message for a fault on one of them.
class RuleReader {
 public:
  // A byte-order mark before the text, as some editors write, is no part of it.
  RuleReader(std::string_view name, std::string_view text)
      : name_(name), lines_(text.substr(text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0)) {}

  std::string read(RuleFile *file) {
    std::string_view first_line;
    if (!lines_.get(0, &first_line))
      return fault(1, "the file is empty; expected lines 'n b', " + std::string(kLookLine) +
                          ", or a boundary file written by the program");
    // A boundary file begins with THETA alone on its line, a number with a point or an exponent; a first
    // line "n b" has two words and a look alone would be a whole number.
    const std::vector<std::string_view> first = words_of(trimmed(first_line));
    bool fractional = false;
    if (first.size() == 1 && decimal_syntax(first[0], &fractional) && fractional) return read_boundary(file);
    return read_looks(file);
  }

 private:
  std::string fault(std::size_t line, const std::string &what) const {
    std::string message = "--evaluate " + std::string(name_) + ": line " + std::to_string(line) + ": " + what;
    // Control characters in the name or in a quoted word show as '?', so that the message stays one line.
    return one_line(message) + "\n";
  }

  // The fault every line is checked for first, whatever it should hold; "" when there is none.
  std::string line_fault(std::size_t index, std::string_view line) const {
    if (line.find('\0') != std::string_view::npos)
      return fault(index + 1, "a NUL byte; a rule file is plain text");
    if (line.size() > kMaxLineLength)
      return fault(index + 1, "longer than " + std::to_string(kMaxLineLength) + " characters");
    return "";
  }

  std::string read_looks(RuleFile *file) {
    Rule rule;
    std::size_t last_line = 0;
    std::size_t i = 0;
    for (std::string_view line; lines_.get(i, &line); ++i) {
      if (std::string fault_text = line_fault(i, line); !fault_text.empty()) return fault_text;
      std::string_view data = line.substr(0, line.find('#'));
      data = trimmed(data);
      const std::vector<std::string_view> words = words_of(data);
      if (words.empty()) continue;
      if (words.size() != 2) return fault(i + 1, "expected " + std::string(kLookLine) + "; " + found(data));
      long look = 0;
      long count = 0;
      if (!whole_number(words[0], &look) || look < 1 || look > kMaxStages)
        return fault(i + 1, "the look " + quoted_word(words[0]) + " is not a whole number from 1 to " +
                                std::to_string(kMaxStages));
      if (!whole_number(words[1], &count) || count < 1)
        return fault(i + 1,
                     "the stopping count " + quoted_word(words[1]) + " is not a whole number of at least 1");
      if (!rule.looks.empty() && look <= rule.looks.back())
        return fault(i + 1, "look " + std::to_string(look) + " does not come after look " +
                                std::to_string(rule.looks.back()) + " on line " + std::to_string(last_line) +
                                "; the looks must ascend");
      rule.looks.push_back(static_cast<int>(look));
      rule.counts.push_back(static_cast<int>(std::min<long>(count, kMaxStages + 1)));
      last_line = i + 1;
    }
    if (rule.looks.empty())
      return fault(i, "no looks in the file; expected lines 'n b', " + std::string(kLookLine));
    rule.K = rule.looks.back();
    for (int &count : rule.counts) count = std::min(count, rule.K + 1);
    *file = RuleFile{};
    file->rule = std::move(rule);
    return "";
  }

  std::string read_boundary(RuleFile *file) {
    RuleFile result;
    result.boundary_format = true;
    std::string_view line;
    bool ended = false;
    lines_.get(0, &line, &ended);
    if (std::string fault_text = line_fault(0, line); !fault_text.empty()) return fault_text;
    const std::string_view theta_text = trimmed(line);
    double theta = 0.0;
    if (!probability(theta_text, &theta))
      return fault(1, "expected THETA, the first line of a boundary file, a probability between 0 and 1; " +
                          found(theta_text));
    result.theta = theta;

    if (!ended || !lines_.get(1, &line, &ended))
      return fault(1, "expected K on line 2, as a boundary file goes on after THETA; the file ends here");
    if (std::string fault_text = line_fault(1, line); !fault_text.empty()) return fault_text;
    const std::string_view k_text = trimmed(line);
    long K = 0;
    if (!whole_number(k_text, &K) || K < 1 || K > kMaxStages)
      return fault(2, "expected K, the number of stages of the boundary file, a whole number from 1 to " +
                          std::to_string(kMaxStages) + "; " + found(k_text));
    if (!ended) return fault(2, "K is not ended by a line feed, so it may have lost digits: the file ends here");
    Rule &rule = result.rule;
    rule.K = static_cast<int>(K);

    for (int stage = 1; stage <= rule.K; ++stage) {
      const std::size_t index = static_cast<std::size_t>(stage) + 1;
      if (!lines_.get(index, &line, &ended))
        return fault(2, "K is " + std::to_string(K) + " but the file ends after " +
                            std::to_string(stage - 1) + " complete stage line" + (stage == 2 ? "" : "s"));
      if (std::string fault_text = line_fault(index, line); !fault_text.empty()) return fault_text;
      line = trimmed(line);
      const std::vector<std::string_view> words = words_of(line);
      long upper = 0;
      if (words.size() != 2 || words[0] != "-1" || !whole_number(words[1], &upper) || upper < 1)
        return fault(index + 1, "expected stage " + std::to_string(stage) + " of " + std::to_string(K) +
                                    " as '-1 b', the lower bound -1 and the upper bound b, a whole number of "
                                    "at least 1; " +
                                    found(line));
      if (!ended)
        return fault(index + 1, "stage " + std::to_string(stage) + " is not ended by a line feed, so its count may "
                                "have lost digits: a boundary file cut short is not read");
      // A count above K marks a stage that is not a look, except at K, which always is one.
      if (upper <= K || stage == rule.K) {
        rule.looks.push_back(stage);
        rule.counts.push_back(static_cast<int>(std::min(upper, K + 1)));
      }
    }

    // The closing lines after the stages: the program's line, a PHI line (when PHI is known) and the
    // probability of stopping, each ended by its line feed; only a line "PHI = x" is read. A stage line right
    // after the stages means that K is less than the stages the file holds.
    std::size_t phi_line = 0;
    bool closed = false;  // the line of the probability of stopping has been read whole
    std::size_t i = static_cast<std::size_t>(K) + 2;
    for (; ended && lines_.get(i, &line, &ended); ++i) {
      if (std::string fault_text = line_fault(i, line); !fault_text.empty()) return fault_text;
      line = trimmed(line);
      if (!ended) break;  // a last line cut short is no closing line
      const std::vector<std::string_view> words = words_of(line);
      closed = closed || line.rfind("pr(Hitting the upper boundary)", 0) == 0;
      long upper = 0;
      if (i == static_cast<std::size_t>(K) + 2 && words.size() == 2 && words[0] == "-1" &&
          whole_number(words[1], &upper))
        return fault(i + 1, "a stage line after the " + std::to_string(K) +
                                " stages that K on line 2 gives; K must be the number of stage lines");
      if (line.substr(0, 3) != "PHI" || (line.size() > 3 && !is_blank(line[3]) && line[3] != '=')) continue;
      if (phi_line != 0)
        return fault(i + 1, "a second PHI line; PHI was given on line " + std::to_string(phi_line));
      std::string_view rest = trimmed(line.substr(3));
      double phi = 0.0;
      if (rest.empty() || rest.front() != '=' || !probability(trimmed(rest.substr(1)), &phi))
        return fault(i + 1, "expected 'PHI = x' with x a probability between 0 and 1; " + found(line));
      result.phi = phi;
      phi_line = i + 1;
    }
    if (!closed)
      return fault(ended ? i : i + 1, "the file ends before its closing line 'pr(Hitting the upper boundary) = "
                                      "...': a boundary file cut short is not read");
    *file = std::move(result);
    return "";
  }

  std::string_view name_;
  Lines lines_;
};

}  // namespace

std::string read_rule_file(std::string_view name, std::string_view text, RuleFile *file) {
  return RuleReader(name, text).read(file);
}

RuleFile parse_rule_file(std::string_view name, std::string_view text) {
  RuleFile file;
  std::string fault = read_rule_file(name, text, &file);
  if (!fault.empty()) {
    fault.pop_back();  // the line feed
    throw Error("rule file", fault);
  }
  return file;
}

}  // namespace contmon
