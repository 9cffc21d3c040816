// The report after the dialogue, checked on the built program: its layout,
// the boundary and PHI* against the exact hitting probability, whole
// transcripts and boundary files against stored ones, and file faults.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/crossing_check.h"
#include "tests/dialogue_text.h"
#include "tests/program_runner.h"

namespace {

ProgramRun run_contmon_in(const std::string &input, const ScratchDirectory &dir) {
  return run_program(CONTMON_EXE, input, dir.path());
}

ProgramRun run_contmon(const std::string &input) {
  ScratchDirectory dir;
  return run_contmon_in(input, dir);
}

// The number between prefix and suffix of line; fails the test if the line has another form.
double number_between(const std::string &line, const std::string &prefix, const std::string &suffix) {
  EXPECT_EQ(line.substr(0, prefix.size()), prefix) << line;
  EXPECT_GE(line.size(), prefix.size() + suffix.size()) << line;
  EXPECT_EQ(line.substr(line.size() - std::min(line.size(), suffix.size())), suffix) << line;
  return std::strtod(line.c_str() + std::min(line.size(), prefix.size()), nullptr);
}

struct Report {
  double PHIstar = -1.0;
  double ALPHA = -1.0;
  std::vector<int> b;  // indexed 1..K
};

// Checks the layout of the report for K, THETA and PHI as typed, and reads its numbers.
Report read_report(const ProgramRun &run, int K, const std::string &THETA, const std::string &PHI) {
  Report r;
  const std::string head = kDialogue + "\n";
  EXPECT_EQ(run.out.substr(0, head.size()), head);
  std::vector<std::string> lines = lines_of(run.out.substr(std::min(head.size(), run.out.size())));
  EXPECT_GE(lines.size(), static_cast<std::size_t>(K + 8));
  if (lines.size() < static_cast<std::size_t>(K + 8)) return r;

  EXPECT_EQ(lines[0], "K     = " + std::to_string(K) + " ");
  EXPECT_EQ(lines[1], "THETA = " + THETA + " ");
  EXPECT_EQ(lines[2], "PHI   = " + PHI + " ");
  r.PHIstar = number_between(lines[3], "PHI*  = ", " = the actual probability of hitting the upper boundary");
  r.ALPHA = number_between(lines[4], "ALPHA = ", " = the pointwise stopping probability");
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], "The upper boundary is:");
  r.b.assign(K + 1, -1);
  for (int i = 1; i <= K; ++i) {
    const std::string prefix = "b[" + std::to_string(i) + "] = ";
    r.b[i] = static_cast<int>(number_between(lines[6 + i], prefix, " "));
    EXPECT_EQ(lines[6 + i], prefix + std::to_string(r.b[i]) + " ");
  }
  EXPECT_EQ(lines[7 + K], "");
  return r;
}

double exact_hitting_probability(double THETA, int K, const std::vector<int> &b) {
  CrossingResult exact = exact_crossing(THETA, K, std::vector<int>(K + 1, -1), b);
  EXPECT_EQ(exact.code, 0);
  double p = 0.0;
  for (int k = 1; k <= K; ++k) p += exact.up[k];
  return p;
}

TEST(Report, BoundaryMeetsPhiAndPhiStarEstimatesItsHittingProbability) {
  ProgramRun run = run_contmon("10 0.3 0.05\n");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  Report r = read_report(run, 10, "0.3", "0.05");
  ASSERT_EQ(r.b.size(), 11u);
  for (int i = 1; i <= 10; ++i) {
    EXPECT_GE(r.b[i], 1);
    EXPECT_LE(r.b[i], i + 1);
    if (i > 1) {
      EXPECT_GE(r.b[i], r.b[i - 1]);
    }
  }
  EXPECT_GT(r.ALPHA, 0.0);
  EXPECT_LT(r.ALPHA, 0.05);
  double exact = exact_hitting_probability(0.3, 10, r.b);
  EXPECT_LE(exact, 0.05 + five_standard_errors(exact));
  EXPECT_NEAR(r.PHIstar, exact, five_standard_errors(exact) + 1e-6);  // + the rounding of "%g"
  EXPECT_LE(r.PHIstar, 0.05);
}

TEST(Report, SingleStage) {
  // Candidates 0.75 and 1: the level 0.75 stops on the first event, with probability 1/2.
  ProgramRun run = run_contmon("1 0.5 0.9\n");
  ASSERT_EQ(run.status, 0);
  Report r = read_report(run, 1, "0.5", "0.9");
  EXPECT_EQ(r.ALPHA, 0.75);
  EXPECT_EQ(r.b, (std::vector<int>{-1, 1}));
  EXPECT_NEAR(r.PHIstar, 0.5, five_standard_errors(0.5) + 1e-6);
}

