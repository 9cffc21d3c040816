// Several designs side by side (one per shape, the same K, THETA, PHI and
// schedule) and the search for the sample size, as text and Markdown; the
// JSON, CSV, picture and page of a comparison are with their single-design
// writers.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "outputs/outputs_internal.h"

namespace contmon {

std::vector<ComparisonRow> comparison_rows(const std::vector<Report> &reports) {
  std::vector<ComparisonRow> rows;
  for (const Report &r : reports) {
    ComparisonRow row;
    row.shape = shape_argument(r.design.shape);
    row.constant = r.calibration.constant;
    row.phi_star = r.calibration.phi_star;
    if (r.theta_row && *r.theta_row < r.oc.size()) row.mean_n_theta = r.oc[*r.theta_row].mean_n;
    if (r.alternative_row && *r.alternative_row < r.oc.size()) {
      row.power = r.oc[*r.alternative_row].p_stop;
      row.mean_n_alternative = r.oc[*r.alternative_row].mean_n;
    }
    const Rule &rule = r.calibration.rule;
    for (std::size_t i = 0; i < rule.looks.size() && i < rule.counts.size(); ++i) {
      if (row.first_stop == 0 && rule.counts[i] <= rule.looks[i]) row.first_stop = rule.looks[i];
      if (rule.looks[i] == rule.K) row.count_at_K = rule.counts[i];
    }
    rows.push_back(row);
  }
  return rows;
}

namespace {

// The comparison's cells, the header first; figures as the text report prints them.
std::vector<std::vector<std::string>> comparison_cells(const std::vector<Report> &reports) {
  std::vector<std::vector<std::string>> cells = {
      {"Shape", "c", "PHI*", "P(stop) P1", "E[N] THETA", "E[N] P1", "First stop", "b at K"}};
  const auto figure = [](double x, int decimals) {
    return std::isfinite(x) ? format_string("%.*f", decimals, x) : std::string("-");
  };
  for (const ComparisonRow &row : comparison_rows(reports)) {
    // A Pocock level as the report prints ALPHA; another shape's constant in full, to give its rule back.
    const std::string constant =
        row.shape == "pocock" ? format_string("%g", row.constant) : shortest(row.constant);
    cells.push_back({row.shape, constant, format_string("%g", row.phi_star), figure(row.power, 3),
                     figure(row.mean_n_theta, 2), figure(row.mean_n_alternative, 2),
                     row.first_stop > 0 ? std::to_string(row.first_stop) : "never",
                     row.count_at_K <= reports.front().design.K ? std::to_string(row.count_at_K) : "none"});
  }
  return cells;
}

// "Method: ...", then the design common to all shapes.
std::string common_lines(const Report &first) {
  const Design &d = first.design;
  std::string text =
      first.exact ? "Method: exact calculation\n"
                  : format_string("Method: simulation of %lld trials per figure, generator seed %d\n", first.trials,
                                  first.seed);
  text += "Design: the shapes below, " + looks_phrase(design_looks(d), d.K);
  if (d.min_events > 1) text += format_string(", stopping needs at least %d events", d.min_events);
  text += format_string("\nK     = %d \nTHETA = %g \nPHI   = %g \n", d.K, d.theta, d.phi);
  if (first.alternative) text += format_string("P1    = %g \n", *first.alternative);
  return text;
}

}  // namespace

std::string comparison_text(const std::vector<Report> &reports) {
  if (reports.empty()) return "";
  std::string text = common_lines(reports.front()) + "\nComparison of the shapes:\n\n";
  const auto cells = comparison_cells(reports);
  std::vector<std::size_t> width(cells[0].size(), 0);
  for (const auto &line : cells)
    for (std::size_t j = 0; j < line.size(); ++j) width[j] = std::max(width[j], line[j].size() + 2);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    for (std::size_t j = 0; j < cells[i].size(); ++j)
      text += format_string("%-*s", static_cast<int>(width[j]), cells[i][j].c_str());
    text += i == 0 ? "\n\n" : "\n";
  }
  text += "\n  c          = the shape's constant (for pocock the pointwise level ALPHA)\n"
          "  PHI*       = the probability of stopping at THETA\n"
          "  First stop = the first patient at which the trial can stop\n";
  for (const Report &r : reports) {
    text += "\nDecision table of " + shape_argument(r.design.shape) + " (" + shape_words(r.design.shape) + "):\n";
    text += decision_table_text(r.calibration.rule);
    text += '\n';
    text += wrap_text(decision_sentence(r), 78);
  }
  return text + "\n";
}

