// The looks of a design as the command line gives them: a --looks list of
// looks and ranges, or a cohort size, from a first look on, always with K.
#include <algorithm>
#include <bitset>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "design/parse.h"

namespace contmon {

namespace {

// A whole number in plain digits, no sign; large values are read as 1,000,000,000, beyond every range.
bool whole_number(std::string_view word, long *value) {
  if (word.empty()) return false;
  long v = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    v = std::min(v * 10 + (c - '0'), 1000000000L);
  }
  *value = v;
  return true;
}

using LookSet = std::bitset<kMaxStages + 1>;

// One item of a --looks list: a look, or a range FROM:TO:STEP of looks.
std::string read_look_item(std::string_view item, LookSet *set) {
  const std::string range_form = "a range is FROM:TO:STEP, as 10:100:10";
  const std::string range_limits = "FROM and TO are looks from 1 to " + std::to_string(kMaxStages);
  if (item.find(':') == std::string_view::npos) {
    long look = 0;
    if (!whole_number(item, &look) || look < 1 || look > kMaxStages)
      return "item " + in_quotes(item) + " is not a look, a whole number from 1 to " +
             std::to_string(kMaxStages);
    set->set(static_cast<std::size_t>(look));
    return "";
  }
  std::string_view part[3];
  if (!split_range(item, part)) return "range " + in_quotes(item) + ": " + range_form;
  long from = 0;
  long to = 0;
  long step = 0;
  if (!whole_number(part[0], &from) || !whole_number(part[1], &to) || from < 1 || to < 1 ||
      from > kMaxStages || to > kMaxStages)
    return "range " + in_quotes(item) + ": " + range_limits + "; " + range_form;
  if (!whole_number(part[2], &step) || step < 1)
    return "range " + in_quotes(item) + ": STEP is a whole number of at least 1";
  if (from > to) return "range " + in_quotes(item) + ": FROM is above TO";
  for (long look = from; look <= to; look += step) set->set(static_cast<std::size_t>(look));
  return "";
}

}  // namespace

std::string read_looks(std::string_view text, std::vector<int> *looks) {
  looks->clear();
  const std::string prefix = "invalid --looks " + in_quotes(text) + ": ";
  if (text.empty())
    return prefix + "give looks from 1 to " + std::to_string(kMaxStages) +
           " and ranges FROM:TO:STEP, separated by commas";
  LookSet set;
  std::size_t items = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item =
        std::string_view(text).substr(start, comma == std::string::npos ? comma : comma - start);
    if (item.empty()) return prefix + "an empty item between commas";
    if (++items > kMaxLookItems) return prefix + "more than " + std::to_string(kMaxLookItems) + " items";
    std::string fault = read_look_item(item, &set);
    if (!fault.empty()) return prefix + fault;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  for (int look = 1; look <= kMaxStages; ++look)
    if (set.test(static_cast<std::size_t>(look))) looks->push_back(look);
  return "";
}

std::string read_schedule(int K, const std::vector<int> &list, int cohort, int start, std::vector<int> *looks) {
  looks->clear();
  const std::string k_text = "K = " + std::to_string(K);
  if (K < 1 || K > kMaxStages)
    return k_text + " is not a whole number from 1 to " + std::to_string(kMaxStages);
  if (!list.empty() && cohort != 0) return "--looks and --cohort both say when to look: give one of them";
  if (cohort < 0 || cohort > K)
    return "--cohort " + std::to_string(cohort) + ": a cohort is from 1 to " + k_text + " patients";
  if (start < 0 || start > K)
    return "--start " + std::to_string(start) + ": the first look must be within 1..K = " + std::to_string(K);
  for (int look : list) {
    if (look < 1 || look > K)
      return "--looks " + std::to_string(look) + ": every look must be within 1..K = " + std::to_string(K);
    if (look < start)
      return "--looks " + std::to_string(look) + ": the look comes before --start " + std::to_string(start) +
             "; list looks from " + std::to_string(start) + " to K = " + std::to_string(K);
  }
  LookSet set;
  if (!list.empty()) {
    for (int look : list) set.set(static_cast<std::size_t>(look));
  } else {
    for (int look = cohort > 0 ? cohort : 1; look <= K; look += cohort > 0 ? cohort : 1)
      set.set(static_cast<std::size_t>(look));
  }
  set.set(static_cast<std::size_t>(K));  // the last patient is always a look
  for (int look = std::max(start, 1); look <= K; ++look)
    if (set.test(static_cast<std::size_t>(look))) looks->push_back(look);
  return "";
}

std::string design_arguments(const Design &design) {
  std::string arguments;
  if (design.shape.kind != ShapeKind::kPocock) arguments += "--shape " + shape_argument(design.shape) + " ";
  const std::vector<int> &looks = design.looks;
  bool every_patient = true;
  for (std::size_t i = 0; i < looks.size(); ++i) every_patient = every_patient && looks[i] == static_cast<int>(i) + 1;
  if (!every_patient) {
    // Arithmetic runs of three or more looks as FROM:TO:STEP, the others one by one.
    std::string list;
    for (std::size_t i = 0; i < looks.size();) {
      std::size_t end = i + 1;
      if (i + 2 < looks.size() && looks[i + 2] - looks[i + 1] == looks[i + 1] - looks[i]) {
        end = i + 3;
        while (end < looks.size() && looks[end] - looks[end - 1] == looks[i + 1] - looks[i]) ++end;
      }
      if (!list.empty()) list += ",";
      list += end - i >= 3 ? format_string("%d:%d:%d", looks[i], looks[end - 1], looks[i + 1] - looks[i])
                           : std::to_string(looks[i]);
      i = end - i >= 3 ? end : i + 1;
    }
    arguments += "--looks " + list + " ";
  }
  if (design.min_events > 1) arguments += "--min-events " + std::to_string(design.min_events) + " ";
  return arguments + std::to_string(design.K) + " " + shortest(design.theta) + " " + shortest(design.phi);
}

}  // namespace contmon