TEST(Report, NoAcceptableLevelReportsZerosAndAnUnreachableBoundary) {
  // K = 2, THETA = 0.5: the only candidate stops with probability 1/4 > PHI.
  ProgramRun run = run_contmon("2 0.5 0.1\n");
  ASSERT_EQ(run.status, 0);
  Report r = read_report(run, 2, "0.5", "0.1");
  EXPECT_EQ(r.PHIstar, 0.0);
  EXPECT_EQ(r.ALPHA, 0.0);
  EXPECT_EQ(r.b, (std::vector<int>{-1, 2, 3}));
}

TEST(Report, SameInputPrintsTheSameBytesApartFromTheDate) {
  ProgramRun first = run_contmon("6 0.4 0.2\n");
  ProgramRun second = run_contmon("6 0.4 0.2\n");
  EXPECT_EQ(first.status, 0);
  EXPECT_NE(first.out.find("Date and time: "), std::string::npos);
  EXPECT_EQ(mask_date_line(first.out), mask_date_line(second.out));
  EXPECT_EQ(first.err, second.err);
}

// Stored transcripts: tests/golden/NAME.input, the standard output with the date masked
// (NAME.stdout) and the boundary file (NAME.bndry_dat). tests/golden/regenerate.sh rewrites them.
const std::filesystem::path kGolden = CONTMON_GOLDEN_DIR;

// Runs the program as "./contmon" (the name goes into the boundary file) in dir.
ProgramRun run_as_contmon(const std::string &input, const ScratchDirectory &dir) {
  std::filesystem::create_symlink(CONTMON_EXE, dir.path() / "contmon");
  return run_program("./contmon", input, dir.path());
}

class Transcript : public testing::TestWithParam<std::string> {};

TEST_P(Transcript, MatchesTheStoredOutputAndBoundaryFileByteForByte) {
  const std::string name = GetParam();
  ScratchDirectory dir;
  write_file(dir.path() / "_bndry_.dat", std::string(2000, '#') + "\n");  // a longer file is replaced
  ProgramRun run = run_as_contmon(read_file(kGolden / (name + ".input")), dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, read_file(kGolden / (name + ".stderr")));  // no file: nothing on standard error
  EXPECT_EQ(mask_date_line(run.out), read_file(kGolden / (name + ".stdout")));
  EXPECT_EQ(read_file(dir.path() / "_bndry_.dat"), read_file(kGolden / (name + ".bndry_dat")));
}

INSTANTIATE_TEST_SUITE_P(Golden, Transcript,
                         testing::Values("ten_stages", "one_stage", "theta_off_grid", "no_acceptable_level"),
                         [](const testing::TestParamInfo<std::string> &info) { return info.param; });

// A boundary file that cannot be created or written is reported on standard error, and the
// run completes its report, says that the file could not be written, and ends with status 1.
struct FileFaultCase {
  const char *name;
  void (*arrange)(const std::filesystem::path &file);
  const char *err;
};

void PrintTo(const FileFaultCase &c, std::ostream *os) { *os << c.name; }

class BoundaryFileFault : public testing::TestWithParam<FileFaultCase> {};

TEST_P(BoundaryFileFault, IsReportedAndTheRunCompletes) {
  ScratchDirectory dir;
  const std::filesystem::path file = dir.path() / "_bndry_.dat";
  GetParam().arrange(file);
  const std::filesystem::file_status before = std::filesystem::symlink_status(file);
  ProgramRun run = run_as_contmon(read_file(kGolden / "one_stage.input"), dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, GetParam().err);
  std::string expected = read_file(kGolden / "one_stage.stdout");
  const std::string written =
      "The boundary has been written to file _bndry_.dat in a format\n"
      "appropriate for reading into other supplied programs (e.g. tolk3).\n";
  ASSERT_NE(expected.find(written), std::string::npos);
  expected.replace(expected.find(written), written.size(),
                   "The boundary could not be written to file _bndry_.dat (the reason is on standard error).\n");
  EXPECT_EQ(mask_date_line(run.out), expected);
  EXPECT_EQ(std::filesystem::symlink_status(file).type(), before.type());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoundaryFileFault,
    testing::Values(FileFaultCase{"DirectoryInItsPlace",
                                  [](const std::filesystem::path &file) {
                                    std::filesystem::create_directory(file);
                                  },
                                  "contmon: Open of _bndry_.dat with mode=w failed: Is a directory\n"},
                    FileFaultCase{"DiskFull",
                                  [](const std::filesystem::path &file) {
                                    std::filesystem::create_symlink("/dev/full", file);
                                  },
                                  "contmon: Close failed: No space left on device\n"}),
    [](const testing::TestParamInfo<FileFaultCase> &info) { return std::string(info.param.name); });

TEST(Report, RunThatFailsAtInputLeavesTheBoundaryFileUntouched) {
  for (const char *input : {"0 0.3 0.05\n", "10 0.3 1\n", "10 0.3", "10.5 0.3 0.05\n"}) {
    ScratchDirectory dir;
    write_file(dir.path() / "_bndry_.dat", "kept\n");
    ProgramRun run = run_contmon_in(input, dir);
    EXPECT_EQ(run.status, 1) << input;
    EXPECT_EQ(read_file(dir.path() / "_bndry_.dat"), "kept\n") << input;
  }
}

}  // namespace
