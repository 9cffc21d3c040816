// The report of a run as text (today's lines where they exist, then the
// decision table, the sentence and the wider table) and as Markdown, and the
// choice of writer by format.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "outputs/outputs_internal.h"

namespace contmon {

namespace {

constexpr std::size_t kTextWidth = 78;
constexpr int kRateWidth = 8;  // today's width of the rate column, widened for more decimals

// A line of the results: a statement ("Method: ...") or a figure ("PHI*  = 0.046888 = its meaning").
struct Item {
  bool figure = false;
  std::string label;              ///< figures only
  std::string value;              ///< the statement, or the figure's value
  std::string meaning;            ///< figures only; may be empty
  std::string separator = " = ";  ///< between the value and its meaning in the text
};

Item statement(std::string text) { return Item{false, "", std::move(text), "", ""}; }
Item figure(std::string label, std::string value, std::string meaning = "", std::string separator = " = ") {
  return Item{true, std::move(label), std::move(value), std::move(meaning), std::move(separator)};
}

bool valid_row(const Report &result, const std::optional<std::size_t> &row) {
  return row.has_value() && *row < result.oc.size();
}

std::string method_words(const Report &result) {
  if (result.exact) return "exact calculation";
  return format_string("simulation of %lld trials per figure, generator seed %d", result.trials, result.seed);
}

std::string design_words(const Report &result) {
  const Design &design = result.design;
  const std::string looks = looks_phrase(design_looks(design), design.K);
  if (result.evaluated) return looks;
  std::string words = shape_words(design.shape) + ", " + looks;
  if (design.min_events > 1) words += format_string(", stopping needs at least %d events", design.min_events);
  return words;
}

// The shortest decimal that reads back as x: the constants of shapes are chosen short where they can be,
// and must reproduce their rule when typed back.
std::string constant_text(double x) { return shortest(x); }

std::vector<Item> result_items(const Report &result) {
  const Calibration &calibration = result.calibration;
  std::vector<Item> items;
  items.push_back(statement(std::string("Method: ") + method_words(result)));
  items.push_back(statement(std::string("Design: ") + design_words(result)));
  items.push_back(figure("K", std::to_string(result.design.K)));
  if (result.has_theta) items.push_back(figure("THETA", format_string("%g", result.design.theta)));
  if (result.has_phi) items.push_back(figure("PHI", format_string("%g", result.design.phi)));
  if (result.evaluated) {
    items.push_back(statement("Rule read from " + result.rule_file + " (not searched)"));
  } else {
    const bool pocock = result.design.shape.kind == ShapeKind::kPocock;
    items.push_back(figure("PHI*", format_string("%g", calibration.phi_star),
                           "the actual probability of hitting the upper boundary"));
    if (!result.exact)
      items.push_back(figure("EXACT", format_string("%g", calibration.phi_star_exact),
                             calibration.phi_star_exact > result.design.phi && result.has_phi
                                 ? "the probability of hitting this boundary computed exactly: above PHI"
                                 : "the probability of hitting this boundary computed exactly"));
    const char *given = calibration.fixed ? " (given, not searched)" : "";
    if (pocock) {
      items.push_back(figure("ALPHA", format_string("%g", calibration.constant),
                             std::string("the pointwise stopping probability") + given));
    } else {
      items.push_back(
          figure("c", constant_text(calibration.constant), std::string("the boundary constant of the shape") + given));
    }
    if (calibration.fixed) {
      if (result.has_phi)
        items.push_back(statement(calibration.phi_star_exact <= result.design.phi
                                      ? "The rule keeps the probability of stopping at THETA within PHI."
                                      : "The rule stops at THETA more often than PHI allows."));
    } else if (calibration.has_neighbour) {
      // A Pocock level prints as the dialogue prints ALPHA; another shape's constant in full, so that it
      // gives the rule printed.
      items.push_back(
          figure("NEXT",
                 pocock ? format_string("%g", calibration.neighbour_constant)
                        : constant_text(calibration.neighbour_constant),
                 format_string("the next candidate, which stops more often: PHI* = %g (above PHI)",
                               calibration.neighbour_phi_star)));
    } else {
      items.push_back(figure("NEXT", "none", "no candidate stops more often", ": "));
    }
  }
  if (result.alternative && valid_row(result, result.alternative_row)) {
    const OcRow &power = result.oc[*result.alternative_row];
    items.push_back(
        figure("POWER", format_string("%g", power.p_stop),
               format_string("the probability of stopping when the event probability is P1 = %g (E[N] = %g)",
                             *result.alternative, power.mean_n)));
  }
  return items;
}

// "4-7" (text) or "4–7" (Markdown), "3" for a single look.
std::string patients_cell(const DecisionRow &row, const char *dash) {
  if (row.from == row.to) return std::to_string(row.from);
  return std::to_string(row.from) + dash + std::to_string(row.to);
}

// A column of the operating-characteristics table.
struct Column {
  const char *header;
  double OcRow::*field;
  int decimals;
  int width;                    ///< in the text table
  bool shows_small = false;     ///< a positive figure that rounds to zero shows as "< 0.000005"
};

std::vector<Column> oc_columns(const Report &result) {
  std::vector<Column> columns = {
      {"P(stop)", &OcRow::p_stop, 3, 9},
      {"P(early)", &OcRow::p_stop_before_last, 3, 9},
      {"E[N]", &OcRow::mean_n, 2, 9},
      {"SD[N]", &OcRow::sd_n, 2, 9},
      {"E[Y]", &OcRow::mean_y, 2, 9},
      {"SD[Y]", &OcRow::sd_y, 2, 9},
      {"E[Y/N]", &OcRow::mean_proportion, 2, 9},
      {"SD[Y/N]", &OcRow::sd_proportion, 2, 9},
  };
  if (!result.exact) {
    columns.push_back({"SE[P]", &OcRow::se_p_stop, 5, 11, true});
    columns.push_back({"SE[E[N]]", &OcRow::se_mean_n, 4, 10, true});
  }
  return columns;
}

// A figure of the column; a standard error that would show as zero although it is not shows as
// "< 0.000005" instead.
std::string figure_text(const Column &column, double value) {
  return column.shows_small ? standard_error_text(value, column.decimals)
                            : format_string("%.*f", column.decimals, value);
}

int oc_rate_decimals(const Report &result) {
  std::vector<double> rates;
  for (const OcRow &row : result.oc) rates.push_back(row.rate);
  return rate_decimals(rates);
}

// The definitions under the table, as {term, meaning}.
std::vector<std::pair<std::string, std::string>> definitions(const Report &result) {
  std::vector<std::pair<std::string, std::string>> terms = {
      {"Y", "the number of events, random, between 0 and N"},
      {"N", format_string("the number of patients, random, between %d and K = %d",
                          result.calibration.rule.looks.empty() ? 1 : result.calibration.rule.looks.front(),
                          result.design.K)},
      {"P(stop)", "the probability of stopping at some look (hitting the boundary)"},
      {"P(early)", "the probability of stopping at a look before the last, patient K"},
      {"E[ ]", "the expected value (mean)"},
      {"SD[ ]", "the standard deviation"},
  };
  if (!result.exact) terms.push_back({"SE[ ]", "the Monte Carlo standard error of the figure"});
  return terms;
}

std::string text_table(const Report &result) {
  const int decimals = oc_rate_decimals(result);
  const int rate_width = std::max(kRateWidth, decimals + 3);
  const std::vector<Column> columns = oc_columns(result);
  std::string text = format_string("%-*s", rate_width, "THETA");
  for (const Column &column : columns) text += format_string("%-*s", column.width, column.header);
  text += "\n\n";
  for (const OcRow &row : result.oc) {
    text += format_string("%-*.*f", rate_width, decimals, row.rate);
    for (const Column &column : columns) {
      text += format_string("%-*s", column.width, figure_text(column, row.*column.field).c_str());
    }
    text += "\n";
  }
  text += "\nDefinitions:\n";
  for (const auto &[term, meaning] : definitions(result)) {
    // Operators in brackets are described, symbols defined, as in today's block.
    const bool operator_term = term.back() == ']';
    text += format_string("  %-9s%s %s\n", term.c_str(), operator_term ? " " : "=",
                          (operator_term ? "denotes " + meaning : meaning).c_str());
  }
  return text + "\n";
}

// The table of trial conduct under accrual, with its heading and definitions.
const Column kConductColumns[] = {
    {"E[enrolled]", &OcRow::mean_enrolled, 2, 13},
    {"E[time]", &OcRow::mean_calendar_time, 2, 11},
    {"E[Y+pending]", &OcRow::mean_events_with_pending, 2, 13},
};

std::string conduct_heading(const Report &result) {
  return format_string("Trial conduct: patients enter evenly over A = %g time units and each outcome is known "
                       "TAU = %g after entry (exact figures, whatever the method)",
                       result.accrual->period, result.accrual->window);
}

const std::pair<const char *, const char *> kConductTerms[] = {
    {"enrolled", "the patients entered when the trial ends, those awaiting an outcome included"},
    {"time", "the calendar time when the trial ends, accrual starting at time 0"},
    {"Y+pending", "Y plus the events expected among the patients awaiting an outcome"},
};

std::string text_conduct_table(const Report &result) {
  const int decimals = oc_rate_decimals(result);
  const int rate_width = std::max(kRateWidth, decimals + 3);
  std::string text = wrap_text(conduct_heading(result) + ":", kTextWidth) + "\n";
  text += format_string("%-*s", rate_width, "THETA");
  for (const Column &column : kConductColumns) text += format_string("%-*s", column.width, column.header);
  text += "\n\n";
  for (const OcRow &row : result.oc) {
    text += format_string("%-*.*f", rate_width, decimals, row.rate);
    for (const Column &column : kConductColumns)
      text += format_string("%-*s", column.width, figure_text(column, row.*column.field).c_str());
    text += "\n";
  }
  text += "\n";
  for (const auto &[term, meaning] : kConductTerms) text += format_string("  %-10s= %s\n", term, meaning);
  return text + "\n";
}

// The rows whose figures the table of looks shows: THETA's and P1's where the table has them.
std::vector<std::pair<std::string, std::size_t>> look_rows(const Report &result) {
  std::vector<std::pair<std::string, std::size_t>> rows;
  if (result.has_theta && valid_row(result, result.theta_row)) rows.emplace_back("THETA", *result.theta_row);
  if (result.alternative && valid_row(result, result.alternative_row))
    rows.emplace_back("P1", *result.alternative_row);
  return rows;
}

// The table of looks: per look its count, and for each row shown the probability of stopping there and of
// stopping there or before. Cells are strings, the header first.
std::vector<std::vector<std::string>> look_table(const Report &result) {
  const Rule &rule = result.calibration.rule;
  const auto rows = look_rows(result);
  std::vector<std::vector<std::string>> table = {{"n", "b"}};
  for (const auto &[name, index] : rows) {
    table[0].push_back("P(at) " + name);
    table[0].push_back("P(by) " + name);
  }
  std::vector<double> by(rows.size(), 0.0);
  for (std::size_t i = 0; i < std::min(rule.looks.size(), rule.counts.size()); ++i) {
    std::vector<std::string> line = {std::to_string(rule.looks[i]), std::to_string(rule.counts[i])};
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const std::vector<double> &at = result.oc[rows[r].second].p_stop_at_look;
      const double p = i < at.size() ? at[i] : std::nan("");
      by[r] += p;
      line.push_back(format_string("%.5f", p));
      line.push_back(format_string("%.5f", std::min(by[r], 1.0)));
    }
    table.push_back(line);
  }
  return table;
}

std::string text_look_table(const Report &result) {
  const auto rows = look_rows(result);
  std::string text = "Stopping at each look: P(at) at the look, P(by) at it or before";
  for (const auto &[name, index] : rows) text += format_string(", %s = %g", name.c_str(), result.oc[index].rate);
  text += rows.empty() ? " (the table has no row at THETA or P1):\n\n" : ":\n\n";
  const std::vector<std::vector<std::string>> table = look_table(result);
  for (std::size_t i = 0; i < table.size(); ++i) {
    for (std::size_t j = 0; j < table[i].size(); ++j)
      text += format_string("%-*s", j < 2 ? 6 : 13, table[i][j].c_str());
    text += i == 0 ? "\n\n" : "\n";
  }
  return text + "\n";
}

std::string boundary_file_words(const Report &result, bool markdown) {
  const std::string name = markdown ? "`" + result.boundary_file + "`" : result.boundary_file;
  if (result.boundary_file_failed) {
    return "The boundary could not be written to file " + name + " (the reason is on standard error).\n";
  }
  if (result.boundary_file.empty() && result.evaluated)
    return "The rule was not written to a file (-o FILE writes it as a boundary file).\n";
  if (result.boundary_file.empty()) return "The boundary was not written to a file (--no-output).\n";
  return "The boundary has been written to file " + name + " in a format\n" +
         "appropriate for reading into other supplied programs (e.g. tolk3).\n";
}

}  // namespace

