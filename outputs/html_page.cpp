// The HTML report page of a run: one self-contained file with its style
// inline and the SVG picture inside, without scripts and without references
// to anything outside it, that prints on A4 and on Letter. The markup is
// well-formed XML as well, so that XML tools can check it.
#include <cmath>
#include <string>
#include <vector>

#include "outputs/markup.h"
#include "outputs/outputs_internal.h"

namespace contmon {

namespace {

constexpr const char *kStyle =
    R"(body { font-family: sans-serif; font-size: 11pt; line-height: 1.35; color: #111;
  max-width: 980px; margin: 16px auto; padding: 0 16px; }
h1 { font-size: 1.45em; margin: 0 0 0.2em; }
h2 { font-size: 1.1em; margin: 0.9em 0 0.35em; break-after: avoid; page-break-after: avoid; }
p.meta { color: #444; margin: 0 0 0.7em; }
p.sentence { border-left: 4px solid #9aa5b8; background: #f3f6fb; padding: 0.4em 0.8em; margin: 0.6em 0; }
figure { margin: 0.8em 0; break-inside: avoid; page-break-inside: avoid; }
figure svg { display: block; max-width: 100%; height: auto; }
figcaption { font-size: 0.9em; color: #444; margin-top: 0.3em; }
div.columns { display: flex; flex-wrap: wrap; gap: 0 2.5em; }
table { border-collapse: collapse; margin: 0 0 0.5em; max-width: 100%; break-inside: avoid;
  page-break-inside: avoid; }
th, td { padding: 2px 8px; border-bottom: 1px solid #ddd; text-align: right; vertical-align: top; }
thead th { background: #f0f0f0; border-bottom: 1px solid #999; }
table.facts th { text-align: left; font-weight: normal; color: #333; background: none; }
table.facts td { text-align: left; overflow-wrap: anywhere; }
tr.marked td { font-weight: bold; }
p.note { font-size: 0.9em; color: #444; margin: 0.2em 0 0.6em; }
@page { size: auto; margin: 12mm; }
@media print {
  body { max-width: none; margin: 0; padding: 0; font-size: 9.5pt; }
  p.sentence { background: none; }
  table.oc { font-size: 8.5pt; }
  th, td { padding: 1px 6px; }
}
)";

std::string esc(const std::string &text) { return markup::escape(text); }

// n with a comma between groups of three digits, e.g. "1,000,000".
std::string grouped(long long n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && digits[i - 1] != '-' && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// The looks in words: every patient, every d patients, or the list.
std::string looks_words(const std::vector<int> &looks, bool every_patient) {
  if (every_patient)
    return "after every patient (1 to " + std::to_string(looks.empty() ? 0 : looks.back()) + ")";
  bool regular = looks.size() >= 3;
  for (std::size_t i = 0; regular && i < looks.size(); ++i)
    regular = looks[i] == static_cast<int>(i + 1) * looks[0];
  if (regular)
    return "every " + std::to_string(looks[0]) + " patients (" + std::to_string(looks[0]) + ", " +
           std::to_string(2 * looks[0]) + ", \u2026, " + std::to_string(looks.back()) + ")";
  std::string list;
  for (int look : looks) {
    if (!list.empty()) list += ", ";
    list += std::to_string(look);
  }
  return (looks.size() == 1 ? "at patient " : "at patients ") + list;
}

// A two-column table of labels and values (already escaped).
struct Fact {
  std::string label;
  std::string value;
};

std::string facts_table(const std::vector<Fact> &facts) {
  std::string html = "<table class=\"facts\"><tbody>\n";
  for (const Fact &fact : facts)
    html += "<tr><th scope=\"row\">" + esc(fact.label) + "</th><td>" + fact.value + "</td></tr>\n";
  return html + "</tbody></table>\n";
}

std::vector<Fact> design_facts(const Report &r) {
  const Design &d = r.design;
  std::vector<Fact> facts;
  facts.push_back({"Maximum sample size K", std::to_string(d.K)});
  if (r.has_theta)
    facts.push_back({"Acceptable event probability \u03b8 (THETA)", shortest(d.theta)});
  if (r.has_phi) facts.push_back({"Largest acceptable P(stop) at \u03b8 (PHI)", shortest(d.phi)});
  if (r.evaluated) {
    facts.push_back({"Rule", "read from " + esc(r.rule_file)});
  } else {
    facts.push_back({"Boundary shape",
                     esc(shape_words(d.shape)) + " (<code>--shape " + esc(shape_argument(d.shape)) + "</code>)"});
  }
  facts.push_back({"Looks", esc(looks_words(design_looks(d), d.looks.empty()))});
  facts.push_back({"Minimum events to stop", std::to_string(d.min_events)});
  if (r.alternative) facts.push_back({"Alternative P1", shortest(*r.alternative)});
  return facts;
}

std::vector<Fact> result_facts(const Report &r) {
  const Calibration &c = r.calibration;
  const bool pocock = r.design.shape.kind == ShapeKind::kPocock;
  const std::string name = pocock ? "ALPHA" : "c";
  std::vector<Fact> facts;
  if (!r.evaluated) {
    if (c.never_stops)
      facts.push_back({"Note", "no rule that stops keeps P(stop) at \u03b8 at or below PHI"});
    // Another shape's constant in full, so that typed back it gives the rule shown.
    const auto constant = [&](double x) { return pocock ? general(x) : shortest(x); };
    facts.push_back({pocock ? "Pointwise level ALPHA" : "Constant c", constant(c.constant)});
    facts.push_back({"PHI* = P(stop) at \u03b8", general(c.phi_star)});
    facts.push_back(
        {"Next candidate", c.has_neighbour
                               ? esc(name + " = " + constant(c.neighbour_constant) +
                                     ", PHI* = " + general(c.neighbour_phi_star) + " (above PHI)")
                               : "none: no candidate stops more often"});
    facts.push_back({"Distinct rules the shape gives (searched)", std::to_string(c.candidates)});
  } else if (r.theta_row && *r.theta_row < r.oc.size()) {
    facts.push_back({"P(stop) at \u03b8", fixed(r.oc[*r.theta_row].p_stop, 4)});
  }
  if (r.alternative && r.alternative_row && *r.alternative_row < r.oc.size()) {
    const OcRow &row = r.oc[*r.alternative_row];
    facts.push_back({"P(stop) at P1 (power)", fixed(row.p_stop, 4)});
    facts.push_back({"E[N] at P1", fixed(row.mean_n, 2)});
  }
  if (!r.boundary_file.empty())
    facts.push_back({"Boundary file", (r.boundary_file_failed ? "could not be written to " : "written to ") +
                                          esc(r.boundary_file)});
  return facts;
}

// "0.50 (0.19–0.81)": the rate b/n a stop at look n shows, with its exact 95% interval.
std::string observed_rate(int b, int n) {
  const auto [low, high] = clopper_pearson(b, n);
  return fixed(static_cast<double>(b) / n, 2) + " (" + fixed(low, 2) + "–" + fixed(high, 2) + ")";
}

std::string decision_html(const Rule &rule) {
  const std::vector<DecisionRow> rows = decision_table(rule);
  if (rows.empty()) return "<p class=\"note\">No look can stop the trial.</p>\n";
  std::string html =
      "<table class=\"decision\">\n<thead><tr><th>Patients</th><th>Stop if events \u2265</th>"
      "<th>Observed rate at a stop (95% CI)</th></tr></thead>\n<tbody>\n";
  for (const DecisionRow &row : rows) {
    const std::string patients = row.from == row.to
                                     ? std::to_string(row.from)
                                     : std::to_string(row.from) + "\u2013" + std::to_string(row.to);
    std::string rates = observed_rate(row.count, row.from);
    if (row.to != row.from) rates += " to " + observed_rate(row.count, row.to);
    html += "<tr><td>" + patients + "</td><td>" + std::to_string(row.count) + "</td><td>" + rates + "</td></tr>\n";
  }
  return html + "</tbody>\n</table>\n<p class=\"note\">The rate is the count over the patients of the look, at "
                "the first and the last look of the row; the interval is the exact (Clopper-Pearson) one.</p>\n";
}

// The decimals that show every rate of the table.
int table_rate_decimals(const Report &r) {
  std::vector<double> rates;
  for (const OcRow &row : r.oc) rates.push_back(row.rate);
  return rate_decimals(rates);
}

// A row of a table by rate, marked at THETA and at P1.
const char *row_start(const Report &r, std::size_t i) {
  const bool marked = (r.theta_row && *r.theta_row == i) || (r.alternative_row && *r.alternative_row == i);
  return marked ? "<tr class=\"marked\">" : "<tr>";
}

std::string oc_html(const Report &r) {
  const bool simulated = !r.exact;
  std::string html = "<table class=\"oc\">\n<thead><tr><th>Event probability</th><th>P(stop)</th>";
  if (simulated) html += "<th>SE</th>";
  html += "<th>P(stop before K)</th><th>E[N]</th>";
  if (simulated) html += "<th>SE</th>";
  html += "<th>SD[N]</th><th>E[Y]</th><th>SD[Y]</th><th>E[Y/N]</th><th>SD[Y/N]</th></tr></thead>\n<tbody>\n";
  const int decimals = table_rate_decimals(r);
  for (std::size_t i = 0; i < r.oc.size(); ++i) {
    const OcRow &row = r.oc[i];
    html += row_start(r, i);
    auto cell = [&](double value, int places) { html += "<td>" + fixed(value, places) + "</td>"; };
    cell(row.rate, decimals);
    cell(row.p_stop, 4);
    if (simulated) html += "<td>" + standard_error_text(row.se_p_stop, 4) + "</td>";
    cell(row.p_stop_before_last, 4);
    cell(row.mean_n, 2);
    if (simulated) html += "<td>" + standard_error_text(row.se_mean_n, 3) + "</td>";
    cell(row.sd_n, 2);
    cell(row.mean_y, 2);
    cell(row.sd_y, 2);
    cell(row.mean_proportion, 3);
    cell(row.sd_proportion, 3);
    html += "</tr>\n";
  }
  return html + "</tbody>\n</table>\n";
}

std::string conduct_html(const Report &r) {
  std::string html = "<table class=\"oc\">\n<thead><tr><th>Event probability</th><th>E[enrolled]</th>"
                     "<th>E[calendar time]</th><th>E[events, pending included]</th></tr></thead>\n<tbody>\n";
  const int decimals = table_rate_decimals(r);
  for (std::size_t i = 0; i < r.oc.size(); ++i) {
    const OcRow &row = r.oc[i];
    html += row_start(r, i);
    for (auto [value, places] : {std::pair{row.rate, decimals}, std::pair{row.mean_enrolled, 2},
                                 std::pair{row.mean_calendar_time, 2}, std::pair{row.mean_events_with_pending, 2}})
      html += "<td>" + fixed(value, places) + "</td>";
    html += "</tr>\n";
  }
  return html + "</tbody>\n</table>\n";
}

}  // namespace

std::string to_html(const Report &result) {
  const std::string title = result.program + " " + result.version + ": stopping boundary report";
  std::string method = result.exact ? "exact calculation"
                                    : "simulation, " + grouped(result.trials) + " trials per figure, seed " +
                                          std::to_string(result.seed);
  std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n";
  html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n";
  html += "<title>" + esc(title) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n";
  html += "<h1>" + esc(title) + "</h1>\n";
  html += "<p class=\"meta\">" + esc(result.date) + " \u00b7 Method: " + esc(method) + "</p>\n";
  html += "<p class=\"sentence\">" + esc(decision_sentence(result)) + "</p>\n";

  const std::string svg = to_svg(result);
  const std::size_t svg_start = svg.find("<svg");
  html += "<figure>\n" + svg.substr(svg_start == std::string::npos ? 0 : svg_start);
  html +=
      "<figcaption>Left: the count of events that stops the trial at each look; faint where the count is "
      "above the look. Right: the probability of stopping and the expected number of patients as a "
      "fraction of K, exact on a fine grid of event probabilities, with the table's rows marked."
      "</figcaption>\n</figure>\n";

  html +=
      "<div class=\"columns\">\n<section>\n<h2>Design and inputs</h2>\n" + facts_table(design_facts(result));
  // A plain rule evaluated without theta or an alternative has no result beyond its table.
  const std::vector<Fact> results = result_facts(result);
  if (!results.empty()) html += "</section>\n<section>\n<h2>Result</h2>\n" + facts_table(results);
  html += "</section>\n<section>\n<h2>Decision table</h2>\n" + decision_html(result.calibration.rule);
  html += "</section>\n</div>\n";
  html += "<section>\n<h2>Operating characteristics</h2>\n" + oc_html(result);
  html +=
      "<p class=\"note\">N patients and Y events when the trial ends; E[ ] mean, SD[ ] standard deviation";
  if (!result.exact) html += ", SE Monte Carlo standard error";
  html += ".</p>\n</section>\n";
  if (result.accrual) {
    html += "<section>\n<h2>Trial conduct</h2>\n" + conduct_html(result);
    html += "<p class=\"note\">" +
            esc(format_string("Patients enter evenly over %g time units and each outcome is known %g after "
                              "entry. Enrolled: the patients who entered before the trial ended, those awaiting "
                              "an outcome included; calendar time from the first entry's origin 0; events with "
                              "those expected among the patients awaiting an outcome. Exact figures.",
                              result.accrual->period, result.accrual->window)) +
            "</p>\n</section>\n";
  }
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace contmon

namespace contmon {

std::string to_html(const std::vector<Report> &reports) {
  if (reports.empty()) return "";
  const Report &first = reports.front();
  const std::string title = first.program + " " + first.version + ": comparison of boundary shapes";
  const std::string method = first.exact ? "exact calculation"
                                         : "simulation, " + grouped(first.trials) + " trials per figure, seed " +
                                               std::to_string(first.seed);
  std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n";
  html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n";
  html += "<title>" + esc(title) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n";
  html += "<h1>" + esc(title) + "</h1>\n";
  html += "<p class=\"meta\">" + esc(first.date) + " \u00b7 Method: " + esc(method) + "</p>\n";
  const std::string svg = to_svg(reports);
  const std::size_t svg_start = svg.find("<svg");
  html += "<figure>\n" + svg.substr(svg_start == std::string::npos ? 0 : svg_start);
  html +=
      "<figcaption>Left: the count of events that stops the trial at each look where it can, one line per shape. "
      "Right: the probability of stopping (thick) and the expected number of patients as a fraction of K (thin), "
      "exact on a fine grid of event probabilities.</figcaption>\n</figure>\n";
  std::vector<Fact> facts = design_facts(first);
  std::erase_if(facts, [](const Fact &fact) { return fact.label == "Boundary shape"; });  // one per section below
  html += "<section>\n<h2>Design and inputs</h2>\n" + facts_table(facts) + "</section>\n";
  html += "<section>\n<h2>Comparison</h2>\n<table class=\"oc\">\n<thead><tr><th>Shape</th><th>c</th><th>PHI*</th>"
          "<th>P(stop) at P1</th><th>E[N] at \u03b8</th><th>E[N] at P1</th><th>First stop</th><th>b at K</th>"
          "</tr></thead>\n<tbody>\n";
  const auto optional_figure = [](double x, int places) { return std::isfinite(x) ? fixed(x, places) : "\u2013"; };
  for (const ComparisonRow &row : comparison_rows(reports)) {
    html += "<tr><td><code>" + esc(row.shape) + "</code></td><td>" + shortest(row.constant) + "</td><td>" +
            general(row.phi_star) + "</td><td>" + optional_figure(row.power, 4) + "</td><td>" +
            optional_figure(row.mean_n_theta, 2) + "</td><td>" + optional_figure(row.mean_n_alternative, 2) +
            "</td><td>" + (row.first_stop > 0 ? std::to_string(row.first_stop) : "never") + "</td><td>" +
            (row.count_at_K <= first.design.K ? std::to_string(row.count_at_K) : "none") + "</td></tr>\n";
  }
  html += "</tbody>\n</table>\n</section>\n";
  for (const Report &r : reports) {
    html += "<section>\n<h2>" + esc(shape_words(r.design.shape)) + "</h2>\n";
    html += "<p class=\"sentence\">" + esc(decision_sentence(r)) + "</p>\n";
    html += decision_html(r.calibration.rule) + oc_html(r) + "</section>\n";
  }
  return html + "</body>\n</html>\n";
}

}  // namespace contmon
