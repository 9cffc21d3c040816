// Test-only stand-ins for the decision table, the sentence and the design routines that the picture and
// the page call, until their own implementations are merged. Not part of any build but pictures_test.
#include <string>
#include <vector>

#include "design/design.h"
#include "outputs/outputs.h"

std::vector<DecisionRow> decision_table(const Rule &rule) {
  std::vector<DecisionRow> rows;
  for (std::size_t i = 0; i < rule.looks.size(); ++i) {
    if (rule.counts[i] > rule.looks[i]) continue;
    const bool joins =
        !rows.empty() && rows.back().count == rule.counts[i] && i > 0 && rows.back().to == rule.looks[i - 1];
    if (joins)
      rows.back().to = rule.looks[i];
    else
      rows.push_back({rule.looks[i], rule.looks[i], rule.counts[i]});
  }
  return rows;
}

std::string decision_sentence(const RunResult &result) {
  return "Stop the trial when the events reach the counts of the decision table; P(stop) at theta = " +
         std::to_string(result.calibration.phi_star) + ".";
}

std::string shape_spec(const Shape &shape) {
  switch (shape.kind) {
    case ShapeKind::kPocock:
      return "pocock";
    case ShapeKind::kObf:
      return "obf";
    default:
      return "other";
  }
}

std::string shape_words(const Shape &shape) {
  return shape.kind == ShapeKind::kPocock ? "Pocock boundary" : "O'Brien-Fleming boundary";
}

std::vector<int> design_looks(const Design &design) {
  if (!design.looks.empty()) return design.looks;
  std::vector<int> looks;
  for (int n = 1; n <= design.K; ++n) looks.push_back(n);
  return looks;
}
