// contmon-exact, the program built with the exact crossing engine, checked
// as a whole: its dialogue, statuses and layout are those of contmon; its
// figures match ones worked by hand; contmon's simulated figures lie within
// Monte Carlo error of its exact ones; and stored transcripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/case_name.h"
#include "tests/dialogue_text.h"
#include "tests/hand_trees.h"
#include "tests/program_runner.h"

namespace {

const std::string kSimulationLine = "(Simulation-based calculations)\n";
const std::string kExactLine = "(Exact calculations)\n";

// contmon's output with its method line replaced by that of contmon-exact.
std::string as_exact_method(std::string out) {
  std::size_t at = out.find(kSimulationLine);
  if (at != std::string::npos) out.replace(at, kSimulationLine.size(), kExactLine);
  return out;
}

const std::string kExactDialogue = as_exact_method(kDialogue);

// Runs program under the name ./name (the name goes into the boundary file) in dir.
ProgramRun run_as(const std::string &program, const std::string &name, const std::string &input,
                  const ScratchDirectory &dir) {
  std::filesystem::create_symlink(program, dir.path() / name);
  return run_program("./" + name, input, dir.path());
}

// Every number in text replaced by "#", keeping the blanks that pad it.
std::string mask_numbers(const std::string &text) {
  static const std::regex number(R"([0-9]+(\.[0-9]+)?(e[-+][0-9]+)?)");
  return std::regex_replace(text, number, "#");
}

// ---- Reading a run ---------------------------------------------------------------

struct RunResult {
  ProgramRun run;
  std::string boundary_file;  // empty when the run wrote none
};

// Runs program as ./program in a fresh directory.
RunResult run_in_scratch(const std::string &program, const std::string &input) {
  ScratchDirectory dir;
  RunResult r;
  r.run = run_as(program, "program", input, dir);
  r.boundary_file = read_file(dir.path() / "_bndry_.dat");
  return r;
}

// The number after prefix on the first line of out that starts with it; NaN when there is none.
double number_after(const std::string &out, const std::string &prefix) {
  for (const std::string &line : lines_of(out))
    if (line.compare(0, prefix.size(), prefix) == 0)
      return std::strtod(line.c_str() + prefix.size(), nullptr);
  return std::nan("");
}

// The lines "b[i] = c " of the report.
std::vector<std::string> boundary_lines(const std::string &out) {
  std::vector<std::string> b;
  for (const std::string &line : lines_of(out))
    if (line.compare(0, 2, "b[") == 0) b.push_back(line);
  return b;
}

// One table row as printed: the row's event probability (as text) and the seven figures.
struct Row {
  std::string theta;
  std::vector<double> figures;  // PHI*, E[Y], SD[Y], E[N], SD[N], E[Y/N], SD[Y/N]
};

std::vector<Row> table_rows(const std::string &out) {
  std::vector<std::string> lines = lines_of(out);
  auto header = std::find_if(lines.begin(), lines.end(), [](const std::string &line) {
    return line.compare(0, 13, "THETA   PHI* ") == 0;
  });
  std::vector<Row> rows;
  if (header == lines.end() || header + 1 == lines.end()) return rows;
  for (auto line = header + 2; line != lines.end() && !line->empty(); ++line) {
    std::istringstream fields(*line);
    Row row;
    fields >> row.theta;
    for (double x; fields >> x;) row.figures.push_back(x);
    EXPECT_EQ(row.figures.size(), 7u) << *line;
    rows.push_back(row);
  }
  return rows;
}

const char *const kFigureNames[] = {"PHI*", "E[Y]", "SD[Y]", "E[N]", "SD[N]", "E[Y/N]", "SD[Y/N]"};

// ---- The same program apart from the method -----------------------------------------

TEST(ExactProgram, BannerNamesTheExactMethod) {
  RunResult r = run_in_scratch(CONTMON_EXACT_EXE, "1 0.5 0.9\n");
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.run.out.substr(0, kExactDialogue.size()), kExactDialogue);
  EXPECT_NE(kExactDialogue.find("\n(Exact calculations)\n"), std::string::npos);
}

