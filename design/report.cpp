// A whole analysis: the calibration (or a given rule), the table's rows and
// the curve for the pictures, computed before anything is written so that
// every format prints the same figures.
#include <cmath>

#include "contmon/report.h"
#include "design/design_internal.h"

namespace contmon {

namespace {

// Rates of the pictures' curves: 0.01, 0.02, ..., 0.99, computed exactly whatever the method.
constexpr int kCurvePoints = 99;

// The index of the row at rate p, if the table has one.
std::optional<std::size_t> row_at(const std::vector<double> &rates, double p) {
  for (std::size_t i = 0; i < rates.size(); ++i)
    if (std::fabs(rates[i] - p) <= 1e-10) return i;
  return std::nullopt;
}

}  // namespace

std::vector<double> curve_rates() {
  std::vector<double> grid;
  for (int i = 1; i <= kCurvePoints; ++i) grid.push_back(i / 100.0);
  return grid;
}

Report report(const ReportRequest &request, const Method &method, const RunControl &control) {
  Report result;
  result.exact = method.kind == MethodKind::kExact;
  result.trials = result.exact ? 0 : method.trials;
  result.seed = result.exact ? 0 : method.seed;
  result.alternative = request.alternative;
  result.rates = request.rates;
  result.has_theta = request.has_theta;
  result.has_phi = request.has_phi;
  Design &design = result.design;
  design = request.design;
  if (request.rule) {
    check_rule(*request.rule);
    result.evaluated = true;
    result.calibration.rule = *request.rule;
    design.K = request.rule->K;
    design.looks = request.rule->looks;
    if (!result.has_theta && request.rates.empty() && !request.alternative)
      throw Error("rates", "a plain rule holds no THETA: give THETA or the rates to evaluate");
  } else if (request.constant) {
    Design checked = design;
    if (!result.has_phi) checked.phi = 0.5;  // PHI is not needed for a fixed constant
    result.calibration = fixed_design(checked, *request.constant, method, control);
  } else {
    result.calibration = contmon::design(design, method, control);
  }
  const Rule &rule = result.calibration.rule;

  std::size_t alternative_row = 0;
  std::vector<double> rates;
  if (result.has_theta) {
    rates = table_rates(request.rates, design.theta, request.alternative, &alternative_row);
  } else {
    rates = request.rates;
    if (request.alternative) {
      const std::optional<std::size_t> at = row_at(rates, *request.alternative);
      alternative_row = at.value_or(rates.size());
      if (!at) rates.push_back(*request.alternative);
    }
  }
  if (request.alternative) result.alternative_row = alternative_row;
  if (result.has_theta) result.theta_row = row_at(rates, design.theta);

  // A calibrated simulation's row at THETA is the evaluation that gave PHI*; it need not run again.
  const std::optional<OcRow> &at_theta = result.calibration.at_theta;
  const bool reuse = !result.exact && control.stream == nullptr && at_theta && result.theta_row &&
                     rates[*result.theta_row] == design.theta;
  std::vector<double> computed;
  for (std::size_t i = 0; i < rates.size(); ++i)
    if (!(reuse && i == *result.theta_row)) computed.push_back(rates[i]);
  std::vector<OcRow> rows = characteristics(rule, computed, method, control);
  for (std::size_t i = 0, next = 0; i < rates.size(); ++i)
    result.oc.push_back(reuse && i == *result.theta_row ? *at_theta : rows[next++]);

  if (request.accrual) {
    result.accrual = request.accrual;
    const std::vector<OcRow> conducted = conduct(rule, rates, *request.accrual, control);
    for (std::size_t i = 0; i < rates.size(); ++i) {
      result.oc[i].mean_enrolled = conducted[i].mean_enrolled;
      result.oc[i].mean_calendar_time = conducted[i].mean_calendar_time;
      result.oc[i].mean_events_with_pending = conducted[i].mean_events_with_pending;
    }
  }
  if (result.evaluated && result.has_theta) {
    // The figures at THETA head the report even when the rates asked for leave it out.
    result.calibration.phi_star = result.theta_row ? result.oc[*result.theta_row].p_stop
                                                    : characteristics(rule, {design.theta}, method, control)[0].p_stop;
    result.calibration.phi_star_exact =
        result.exact ? result.calibration.phi_star : exact_p_stop(stage_boundary(rule), design.K, design.theta);
  }
  if (request.curve) result.curve = characteristics(rule, curve_rates(), Method{}, RunControl{control.progress, nullptr});
  return result;
}

}  // namespace contmon
