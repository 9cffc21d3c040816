// The operating-characteristics table: which event probabilities get a row,
// where P1's row goes, the decimals a rate needs, and the dialogue's table
// around the rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "contmon/report.h"
#include "contmon/writers.h"
#include "tests/case_name.h"
#include "tests/program_runner.h"

namespace {

using namespace contmon;

// Grid values in hundredths, from first to 95 in steps of 5.
std::vector<double> grid_from(int first) {
  std::vector<double> g;
  for (int h = first; h <= 95; h += 5) g.push_back(h / 100.0);
  return g;
}

std::vector<double> with_theta_row(double THETA, std::vector<double> grid) {
  grid.insert(grid.begin(), THETA);
  return grid;
}

struct RowCase {
  const char *name;
  double THETA;
  std::vector<double> rows;
};

void PrintTo(const RowCase &c, std::ostream *os) { *os << c.name; }

class TableRows : public testing::TestWithParam<RowCase> {};

TEST_P(TableRows, ThetaRowUnlessOnTheGridThenTheGrid) {
  const RowCase &c = GetParam();
  EXPECT_EQ(default_rates(c.THETA), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TableRows,
    testing::Values(RowCase{"OnTheGrid_0_25", 0.25, grid_from(25)},
                    // 0.3 is stored below 0.3: 29 hundredths, rounded up to 30, within 1e-10 of 0.30.
                    RowCase{"StoredBelowTheGrid_0_3", 0.3, grid_from(30)},
                    RowCase{"OffTheGrid_0_123", 0.123, with_theta_row(0.123, grid_from(15))},
                    // 0.21 is stored below 0.21: 20 hundredths, so the grid starts below THETA.
                    RowCase{"GridStartsBelowTheta_0_21", 0.21, with_theta_row(0.21, grid_from(20))},
                    RowCase{"GridStartsBelowTheta_0_201", 0.201, with_theta_row(0.201, grid_from(20))},
                    RowCase{"GridStartsBelowTheta_0_06", 0.06, with_theta_row(0.06, grid_from(5))},
                    RowCase{"LastGridValue_0_96", 0.96, {0.96, 0.95}},
                    RowCase{"AboveTheGrid_0_97", 0.97, {0.97}}, RowCase{"AboveTheGrid_0_999", 0.999, {0.999}},
                    RowCase{"NoRowForZero_0_005", 0.005, with_theta_row(0.005, grid_from(5))},
                    RowCase{"MostRows_0_01", 0.01, with_theta_row(0.01, grid_from(5))},
                    RowCase{"WithinToleranceOfZero", 1e-11, grid_from(5)},
                    // Outside (0, 1) only the THETA row and the positive grid values are kept.
                    RowCase{"AboveOne", 2.01, {2.01}},
                    RowCase{"Negative", -0.51, with_theta_row(-0.51, grid_from(5))},
                    RowCase{"NotANumber", std::nan(""), grid_from(5)}),
    case_name<RowCase>);

// The rows of a run's table: the rates asked for or the default rows, and the alternative P1 placed among
// them once.
struct ReportRowsCase {
  const char *name;
  std::vector<double> rates;
  std::optional<double> alternative;
  double THETA;
  std::vector<double> rows;
  std::size_t alternative_row;
  int decimals;  // 0: not checked, for a rate no 2 to 9 decimals can show
};

void PrintTo(const ReportRowsCase &c, std::ostream *os) { *os << c.name; }

class ReportRows : public testing::TestWithParam<ReportRowsCase> {};

TEST_P(ReportRows, RatesInTheirOrderAndTheAlternativeOnce) {
  const ReportRowsCase &c = GetParam();
  std::size_t alternative_row = 999;
  const std::vector<double> rows = table_rates(c.rates, c.THETA, c.alternative, &alternative_row);
  EXPECT_EQ(rows, c.rows);
  EXPECT_EQ(alternative_row, c.alternative ? c.alternative_row : 999u);
  if (c.decimals > 0) {
    EXPECT_EQ(rate_decimals(rows), c.decimals);
  }
}

std::vector<double> inserted(std::vector<double> rows, std::size_t at, double p) {
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), p);
  return rows;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReportRows,
    testing::Values(
        ReportRowsCase{"DefaultRows", {}, std::nullopt, 0.3, grid_from(30), 0, 2},
        // The default rows leave out a THETA within 1e-10 of 0, the table does not.
        ReportRowsCase{"ThetaNearZeroHeadsTheDefaultRows",
                       {},
                       std::nullopt,
                       1e-11,
                       with_theta_row(1e-11, grid_from(5)),
                       0,
                       0},
        ReportRowsCase{"AlternativeBelowTheGridAfterThetaRow",
                       {},
                       0.02,
                       0.01,
                       inserted(with_theta_row(0.01, grid_from(5)), 1, 0.02),
                       1,
                       2},
        ReportRowsCase{"AlternativeWithinToleranceOfARate", {0.2, 0.4}, 0.4 + 1e-11, 0.1, {0.2, 0.4}, 1, 2},
        ReportRowsCase{
            "RatesAsGiven", {0.4, 0.1, 0.125, 0.4}, std::nullopt, 0.3, {0.4, 0.1, 0.125, 0.4}, 0, 3},
        ReportRowsCase{"AlternativeAmongTheGrid", {}, 0.33, 0.3, inserted(grid_from(30), 1, 0.33), 1, 2},
        ReportRowsCase{"AlternativeOnTheGrid", {}, 0.45, 0.3, grid_from(30), 3, 2},
        ReportRowsCase{"AlternativeAfterThetaRow",
                       {},
                       0.1234,
                       0.123,
                       inserted(with_theta_row(0.123, grid_from(15)), 1, 0.1234),
                       1,
                       4},
        ReportRowsCase{"AlternativeAboveTheGrid", {}, 0.99, 0.3, inserted(grid_from(30), 14, 0.99), 14, 2},
        ReportRowsCase{"AlternativeAfterTheRates", {0.5, 0.2}, 0.35, 0.1, {0.5, 0.2, 0.35}, 2, 2},
        ReportRowsCase{"AlternativeAmongTheRates", {0.5, 0.35, 0.2}, 0.35, 0.1, {0.5, 0.35, 0.2}, 1, 2},
        ReportRowsCase{"SevenDecimals", {0.1234567}, std::nullopt, 0.1, {0.1234567}, 0, 7},
        ReportRowsCase{
            "NineDecimalsAtMost", {0.5, 1.23456789e-6}, std::nullopt, 0.1, {0.5, 1.23456789e-6}, 0, 9}),
    case_name<ReportRowsCase>);