TEST(ExactProgram, InputErrorsAreThoseOfContmon) {
  for (const char *input : {"0 0.3 0.05\n", "256 0.3 0.05\n", "10 0 0.05\n", "10 1 0.05 7\n", "10 nan 0.05\n",
                            "10 0.3 0\n", "10 0.3 1\n", "x\n", "10 y\n", "10 0.3 z\n", "10 0.3", ""}) {
    SCOPED_TRACE(std::string("input \"") + input + "\"");
    ScratchDirectory sim_dir, exact_dir;
    write_file(sim_dir.path() / "_bndry_.dat", "kept\n");
    write_file(exact_dir.path() / "_bndry_.dat", "kept\n");
    ProgramRun sim = run_as(CONTMON_EXE, "program", input, sim_dir);
    ProgramRun exact = run_as(CONTMON_EXACT_EXE, "program", input, exact_dir);
    EXPECT_EQ(exact.status, 1);
    EXPECT_EQ(exact.status, sim.status);
    EXPECT_EQ(exact.out, as_exact_method(sim.out));
    EXPECT_EQ(exact.err, sim.err);
    EXPECT_EQ(read_file(exact_dir.path() / "_bndry_.dat"), "kept\n");
  }
}

TEST(ExactProgram, BoundaryFileThatCannotBeCreatedIsReportedLikeContmon) {
  ScratchDirectory sim_dir, exact_dir;
  std::filesystem::create_directory(sim_dir.path() / "_bndry_.dat");
  std::filesystem::create_directory(exact_dir.path() / "_bndry_.dat");
  ProgramRun sim = run_as(CONTMON_EXE, "program", "1 0.5 0.9\n", sim_dir);
  ProgramRun exact = run_as(CONTMON_EXACT_EXE, "program", "1 0.5 0.9\n", exact_dir);
  EXPECT_EQ(exact.status, 1);
  EXPECT_EQ(exact.err, "program: Open of _bndry_.dat with mode=w failed: Is a directory\n");
  EXPECT_EQ(exact.status, sim.status);
  EXPECT_EQ(exact.err, sim.err);
  EXPECT_EQ(mask_numbers(mask_date_line(exact.out)), mask_numbers(mask_date_line(as_exact_method(sim.out))));
}

// ---- Figures worked by hand ---------------------------------------------------------

struct HandCase {
  const char *name;
  const char *input;
  const char *phi_star;             // the report's PHI* as printed by "%g"
  std::vector<std::string> b;       // the boundary lines
  std::vector<std::string> thetas;  // the table's rows
  std::function<HandFigures(double)> figures;
};

void PrintTo(const HandCase &c, std::ostream *os) { *os << c.name; }

class ExactByHand : public testing::TestWithParam<HandCase> {};

TEST_P(ExactByHand, ReportTableAndBoundaryFileShowTheHandWorkedValues) {
  const HandCase &c = GetParam();
  RunResult r = run_in_scratch(CONTMON_EXACT_EXE, c.input);
  ASSERT_EQ(r.run.status, 0);
  const std::string phi_line = std::string("PHI*  = ") + c.phi_star + " = the actual";
  EXPECT_NE(r.run.out.find("\n" + phi_line), std::string::npos) << phi_line;
  EXPECT_EQ(boundary_lines(r.run.out), c.b);
  EXPECT_NE(r.boundary_file.find(std::string("\npr(Hitting the upper boundary) = ") + c.phi_star + "\n"),
            std::string::npos);

  std::vector<Row> rows = table_rows(r.run.out);
  ASSERT_EQ(rows.size(), c.thetas.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].theta, c.thetas[i]);
    const HandFigures h = c.figures(std::strtod(c.thetas[i].c_str(), nullptr));
    const double hand[] = {h.phi_star, h.mean_y, h.sd_y, h.mean_n, h.sd_n, h.mean_yn, h.sd_yn};
    for (int j = 0; j < 7; ++j) {
      const double half_unit = j == 0 ? 0.0005 : 0.005;  // PHI* has three decimals, the rest two
      EXPECT_NEAR(rows[i].figures[j], hand[j], half_unit + 1e-9)
          << "row " << c.thetas[i] << ", " << kFigureNames[j];
    }
  }
}

