// The decision table, the rule condensed into runs of looks with one
// stopping count, and the sentence that states it for a protocol.
#include <algorithm>
#include <string>
#include <vector>

#include "outputs/outputs_internal.h"

namespace contmon {

std::vector<DecisionRow> decision_table(const Rule &rule) {
  // A look where no stop is possible ends a run instead of being passed over. The counts of a shape rise no
  // faster than the looks, so such looks come only before the first look that can stop and the first row
  // merely starts later; but the counts of a rule read from a file may fall, and a row spanning such a look
  // would state a stop the rule does not make there.
  std::vector<DecisionRow> rows;
  bool previous_can_stop = false;
  const std::size_t looks = std::min(rule.looks.size(), rule.counts.size());
  for (std::size_t i = 0; i < looks; ++i) {
    const int look = rule.looks[i];
    const int count = rule.counts[i];
    if (count > look) {
      previous_can_stop = false;
      continue;
    }
    if (previous_can_stop && rows.back().count == count) {
      rows.back().to = look;
    } else {
      rows.push_back(DecisionRow{look, look, count});
    }
    previous_can_stop = true;
  }
  return rows;
}

namespace {

// "3 among the first 4 to 7 patients", "3 among the first 4 or 5 patients".
std::string row_words(const DecisionRow &row) {
  if (row.to == row.from + 1)
    return format_string("%d among the first %d or %d patients", row.count, row.from, row.to);
  if (row.from != row.to)
    return format_string("%d among the first %d to %d patients", row.count, row.from, row.to);
  if (row.from == 1) return format_string("%d in the first patient", row.count);
  return format_string("%d among the first %d patients", row.count, row.from);
}

// "the count being checked after every patient", "... only after patients 5, 10, ..., 30".
std::string checking_words(const Rule &rule) {
  if (every_patient(rule.looks, rule.K)) return "the count being checked after every patient";
  const char *patients = rule.looks.size() == 1 ? "patient" : "patients";
  return std::string("the count being checked only after ") + patients + " " + look_list(rule.looks);
}

// "; when the true event probability is THETA = 0.3, the probability of stopping is 0.047 (and ...)".
std::string probability_clause(const Report &result) {
  const auto in_table = [&](const std::optional<std::size_t> &row) {
    return row.has_value() && *row < result.oc.size();
  };
  const bool theta = result.has_theta && in_table(result.theta_row);
  const bool alternative = result.alternative.has_value() && in_table(result.alternative_row);
  if (!theta && !alternative) return "";
  const OcRow &first = result.oc[theta ? *result.theta_row : *result.alternative_row];
  std::string clause =
      format_string("; when the true event probability is %s = %g, the probability of stopping is %s",
                    theta ? "THETA" : "P1", first.rate, probability_words(first.p_stop).c_str());
  if (theta && alternative) {
    const OcRow &power = result.oc[*result.alternative_row];
    clause +=
        format_string(" (and %s when it is P1 = %g)", probability_words(power.p_stop).c_str(), power.rate);
  }
  return clause;
}

// " With patients entering evenly over 365 time units and each outcome known 28 after entry, about 21.1 patients
// would be enrolled when the trial stops or ends at P1 = 0.5, of whom about 3.1 still awaiting their outcome."
std::string conduct_clause(const Report &result) {
  if (!result.accrual) return "";
  const auto in_table = [&](const std::optional<std::size_t> &row) {
    return row.has_value() && *row < result.oc.size();
  };
  const bool alternative = result.alternative.has_value() && in_table(result.alternative_row);
  const bool theta = result.has_theta && in_table(result.theta_row);
  if (!alternative && !theta) return "";
  const OcRow &row = result.oc[alternative ? *result.alternative_row : *result.theta_row];
  return format_string(
      " With patients entering evenly over %g time units and each outcome known %g after entry, about %.1f "
      "patients would be enrolled when the trial stops or ends at %s = %g, of whom about %.1f still awaiting "
      "their outcome.",
      result.accrual->period, result.accrual->window, row.mean_enrolled, alternative ? "P1" : "THETA", row.rate,
      row.mean_enrolled - row.mean_n);
}

}  // namespace

std::string decision_sentence(const Report &result) {
  const Rule &rule = result.calibration.rule;
  const std::vector<DecisionRow> rows = decision_table(rule);
  if (rows.empty()) {
    return std::string(
               "The rule never stops the trial: at none of its looks can the number of patients with an ") +
           "event reach the stopping count (" + checking_words(rule) + ").";
  }
  std::string sentence = "Stop the trial if the number of patients with an event reaches ";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) sentence += i + 1 < rows.size() ? ", " : rows.size() == 2 ? " or " : ", or ";
    sentence += row_words(rows[i]);
  }
  return sentence + " (" + checking_words(rule) + ")" + probability_clause(result) + "." + conduct_clause(result);
}

}  // namespace contmon
