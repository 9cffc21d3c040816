// The outputs of a run, from reports built by hand: the decision table, the
// sentence, and the text, Markdown, JSON and CSV reports read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "outputs/outputs_internal.h"
#include "tests/program_runner.h"

// DecisionRow compared and printed in its own namespace, where lookup finds them.
namespace contmon {
bool operator==(const DecisionRow &a, const DecisionRow &b) {
  return a.from == b.from && a.to == b.to && a.count == b.count;
}
void PrintTo(const DecisionRow &r, std::ostream *os) { *os << r.from << "-" << r.to << ":" << r.count; }
}  // namespace contmon

namespace {

using namespace contmon;

using nlohmann::json;

TEST(DecisionTable, CondensesRunsOfEqualCountsAndDropsLooksThatCannotStop) {
  struct Case {
    const char *name;
    Rule rule;
    std::vector<DecisionRow> rows;
  } cases[] = {
      {"ten stages",
       {10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {2, 3, 3, 4, 5, 5, 6, 6, 6, 7}},
       {{3, 3, 3}, {4, 4, 4}, {5, 6, 5}, {7, 9, 6}, {10, 10, 7}}},
      {"looks every 5", {20, {5, 10, 15, 20}, {3, 3, 4, 4}}, {{5, 10, 3}, {15, 20, 4}}},
      {"one look", {30, {30}, {9}}, {{30, 30, 9}}},
      {"one look, no stop", {30, {30}, {31}}, {}},
      {"the last look alone", {4, {1, 2, 3, 4}, {5, 5, 5, 3}}, {{4, 4, 3}}},
      {"nothing stoppable", {3, {1, 2, 3}, {4, 4, 4}}, {}},
      {"a look that cannot stop splits a run", {15, {5, 10, 15}, {3, 11, 3}}, {{5, 5, 3}, {15, 15, 3}}},
      {"falling counts", {3, {1, 2, 3}, {1, 1, 1}}, {{1, 3, 1}}},
  };
  for (const Case &c : cases) EXPECT_EQ(decision_table(c.rule), c.rows) << c.name;
}

TEST(Wording, LooksProbabilitiesAndWrapping) {
  const struct {
    std::vector<int> looks;
    std::string words;
  } lists[] = {{{5, 10, 15, 20, 25, 30}, "5, 10, ..., 30"},
               {{3, 7, 12}, "3, 7 and 12"},
               {{10, 20, 30}, "10, 20 and 30"},
               {{1, 2, 3, 4, 5, 10, 20}, "1, 2, ..., 5, 10 and 20"},
               {{30}, "30"},
               {{2, 4, 6, 8, 10, 11}, "2, 4, ..., 10 and 11"},
               {{5, 10, 15, 20}, "5, 10, 15 and 20"}};
  for (const auto &l : lists) EXPECT_EQ(look_list(l.looks), l.words);
  EXPECT_EQ(looks_phrase({1, 2, 3}, 3), "a look after every patient");
  EXPECT_EQ(looks_phrase({1, 2, 3}, 4), "looks at patients 1, 2 and 3");

  const struct {
    double p;
    const char *words;
  } probabilities[] = {{0.046888, "0.047"},
                       {0.5, "0.500"},
                       {0.00042, "0.00042"},
                       {0.99957, "0.99957"},
                       {0.0, "0"},
                       {1.0, "1"},
                       {2e-12, "less than 0.000000001"}};
  for (const auto &p : probabilities) EXPECT_EQ(probability_words(p.p), p.words) << p.p;

  const std::string text = "one two three four five six seven eight nine ten eleven P1 = 0.5 twelve";
  const std::string wrapped = wrap_text(text, 14);
  EXPECT_NE(wrapped.find("\nP1 = 0.5"), std::string::npos) << wrapped;
  for (const std::string &line : lines_of(wrapped)) EXPECT_LE(line.size(), 14u) << line;
  std::string rejoined = wrapped;
  std::replace(rejoined.begin(), rejoined.end(), '\n', ' ');
  EXPECT_EQ(rejoined, text + " ");
}

// Figures that need all their digits to read back exactly.
OcRow row_at(double rate, int i) {
  const double t = i + 1.0 / 3.0;
  return OcRow{rate,     0.046888 * t, 0.03 * t + 1e-17, 9.7712345678901 / t, 1.17 / t,   2.93 / t,
               1.36 / t, 0.32 / t,     0.18 / t,         0.000212 / t,        0.00117 / t};
}

// contmon's ten-stage example, simulated, with an alternative of 0.5.
Report ten_stages() {
  Report r;
  r.program = "contmon";
  r.version = "1.2";
  r.trials = 1000000;
  r.seed = 314159;
  r.date = "<masked>";
  r.design.K = 10;
  r.design.theta = 0.3;
  r.design.phi = 0.05;
  r.alternative = 0.5;
  r.calibration.rule = {10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {2, 3, 3, 4, 5, 5, 6, 6, 6, 7}};
  r.calibration.constant = 0.0278978;
  r.calibration.phi_star = 0.046888;
  r.calibration.has_neighbour = true;
  r.calibration.neighbour_constant = 0.0312;
  r.calibration.neighbour_phi_star = 0.0534;
  r.oc = {row_at(0.3, 0), row_at(0.35, 1), row_at(0.5, 2), row_at(0.125, 3)};
  r.theta_row = 0;
  r.alternative_row = 2;
  r.boundary_file = "_bndry_.dat";
  return r;
}

// An O'Brien-Fleming design looking every 5 patients, calculated exactly.
Report looks_every_five() {
  Report r = ten_stages();
  r.exact = true;
  r.design.K = 20;
  r.design.shape.kind = ShapeKind::kObf;
  r.design.looks = {5, 10, 15, 20};
  r.design.min_events = 3;
  r.calibration.rule = {20, {5, 10, 15, 20}, {3, 3, 4, 4}};
  r.calibration.constant = 2.0537;
  r.calibration.has_neighbour = false;
  for (OcRow &row : r.oc) row.se_p_stop = row.se_mean_n = std::numeric_limits<double>::quiet_NaN();
  return r;
}

std::string report(OutputFormat format, const Report &result) { return to_format(format, result); }

TEST(Formats, EachWriterIsItsFormat) {
  for (const Report &r : {ten_stages(), looks_every_five()}) {
    EXPECT_EQ(report(OutputFormat::kText, r), to_text(r));
    EXPECT_EQ(to_text(r), text_report_body(r) + text_report_ending(r));
    EXPECT_EQ(report(OutputFormat::kMarkdown, r), to_markdown(r));
    EXPECT_EQ(report(OutputFormat::kJson, r), to_json(r));
    EXPECT_EQ(report(OutputFormat::kCsv, r), to_csv(r));
  }
  // The body ends before the lines on the boundary file, which the ending holds with the date.
  const std::string ending = text_report_ending(ten_stages());
  EXPECT_EQ(ending.rfind("The boundary has been written to file _bndry_.dat", 0), 0u) << ending;
  EXPECT_EQ(text_report_body(ten_stages()).find("_bndry_.dat"), std::string::npos);
}

TEST(DecisionSentence, StatesTheRowsTheLooksAndTheProbabilities) {
  Report r = ten_stages();
  EXPECT_EQ(
      decision_sentence(r),
      "Stop the trial if the number of patients with an event reaches 3 among the first 3 patients, 4 among "
      "the first 4 patients, 5 among the first 5 or 6 patients, 6 among the first 7 to 9 patients, or 7 "
      "among the first 10 patients (the count being checked after every patient); when the true event "
      "probability is THETA = 0.3, the probability of stopping is 0.016 (and 0.109 when it is P1 = 0.5).");
  EXPECT_EQ(
      decision_sentence(looks_every_five()),
      "Stop the trial if the number of patients with an event reaches 3 among the first 5 to 10 patients "
      "or 4 among the first 15 to 20 patients (the count being checked only after patients 5, 10, 15 "
      "and 20); when the true event probability is THETA = 0.3, the probability of stopping is 0.016 "
      "(and 0.109 when it is P1 = 0.5).");
  r.has_theta = false;  // a plain rule file
  r.alternative.reset();
  EXPECT_EQ(decision_sentence(r).find("probability is"), std::string::npos);
  r.calibration.rule.counts.assign(10, 11);
  EXPECT_EQ(decision_sentence(r).rfind("The rule never stops the trial", 0), 0u);
}

// The figures of the text table's rows, as printed.
std::vector<std::vector<std::string>> text_table_rows(const std::string &text) {
  std::vector<std::vector<std::string>> rows;
  const std::vector<std::string> lines = lines_of(text);
  auto line = std::find_if(lines.begin(), lines.end(),
                           [](const std::string &l) { return l.rfind("THETA   P(stop)", 0) == 0; });
  for (line += 2; line < lines.end() && !line->empty(); ++line) {
    std::istringstream words(*line);
    rows.emplace_back();
    for (std::string word; words >> word;) rows.back().push_back(word);
  }
  return rows;
}

TEST(JsonReport, ReadsBackExactlyAndAgreesWithTheTextTable) {
  for (const Report &r : {ten_stages(), looks_every_five()}) {
    const json doc = json::parse(report(OutputFormat::kJson, r));
    const bool simulated = !r.exact;
    EXPECT_EQ(doc["method"], simulated ? "simulation" : "exact");
    EXPECT_EQ(doc.contains("trials"), simulated);
    const std::vector<int> every = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(doc["inputs"]["looks"].get<std::vector<int>>(),
              r.design.looks.empty() ? every : r.design.looks);
    EXPECT_EQ(doc.contains("alpha"), r.design.shape.kind == ShapeKind::kPocock);
    EXPECT_EQ(doc["inputs"]["shape"], shape_name(r.design.shape));
    EXPECT_TRUE(doc["inputs"]["shape_parameters"].is_object());
    EXPECT_EQ(doc["inputs"]["min_events"], r.design.min_events);
    EXPECT_EQ(doc["design"], design_arguments(r.design));
    EXPECT_EQ(doc["neighbour"].is_null(), !r.calibration.has_neighbour);
    EXPECT_EQ(doc["boundary"].size(), r.calibration.rule.looks.size());
    EXPECT_EQ(doc["boundary"][1]["n"], r.calibration.rule.looks[1]);
    EXPECT_EQ(doc["boundary"][1]["b"], r.calibration.rule.counts[1]);
    const std::vector<DecisionRow> rows = decision_table(r.calibration.rule);
    ASSERT_EQ(doc["decision_table"].size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(doc["decision_table"][i]["from"], rows[i].from);
      EXPECT_EQ(doc["decision_table"][i]["b"], rows[i].count);
    }
    EXPECT_EQ(doc["sentence"], decision_sentence(r));

    const std::vector<std::vector<std::string>> printed = text_table_rows(report(OutputFormat::kText, r));
    const char *keys[] = {"rate", "p_stop",          "p_stop_before_last", "mean_n",    "sd_n",     "mean_y",
                          "sd_y", "mean_proportion", "sd_proportion",      "se_p_stop", "se_mean_n"};
    const int decimals[] = {3, 3, 3, 2, 2, 2, 2, 2, 2, 5, 4};  // the rate of 0.125 needs 3
    const std::size_t columns = simulated ? 11 : 9;  // and p_stop_at_look
    ASSERT_EQ(doc["oc"].size(), r.oc.size());
    ASSERT_EQ(printed.size(), r.oc.size());
    for (std::size_t i = 0; i < r.oc.size(); ++i) {
      const OcRow &row = r.oc[i];
      const double figures[] = {
          row.rate, row.p_stop,          row.p_stop_before_last, row.mean_n,    row.sd_n,     row.mean_y,
          row.sd_y, row.mean_proportion, row.sd_proportion,      row.se_p_stop, row.se_mean_n};
      EXPECT_EQ(doc["oc"][i].size(), columns + 1);
      ASSERT_EQ(printed[i].size(), columns);
      for (std::size_t k = 0; k < columns; ++k) {
        const double value = doc["oc"][i][keys[k]].get<double>();
        EXPECT_EQ(value, figures[k]) << keys[k];
        EXPECT_EQ(printed[i][k], format_string("%.*f", decimals[k], value)) << keys[k];
      }
    }
  }
}

TEST(JsonReport, NotANumberIsNull) {
  Report r = ten_stages();
  r.oc[1].se_mean_n = std::numeric_limits<double>::quiet_NaN();
  r.oc[1].sd_y = std::numeric_limits<double>::infinity();
  const json doc = json::parse(report(OutputFormat::kJson, r));
  EXPECT_TRUE(doc["oc"][1]["se_mean_n"].is_null());
  EXPECT_TRUE(doc["oc"][1]["sd_y"].is_null());
  EXPECT_EQ(doc["oc"][1]["sd_n"].get<double>(), r.oc[1].sd_n);
}

TEST(JsonReport, ShapeParametersByNameAndNoneForARuleGiven) {
  Report r = looks_every_five();
  r.design.shape = Shape{ShapeKind::kBayes, 0.0, 0.5, 2.0, 0.0};
  json doc = json::parse(report(OutputFormat::kJson, r));
  EXPECT_EQ(doc["inputs"]["shape"], "bayes");
  EXPECT_EQ(doc["inputs"]["shape_parameters"], (json{{"a", 0.5}, {"b", 2.0}}));
  EXPECT_FALSE(doc.contains("alpha"));
  EXPECT_EQ(doc["constant"].get<double>(), r.calibration.constant);
  r.evaluated = true;
  r.rule_file = "rule.txt";
  doc = json::parse(report(OutputFormat::kJson, r));
  EXPECT_TRUE(doc["inputs"]["shape"].is_null());
  EXPECT_TRUE(doc["inputs"]["shape_parameters"].is_null());
  EXPECT_TRUE(doc["constant"].is_null());
  EXPECT_TRUE(doc["design"].is_null());
  EXPECT_EQ(doc["rule_file"], "rule.txt");
}

TEST(CsvReport, ReadsBackExactly) {
  for (const Report &r : {ten_stages(), looks_every_five()}) {
    const std::vector<std::string> lines = lines_of(report(OutputFormat::kCsv, r));
    const std::string header =
        "rate,p_stop,p_stop_before_last,mean_n,sd_n,mean_y,sd_y,mean_proportion,sd_proportion";
    ASSERT_EQ(lines.size(), r.oc.size() + 1);
    EXPECT_EQ(lines[0], r.exact ? header : header + ",se_p_stop,se_mean_n");
    for (std::size_t i = 0; i < r.oc.size(); ++i) {
      const OcRow &row = r.oc[i];
      std::vector<double> expected = {
          row.rate,   row.p_stop, row.p_stop_before_last, row.mean_n,       row.sd_n,
          row.mean_y, row.sd_y,   row.mean_proportion,    row.sd_proportion};
      if (!r.exact) expected.insert(expected.end(), {row.se_p_stop, row.se_mean_n});
      std::vector<double> read;
      std::istringstream fields(lines[i + 1]);
      for (std::string field; std::getline(fields, field, ',');) read.push_back(std::stod(field));
      EXPECT_EQ(read, expected);
    }
  }
}

TEST(TextReport, KeepsTheDialoguesLinesAndAddsTheDecisionTable) {
  // The dialogue's lines from K to the last b[] line, in order, then the closing lines.
  const std::string text = report(OutputFormat::kText, ten_stages());
  const std::vector<std::string> lines = lines_of(text);
  const std::vector<std::string> golden =
      lines_of(read_file(std::string(CONTMON_GOLDEN_DIR) + "/ten_stages.stdout"));
  auto from = std::find(golden.begin(), golden.end(), "K     = 10 ");
  auto to = std::find(golden.begin(), golden.end(), "b[10] = 7 ");
  ASSERT_NE(to, golden.end());
  auto at = lines.begin();
  for (auto line = from; line <= to; ++line) {
    at = std::find(at, lines.end(), *line);
    EXPECT_NE(at, lines.end()) << *line;
  }
  EXPECT_NE(text.find("Method: simulation of 1000000 trials per figure, generator seed 314159\n"),
            std::string::npos);
  EXPECT_NE(
      text.find("NEXT  = 0.0312 = the next candidate, which stops more often: PHI* = 0.0534 (above PHI)\n"),
      std::string::npos);
  EXPECT_NE(
      text.find("POWER = 0.109405 = the probability of stopping when the event probability is P1 = 0.5"),
      std::string::npos);
  EXPECT_NE(text.find("  5-6         5\n  7-9         6\n  10          7\n"), std::string::npos);
  const std::string tail =
      "The boundary has been written to file _bndry_.dat in a format\n"
      "appropriate for reading into other supplied programs (e.g. tolk3).\nDate and time: <masked>\n\n\n";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(TextReport, BoundaryAtLooksOnlyAndTheRuleReadFromAFile) {
  Report r = looks_every_five();
  std::string text = report(OutputFormat::kText, r);
  std::vector<std::string> b_lines;
  for (const std::string &line : lines_of(text)) {
    if (line.rfind("b[", 0) == 0) b_lines.push_back(line);
  }
  EXPECT_EQ(b_lines, (std::vector<std::string>{"b[5] = 3 ", "b[10] = 3 ", "b[15] = 4 ", "b[20] = 4 "}));
  EXPECT_NE(text.find("  5-10        3\n  15-20       4\n"), std::string::npos);
  EXPECT_NE(text.find("c     = 2.0537 = the boundary constant of the shape\n"), std::string::npos);
  EXPECT_NE(text.find("looks at patients 5, 10, 15 and 20, stopping needs at least 3 events\n"),
            std::string::npos);
  EXPECT_NE(text.find("NEXT  = none: no candidate stops more often\n"), std::string::npos);

  r.evaluated = true;
  r.rule_file = "rule.txt";
  r.has_theta = r.has_phi = false;
  r.boundary_file.clear();
  text = report(OutputFormat::kText, r);
  EXPECT_NE(text.find("\nK     = 20 \nRule read from rule.txt (not searched)\n"), std::string::npos);
  for (const char *absent : {"THETA =", "PHI", "c     =", "NEXT"})
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;
  EXPECT_NE(text.find("The rule was not written to a file (-o FILE writes it as a boundary file).\n"),
            std::string::npos);
}

TEST(MarkdownReport, TablesAreWellFormed) {
  const std::string text = report(OutputFormat::kMarkdown, ten_stages());
  EXPECT_NE(text.find("\n| Patients | Stop if events ≥ |\n| ---: | ---: |\n| 3 | 3 |\n"), std::string::npos);
  EXPECT_NE(text.find("| 5–6 | 5 |\n"), std::string::npos);
  const std::vector<std::string> lines = lines_of(text);
  int tables = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("|", 0) != 0 || lines[i - 1].rfind("|", 0) == 0) continue;
    ++tables;
    EXPECT_TRUE(lines[i - 1].empty()) << lines[i];
    const auto cells = std::count(lines[i].begin(), lines[i].end(), '|');
    ASSERT_LT(i + 1, lines.size());
    EXPECT_EQ(lines[i + 1].find_first_not_of("|-: "), std::string::npos) << lines[i + 1];
    for (std::size_t j = i + 1; j < lines.size() && !lines[j].empty(); ++j) {
      EXPECT_EQ(std::count(lines[j].begin(), lines[j].end(), '|'), cells) << lines[j];
      EXPECT_EQ(lines[j].back(), '|') << lines[j];
    }
  }
  EXPECT_EQ(tables, 3);  // the boundary, the decision table, the operating characteristics
}

}  // namespace