std::vector<std::string> grid_from(int hundredths) {
  std::vector<std::string> thetas;
  for (int g = hundredths; g <= 95; g += 5) thetas.push_back((g < 10 ? "0.0" : "0.") + std::to_string(g));
  return thetas;
}

INSTANTIATE_TEST_SUITE_P(Cases, ExactByHand,
                         testing::Values(HandCase{"SingleStageStopsWithProbabilityTheta",
                                                  "1 0.5 0.9\n",
                                                  "0.5",
                                                  {"b[1] = 1 "},
                                                  grid_from(50),
                                                  single_stage_figures},
                                         HandCase{"UnreachableBoundaryGivesBinomialCounts",
                                                  "2 0.5 0.1\n",
                                                  "0",
                                                  {"b[1] = 2 ", "b[2] = 3 "},
                                                  grid_from(50),
                                                  unreachable_two_stage_figures},
                                         HandCase{"FourStagesAgainstTheirTree",
                                                  "4 0.2 0.1\n",
                                                  "0.0528",
                                                  {"b[1] = 2 ", "b[2] = 2 ", "b[3] = 3 ", "b[4] = 3 "},
                                                  grid_from(20),
                                                  four_stage_figures}),
                         case_name<HandCase>);

// ---- Agreement of the two builds ---------------------------------------------------------

constexpr double kReplicates = 1e6;

// How far a figure of contmon's row may lie from the same figure of contmon-exact's: five standard errors
// of the simulated figure, derived from the exact row as printed, plus the rounding of both printed figures.
//  - PHI*, a proportion of 1,000,000 trials: SE = sqrt(p (1 - p) / 1e6), p taken within the printed
//    rounding of the exact PHI* where p (1 - p) is largest.
//  - A mean: SE = SD / sqrt(1e6), with the exact SD rounded up.
//  - An SD: by the delta method SE(SD) = sqrt((mu4 - SD^4) / 1e6) / (2 SD), and since every deviation is at
//    most the range of the variable, mu4 <= range^2 SD^2, so SE(SD) <= range / (2 sqrt(1e6)). The ranges are
//    K for Y, K - 1 for N and 1 for Y/N.
double agreement_tolerance(const std::vector<double> &exact, int figure, int K) {
  const double sqrt_n = std::sqrt(kReplicates);
  switch (figure) {
    case 0: {
      const double half_unit = 0.0005;
      const double p = std::clamp(0.5, exact[0] - half_unit, exact[0] + half_unit);
      const double se = std::sqrt(std::clamp(p * (1 - p), 0.0, 0.25) / kReplicates);
      return 5 * se + 2 * half_unit + 1e-9;
    }
    case 1:
    case 3:
    case 5:
      return 5 * (exact[figure + 1] + 0.005) / sqrt_n + 0.01 + 1e-9;
    default: {
      const double range = figure == 2 ? K : figure == 4 ? K - 1 : 1.0;
      return 5 * range / (2 * sqrt_n) + 0.01 + 1e-9;
    }
  }
}

struct AgreementCase {
  const char *name;
  const char *input;
  int K;
};

void PrintTo(const AgreementCase &c, std::ostream *os) { *os << c.name; }

class BuildsAgree : public testing::TestWithParam<AgreementCase> {};