// The text report up to the lines on the boundary file.
std::string text_report_body(const Report &result) {
  std::string text;
  for (const Item &item : result_items(result)) {
    if (!item.figure) {
      text += item.value + "\n";
    } else if (item.meaning.empty()) {
      text += format_string("%-5s = %s \n", item.label.c_str(), item.value.c_str());
    } else {
      text += format_string("%-5s = %s%s%s\n", item.label.c_str(), item.value.c_str(), item.separator.c_str(),
                            item.meaning.c_str());
    }
  }

  const Rule &rule = result.calibration.rule;
  text += "\nThe upper boundary is:\n";
  for (std::size_t i = 0; i < std::min(rule.looks.size(), rule.counts.size()); ++i) {
    text += format_string("b[%d] = %d \n", rule.looks[i], rule.counts[i]);
  }

  text += "\nDecision table:\n" + decision_table_text(rule);
  text += std::string("\n") + wrap_text(decision_sentence(result), kTextWidth) + "\n";
  text += text_table(result);
  if (result.accrual) text += text_conduct_table(result);
  if (result.by_look) text += text_look_table(result);
  return text + "\n";
}

// The text report's closing lines: the boundary file's fate and the date.
std::string text_report_ending(const Report &result) {
  return boundary_file_words(result, false) + "Date and time: " + result.date + "\n\n\n";
}

