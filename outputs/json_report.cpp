// The machine-readable results: one JSON document with the inputs, the rule
// and the table, and the table alone as CSV. Numbers are written so that they
// read back exactly; a figure that is not a number is null (JSON) or empty (CSV).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "outputs/outputs_internal.h"

namespace contmon {

namespace {

using Json = nlohmann::ordered_json;

Json number(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

template <class T>
Json optional_value(bool known, T value) {
  return known ? Json(value) : Json(nullptr);
}

Json parameters_of(const Shape &shape) {
  Json parameters = Json::object();
  for (const auto &[key, value] : shape_parameters(shape)) parameters[key] = number(value);
  return parameters;
}

Json inputs(const Report &result) {
  const Design &design = result.design;
  Json in;
  in["K"] = design.K;
  in["theta"] = result.has_theta ? number(design.theta) : Json(nullptr);
  in["phi"] = result.has_phi ? number(design.phi) : Json(nullptr);
  in["alternative"] = result.alternative ? number(*result.alternative) : Json(nullptr);
  in["shape"] = result.evaluated ? Json(nullptr) : Json(shape_name(design.shape));
  in["shape_parameters"] = result.evaluated ? Json(nullptr) : parameters_of(design.shape);
  in["looks"] = design_looks(design);
  in["min_events"] = design.min_events;
  Json rates = Json::array();
  for (const OcRow &row : result.oc) rates.push_back(number(row.rate));
  in["rates"] = rates;
  if (result.accrual)
    in["accrual"] = {{"period", number(result.accrual->period)}, {"window", number(result.accrual->window)}};
  return in;
}

Json oc_row(const OcRow &row, bool simulated, bool conduct) {
  Json figures;
  figures["rate"] = number(row.rate);
  figures["p_stop"] = number(row.p_stop);
  figures["p_stop_before_last"] = number(row.p_stop_before_last);
  figures["mean_n"] = number(row.mean_n);
  figures["sd_n"] = number(row.sd_n);
  figures["mean_y"] = number(row.mean_y);
  figures["sd_y"] = number(row.sd_y);
  figures["mean_proportion"] = number(row.mean_proportion);
  figures["sd_proportion"] = number(row.sd_proportion);
  if (simulated) {
    figures["se_p_stop"] = number(row.se_p_stop);
    figures["se_mean_n"] = number(row.se_mean_n);
  }
  Json at_look = Json::array();
  for (double p : row.p_stop_at_look) at_look.push_back(number(p));
  figures["p_stop_at_look"] = at_look;
  if (conduct) {
    figures["mean_enrolled"] = number(row.mean_enrolled);
    figures["mean_calendar_time"] = number(row.mean_calendar_time);
    figures["mean_events_with_pending"] = number(row.mean_events_with_pending);
  }
  return figures;
}

Json row_index(const Report &result, const std::optional<std::size_t> &row) {
  return row.has_value() && *row < result.oc.size() ? Json(*row) : Json(nullptr);
}

Json document(const Report &result) {
  const Calibration &calibration = result.calibration;
  const bool searched = !result.evaluated;
  Json doc;
  doc["program"] = result.program;
  doc["version"] = result.version;
  doc["method"] = result.exact ? "exact" : "simulation";
  if (!result.exact) {
    doc["trials"] = result.trials;
    doc["seed"] = result.seed;
  }
  doc["date"] = result.timestamp;
  doc["inputs"] = inputs(result);
  doc["design"] = result.evaluated ? Json(nullptr) : Json(report_arguments(result));
  doc["evaluated"] = result.evaluated;
  if (result.evaluated) doc["rule_file"] = result.rule_file;
  doc["constant"] = searched ? number(calibration.constant) : Json(nullptr);
  if (searched && result.design.shape.kind == ShapeKind::kPocock) doc["alpha"] = number(calibration.constant);
  doc["phi_star"] = searched ? number(calibration.phi_star) : Json(nullptr);
  if (searched && !result.exact) doc["phi_star_exact"] = number(calibration.phi_star_exact);
  if (calibration.fixed) {
    doc["constant_fixed"] = true;
    doc["within_phi"] = result.has_phi ? Json(calibration.phi_star_exact <= result.design.phi) : Json(nullptr);
  }
  if (searched && calibration.has_neighbour) {
    doc["neighbour"] = {{"constant", number(calibration.neighbour_constant)},
                        {"phi_star", number(calibration.neighbour_phi_star)}};
  } else {
    doc["neighbour"] = nullptr;
  }
  const std::vector<DecisionRow> rows = decision_table(calibration.rule);
  doc["never_stops"] = calibration.never_stops || rows.empty();

  const Rule &rule = calibration.rule;
  Json boundary = Json::array();
  for (std::size_t i = 0; i < std::min(rule.looks.size(), rule.counts.size()); ++i) {
    const int n = rule.looks[i], b = rule.counts[i];
    Json entry = {{"n", n}, {"b", b}};
    // The observed rate at a stop there, with its exact 95% interval; none where no stop is possible.
    if (b <= n) {
      const auto [low, high] = clopper_pearson(b, n);
      entry["observed_rate"] = number(static_cast<double>(b) / n);
      entry["ci_low"] = number(low);
      entry["ci_high"] = number(high);
    } else {
      entry["observed_rate"] = entry["ci_low"] = entry["ci_high"] = nullptr;
    }
    boundary.push_back(entry);
  }
  doc["boundary"] = boundary;
  Json table = Json::array();
  for (const DecisionRow &row : rows) table.push_back({{"from", row.from}, {"to", row.to}, {"b", row.count}});
  doc["decision_table"] = table;
  doc["sentence"] = decision_sentence(result);

  Json oc = Json::array();
  for (const OcRow &row : result.oc) oc.push_back(oc_row(row, !result.exact, result.accrual.has_value()));
  doc["oc"] = oc;
  doc["theta_row"] = result.has_theta ? row_index(result, result.theta_row) : Json(nullptr);
  doc["alternative_row"] = result.alternative ? row_index(result, result.alternative_row) : Json(nullptr);
  doc["boundary_file"] =
      optional_value(!result.boundary_file.empty() && !result.boundary_file_failed, result.boundary_file);
  doc["boundary_file_failed"] = result.boundary_file_failed;
  return doc;
}

// The document indented by 2 and ended by a line feed. Names from the command line need not be UTF-8: invalid
// bytes become U+FFFD rather than an exception.
std::string dumped(const Json &doc) { return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }

// A figure for CSV: the shortest decimal that reads back exactly; empty when it is not a number.
std::string csv_number(double x) { return std::isfinite(x) ? shortest(x) : ""; }

}  // namespace

std::string report_arguments(const Report &result) {
  const Design &d = result.design;
  std::string text = design_arguments(d);
  if (!result.calibration.fixed) return text;
  const std::string numbers = std::to_string(d.K) + " " + shortest(d.theta) + " " + shortest(d.phi);
  text.resize(text.size() - numbers.size());
  text += "--constant " + shortest(result.calibration.constant) + " " + std::to_string(d.K) + " " + shortest(d.theta);
  return result.has_phi ? text + " " + shortest(d.phi) : text;
}

std::string to_json(const Report &result, const SampleSizeSearch &search, double power) {
  Json doc = document(result);
  doc["power_target"] = number(power);
  doc["smallest_k"] = search.smallest_k ? Json(*search.smallest_k) : Json(nullptr);
  doc["stable_k"] = search.stable_k ? Json(*search.stable_k) : Json(nullptr);
  doc["best_k"] = search.best_k;
  Json steps = Json::array();
  for (const SampleSizeStep &step : search.steps)
    steps.push_back({{"K", step.K},
                     {"constant", number(step.constant)},
                     {"phi_star", number(step.phi_star)},
                     {"power", number(step.power)},
                     {"mean_n_theta", number(step.mean_n_theta)},
                     {"mean_n_alternative", number(step.mean_n_alternative)}});
  doc["search"] = steps;
  return dumped(doc);
}

std::string comparison_json(const std::vector<Report> &reports) {
  Json designs = Json::array();
  for (const Report &report : reports) designs.push_back(document(report));
  return dumped(Json{{"designs", designs}});
}

std::string comparison_csv(const std::vector<Report> &reports) {
  std::string text;
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const std::string table = to_csv(reports[i]);
    const std::string shape = shape_argument(reports[i].design.shape);
    std::size_t start = 0;
    for (std::size_t line = 0; start < table.size(); ++line) {
      const std::size_t end = table.find('\n', start);
      // The header once, then every design's rows, each led by its shape (quoted: bayes:A,B has a comma).
      if (line > 0 || i == 0) text += (line == 0 ? std::string("shape") : "\"" + shape + "\"") + "," +
                                      table.substr(start, end - start + 1);
      start = end + 1;
    }
  }
  return text;
}

std::string to_json(const Report &result) {
  return dumped(document(result));
}

std::string to_csv(const Report &result) {
  if (result.by_look) {
    // One row per rate and look: the long form of the probabilities of stopping at each look.
    const Rule &rule = result.calibration.rule;
    std::string text = "rate,n,b,p_stop_at_look,p_stop_by_look\n";
    for (const OcRow &row : result.oc) {
      double by = 0.0;
      for (std::size_t i = 0; i < rule.looks.size() && i < row.p_stop_at_look.size(); ++i) {
        by += row.p_stop_at_look[i];
        text += csv_number(row.rate) + "," + std::to_string(rule.looks[i]) + "," + std::to_string(rule.counts[i]) +
                "," + csv_number(row.p_stop_at_look[i]) + "," + csv_number(std::min(by, 1.0)) + "\n";
      }
    }
    return text;
  }
  const bool simulated = !result.exact;
  std::string text = "rate,p_stop,p_stop_before_last,mean_n,sd_n,mean_y,sd_y,mean_proportion,sd_proportion";
  if (simulated) text += ",se_p_stop,se_mean_n";
  text += result.accrual ? ",mean_enrolled,mean_calendar_time,mean_events_with_pending\n" : "\n";
  for (const OcRow &row : result.oc) {
    std::vector<double> figures = {row.rate,   row.p_stop, row.p_stop_before_last, row.mean_n,       row.sd_n,
                                   row.mean_y, row.sd_y,   row.mean_proportion,    row.sd_proportion};
    if (simulated) figures.insert(figures.end(), {row.se_p_stop, row.se_mean_n});
    if (result.accrual)
      figures.insert(figures.end(), {row.mean_enrolled, row.mean_calendar_time, row.mean_events_with_pending});
    for (std::size_t i = 0; i < figures.size(); ++i) {
      text += csv_number(figures[i]);
      text += i + 1 < figures.size() ? ',' : '\n';
    }
  }
  return text;
}

}  // namespace contmon