// The figures of the rule {1, 2, 2} after each of three patients at the default rows for 0.123.
std::vector<OcRow> three_stage_rows() {
  return characteristics(Rule{3, {1, 2, 3}, {1, 2, 2}}, default_rates(0.123), Method{MethodKind::kExact});
}

TEST(DialogueTable, HeaderRowsAndDefinitions) {
  const std::vector<OcRow> rows = three_stage_rows();
  ASSERT_EQ(rows.size(), 18u);
  const std::string text = dialogue_table(rows);
  ASSERT_EQ(text.back(), '\n');
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), 2u + 18u + 8u);

  EXPECT_EQ(lines[0], "THETA   PHI*    E[Y]    SD[Y]   E[N]    SD[N]   E[Y/N]  SD[Y/N] ");
  EXPECT_EQ(lines[1], "");
  const char *first_columns[] = {"0.12    ", "0.15    ", "0.20    ", "0.25    ", "0.30    ", "0.35    ",
                                 "0.40    ", "0.45    ", "0.50    ", "0.55    ", "0.60    ", "0.65    ",
                                 "0.70    ", "0.75    ", "0.80    ", "0.85    ", "0.90    ", "0.95    "};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string &line = lines[2 + i];
    EXPECT_EQ(line.substr(0, 8), first_columns[i]);
    EXPECT_EQ(line.size(), 64u) << line;  // eight left-justified columns of eight characters
    double values[8];
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf %lf %lf", &values[0], &values[1], &values[2],
                          &values[3], &values[4], &values[5], &values[6], &values[7]),
              8)
        << line;
    // Each column holds its figure, within half a unit of its last decimal: PHI* has three, the others two.
    const OcRow &r = rows[i];
    const double figures[] = {r.rate,   r.p_stop, r.mean_y,          r.sd_y,
                              r.mean_n, r.sd_n,   r.mean_proportion, r.sd_proportion};
    for (int k = 0; k < 8; ++k)
      EXPECT_NEAR(values[k], figures[k], (k == 1 ? 0.0005 : 0.005) + 1e-12) << line << " column " << k;
    EXPECT_GE(values[4], 1.0);  // E[N]
    EXPECT_LE(values[4], 3.0);
  }
  const std::vector<std::string> definitions(lines.begin() + 20, lines.end());
  EXPECT_EQ(definitions, (std::vector<std::string>{
                             "", "Defintions: ", "  Y    = the number of events, random, between 0 and N",
                             "  N    = the number of patients, random, between 1 and K",
                             "  PHI* = the actual probability of early stopping (hitting the boundary)",
                             "  E[ ]   denotes the expected value (mean)",
                             "  SD[ ]  denotes the standard deviation", ""}));
}

TEST(DialogueTable, RatesWithMoreDecimalsKeepTheColumnsWidth) {
  // The dialogue's table always shows two decimals: a rate that needs seven keeps its row 64 columns wide.
  std::vector<OcRow> rows = three_stage_rows();
  rows.resize(2);
  rows[0].rate = 0.1234567;
  rows[1].rate = 0.5;
  const std::vector<std::string> lines = lines_of(dialogue_table(rows));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[2].substr(0, 8), "0.12    ");
  EXPECT_EQ(lines[3].substr(0, 8), "0.50    ");
  EXPECT_EQ(lines[2].size(), 64u);
  EXPECT_EQ(lines_of(dialogue_table({})).size(), 2u + 8u);  // no rows: the header and the definitions
}

}  // namespace