std::string to_text(const Report &result) { return text_report_body(result) + text_report_ending(result); }

namespace {

// Markdown's emphasis and table characters escaped in running text.
std::string markdown_escaped(const std::string &text) {
  std::string escaped;
  for (char c : text) {
    if (c == '*' || c == '_' || c == '|' || c == '`' || c == '<' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string markdown_row(const std::vector<std::string> &cells) {
  std::string row = "|";
  for (const std::string &cell : cells) row += " " + cell + " |";
  return row + "\n";
}

// The header and alignment rows of a Markdown table of right-aligned numbers.
std::string markdown_header(const std::vector<std::string> &headers) {
  return markdown_row(headers) + markdown_row(std::vector<std::string>(headers.size(), "---:"));
}

}  // namespace

std::string decision_table_text(const Rule &rule) {
  const std::vector<DecisionRow> rows = decision_table(rule);
  if (rows.empty()) return "  none: no look can stop the trial\n";
  std::string text = format_string("  %-12s%s\n", "Patients", "Stop if events >=");
  for (const DecisionRow &row : rows) text += format_string("  %-12s%d\n", patients_cell(row, "-").c_str(), row.count);
  return text;
}

std::string decision_table_markdown(const Rule &rule) {
  const std::vector<DecisionRow> rows = decision_table(rule);
  if (rows.empty()) return "No look can stop the trial.\n";
  std::string text = markdown_header({"Patients", "Stop if events ≥"});
  for (const DecisionRow &row : rows) text += markdown_row({patients_cell(row, "–"), std::to_string(row.count)});
  return text;
}

std::string to_markdown(const Report &result) {
  std::string text =
      std::string("# ") + markdown_escaped(result.program + " " + result.version) + " report\n\n";
  for (const Item &item : result_items(result)) {
    text += "- ";
    if (!item.figure) {
      text += markdown_escaped(item.value);
    } else {
      text += std::string("**") + markdown_escaped(item.label) + "** = " + markdown_escaped(item.value);
      if (!item.meaning.empty()) text += std::string(": ") + markdown_escaped(item.meaning);
    }
    text += "\n";
  }

  const Rule &rule = result.calibration.rule;
  text += "\n## Upper boundary\n\n" + markdown_header({"Patient", "Stop if events ≥"});
  for (std::size_t i = 0; i < std::min(rule.looks.size(), rule.counts.size()); ++i) {
    text += markdown_row({std::to_string(rule.looks[i]), std::to_string(rule.counts[i])});
  }

  text += "\n## Decision table\n\n" + decision_table_markdown(rule);
  text += std::string("\n") + markdown_escaped(decision_sentence(result)) + "\n";

  text += "\n## Operating characteristics\n\n";
  const int decimals = oc_rate_decimals(result);
  const std::vector<Column> columns = oc_columns(result);
  std::vector<std::string> headers = {"THETA"};
  for (const Column &column : columns) headers.push_back(markdown_escaped(column.header));
  text += markdown_header(headers);
  for (const OcRow &row : result.oc) {
    std::vector<std::string> cells = {format_string("%.*f", decimals, row.rate)};
    for (const Column &column : columns) {
      cells.push_back(figure_text(column, row.*column.field));
    }
    text += markdown_row(cells);
  }
  text += "\n";
  for (const auto &[term, meaning] : definitions(result)) {
    text += std::string("- ") + markdown_escaped(term) + ": " + meaning + "\n";
  }

  if (result.accrual) {
    text += "\n## Trial conduct\n\n" + markdown_escaped(conduct_heading(result)) + ".\n\n";
    std::vector<std::string> conduct_headers = {"THETA"};
    for (const Column &column : kConductColumns) conduct_headers.push_back(markdown_escaped(column.header));
    text += markdown_header(conduct_headers);
    for (const OcRow &row : result.oc) {
      std::vector<std::string> cells = {format_string("%.*f", decimals, row.rate)};
      for (const Column &column : kConductColumns) cells.push_back(figure_text(column, row.*column.field));
      text += markdown_row(cells);
    }
    text += "\n";
    for (const auto &[term, meaning] : kConductTerms)
      text += std::string("- ") + markdown_escaped(term) + ": " + meaning + "\n";
  }
  if (result.by_look) {
    // One row per rate and look, as the CSV has them.
    text += "\n## Stopping at each look\n\nP(at): the probability of stopping at the look; P(by): at it or before.\n\n";
    text += markdown_header({"THETA", "n", "b", "P(at)", "P(by)"});
    for (const OcRow &row : result.oc) {
      double by = 0.0;
      for (std::size_t i = 0; i < rule.looks.size() && i < row.p_stop_at_look.size(); ++i) {
        by += row.p_stop_at_look[i];
        text += markdown_row({format_string("%.*f", decimals, row.rate), std::to_string(rule.looks[i]),
                              std::to_string(rule.counts[i]), format_string("%.5f", row.p_stop_at_look[i]),
                              format_string("%.5f", std::min(by, 1.0))});
      }
    }
  }
  text += std::string("\n") + boundary_file_words(result, true);
  return text + "\nDate and time: " + result.date + "\n";
}

std::string to_format(OutputFormat format, const Report &result) {
  switch (format) {
    case OutputFormat::kText:
      return to_text(result);
    case OutputFormat::kMarkdown:
      return to_markdown(result);
    case OutputFormat::kJson:
      return to_json(result);
    case OutputFormat::kCsv:
      return to_csv(result);
  }
  return "";
}

}  // namespace contmon