TEST_P(BuildsAgree, SimulatedFiguresLieWithinFiveStandardErrorsOfTheExactOnes) {
  const AgreementCase &c = GetParam();
  RunResult sim = run_in_scratch(CONTMON_EXE, c.input);
  RunResult exact = run_in_scratch(CONTMON_EXACT_EXE, c.input);
  ASSERT_EQ(sim.run.status, 0);
  ASSERT_EQ(exact.run.status, 0);
  EXPECT_EQ(exact.run.err, sim.run.err);

  // The same layout: only the method line and the figures differ.
  EXPECT_EQ(mask_numbers(mask_date_line(exact.run.out)),
            mask_numbers(mask_date_line(as_exact_method(sim.run.out))));
  EXPECT_EQ(mask_numbers(exact.boundary_file), mask_numbers(sim.boundary_file));

  // Both searches pick the same level here, so the tables describe the same boundary.
  ASSERT_EQ(boundary_lines(exact.run.out), boundary_lines(sim.run.out));
  EXPECT_EQ(number_after(exact.run.out, "ALPHA = "), number_after(sim.run.out, "ALPHA = "));

  // PHI* of the report, printed with six significant digits.
  const double phi_exact = number_after(exact.run.out, "PHI*  = ");
  const double phi_sim = number_after(sim.run.out, "PHI*  = ");
  EXPECT_NEAR(phi_sim, phi_exact,
              5 * std::sqrt(phi_exact * (1 - phi_exact) / kReplicates) + 5e-6 * (phi_exact + phi_sim));

  std::vector<Row> sim_rows = table_rows(sim.run.out);
  std::vector<Row> exact_rows = table_rows(exact.run.out);
  ASSERT_EQ(sim_rows.size(), exact_rows.size());
  ASSERT_FALSE(exact_rows.empty());
  for (std::size_t i = 0; i < exact_rows.size(); ++i) {
    ASSERT_EQ(sim_rows[i].theta, exact_rows[i].theta);
    for (int j = 0; j < 7; ++j) {
      EXPECT_NEAR(sim_rows[i].figures[j], exact_rows[i].figures[j],
                  agreement_tolerance(exact_rows[i].figures, j, c.K))
          << "row " << exact_rows[i].theta << ", " << kFigureNames[j];
    }
  }
}

// Small inputs, so that the simulated runs of contmon stay short (a few seconds in all).
INSTANTIATE_TEST_SUITE_P(Inputs, BuildsAgree,
                         testing::Values(AgreementCase{"UnreachableBoundary", "2 0.5 0.1\n", 2},
                                         AgreementCase{"FourStages", "4 0.2 0.1\n", 4},
                                         AgreementCase{"TenStages", "10 0.3 0.05\n", 10},
                                         AgreementCase{"ThetaOffTheGrid", "6 0.96 0.9\n",
                                                       6}),  // rows 0.96, 0.95
                         case_name<AgreementCase>);

// ---- Stored transcripts ------------------------------------------------------------------

// tests/golden/exact/NAME.input, the standard output with the date masked (NAME.stdout) and the boundary
// file (NAME.bndry_dat) of contmon-exact run as ./contmon-exact; tests/golden/regenerate.sh rewrites them.
const std::filesystem::path kExactGolden = std::filesystem::path(CONTMON_GOLDEN_DIR) / "exact";

class ExactTranscript : public testing::TestWithParam<std::string> {};

TEST_P(ExactTranscript, MatchesTheStoredOutputAndBoundaryFileByteForByte) {
  const std::string name = GetParam();
  ScratchDirectory dir;
  ProgramRun run =
      run_as(CONTMON_EXACT_EXE, "contmon-exact", read_file(kExactGolden / (name + ".input")), dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(mask_date_line(run.out), read_file(kExactGolden / (name + ".stdout")));
  EXPECT_EQ(read_file(dir.path() / "_bndry_.dat"), read_file(kExactGolden / (name + ".bndry_dat")));
}

INSTANTIATE_TEST_SUITE_P(Golden, ExactTranscript, testing::Values("ten_stages", "longest_trial"),
                         [](const testing::TestParamInfo<std::string> &info) { return info.param; });

}  // namespace