std::string comparison_markdown(const std::vector<Report> &reports) {
  if (reports.empty()) return "";
  const Report &first = reports.front();
  std::string text = "# " + first.program + " " + first.version + " comparison of shapes\n\n";
  const std::string lines = common_lines(first);
  for (std::size_t start = 0, end; start < lines.size(); start = end + 1) {
    end = lines.find('\n', start);
    std::string item = lines.substr(start, end - start);
    while (!item.empty() && item.back() == ' ') item.pop_back();
    text += "- " + item + "\n";
  }
  const auto cells = comparison_cells(reports);
  text += "\n## Comparison\n\n";
  for (std::size_t i = 0; i < cells.size(); ++i) {
    text += "|";
    for (std::size_t j = 0; j < cells[i].size(); ++j)
      text += " " + (i > 0 && j == 0 ? "`" + cells[i][j] + "`" : cells[i][j]) + " |";
    text += "\n";
    if (i == 0) {
      text += "|";
      for (std::size_t j = 0; j < cells[0].size(); ++j) text += j == 0 ? " --- |" : " ---: |";
      text += "\n";
    }
  }
  for (const Report &r : reports) {
    text += "\n## Decision table of `" + shape_argument(r.design.shape) + "`\n\n";
    text += decision_table_markdown(r.calibration.rule);
    text += '\n';
    text += decision_sentence(r);
    text += '\n';
  }
  return text + "\nDate and time: " + first.date + "\n";
}

std::string to_format(OutputFormat format, const std::vector<Report> &reports) {
  if (reports.empty()) return "";
  switch (format) {
    case OutputFormat::kText:
      return comparison_text(reports) + text_report_ending(reports.front());
    case OutputFormat::kMarkdown:
      return comparison_markdown(reports);
    case OutputFormat::kJson:
      return comparison_json(reports);
    case OutputFormat::kCsv:
      return comparison_csv(reports);
  }
  return "";
}

std::string search_text(const SampleSizeSearch &search, double power) {
  std::string text = format_string("Search for the sample size: power (the probability of stopping at P1) of at "
                                   "least %g\n\n",
                                   power);
  text += format_string("%-6s%-14s%-12s%-10s%-12s%-10s\n\n", "K", "c", "PHI*", "Power", "E[N] THETA", "E[N] P1");
  for (const SampleSizeStep &step : search.steps)
    text += format_string("%-6d%-14.6g%-12g%-10.4f%-12.2f%-10.2f\n", step.K, step.constant, step.phi_star,
                          step.power, step.mean_n_theta, step.mean_n_alternative);
  text += "\n";
  if (search.smallest_k) {
    text += format_string("The smallest K with power at least %g is %d.\n", power, *search.smallest_k);
    const int largest = search.steps.empty() ? 0 : search.steps.back().K;
    if (!search.stable_k)
      text += format_string("The largest K searched, %d, falls short of it again.\n", largest);
    else if (*search.stable_k == *search.smallest_k)
      text += format_string("Every K from %d to %d reaches it.\n", *search.stable_k, largest);
    else
      text += format_string("Every K from %d to %d reaches it; some between %d and %d do not (power is not "
                            "monotone in K: the counts are whole numbers).\n",
                            *search.stable_k, largest, *search.smallest_k, *search.stable_k);
    text += format_string("The report below is for K = %d.\n", *search.smallest_k);
  } else {
    const auto best = std::find_if(search.steps.begin(), search.steps.end(),
                                   [&](const SampleSizeStep &s) { return s.K == search.best_k; });
    text += format_string("No K searched reaches power %g; the highest is %.4f, at K = %d, reported below.\n", power,
                          best != search.steps.end() ? best->power : std::nan(""), search.best_k);
  }
  return text;
}

}  // namespace contmon
