// The input dialogue as a user meets it: the built program is run with input
// on standard input, and its output, error output and exit status checked.
#include <gtest/gtest.h>

#include <string>

#include "tests/case_name.h"
#include "tests/dialogue_text.h"
#include "tests/program_runner.h"

namespace {

ProgramRun run_contmon(const std::string &input) {
  ScratchDirectory dir;
  return run_program(CONTMON_EXE, input, dir.path());
}

struct DialogueCase {
  const char *name;
  const char *input;
  const char *message;  // what follows the prompt; empty for valid input
  int status;
};

void PrintTo(const DialogueCase &c, std::ostream *os) { *os << '"' << c.input << '"'; }

class Dialogue : public testing::TestWithParam<DialogueCase> {};

TEST_P(Dialogue, MessageAndExitStatus) {
  const DialogueCase &c = GetParam();
  ProgramRun run = run_contmon(c.input);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.err, "");
  if (c.status == 0) {
    // Valid input: the dialogue ends with one empty line and the run goes on.
    EXPECT_EQ(run.out.substr(0, kDialogue.size() + 1), kDialogue + "\n");
  } else {
    EXPECT_EQ(run.out, kDialogue + c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Dialogue,
    testing::Values(
        DialogueCase{"OneLine", "10 0.3 0.05\n", "", 0}, DialogueCase{"KOne", "1 0.5 0.9\n", "", 0},
        DialogueCase{"KZero", "0 0.3 0.05\n", "ReadData: n = 0 is outside [1:255]\n", 1},
        DialogueCase{"KNegative", "-3 0.3 0.05\n", "ReadData: n = -3 is outside [1:255]\n", 1},
        DialogueCase{"KTooLarge", "256 0.3 0.05\n", "ReadData: n = 256 is outside [1:255]\n", 1},
        DialogueCase{"KBeyondInt", "99999999999999999999 0.3 0.05\n",
                     "ReadData: n = 2147483647 is outside [1:255]\n", 1},
        DialogueCase{"KBelowInt", "-99999999999999999999 0.3 0.05\n",
                     "ReadData: n = -2147483648 is outside [1:255]\n", 1},
        DialogueCase{"KIsALetter", "x 0.3 0.05\n", "int_read: input error.\n", 1},
        DialogueCase{"KIsAFraction", ".5 0.3 0.05\n", "int_read: input error.\n", 1},
        // K's digits that run on into other text are not a whole number: refused before THETA is read.
        DialogueCase{"KWithDecimals", "40.5 0.2 0.1\n",
                     "ReadData: K = '40.5' is not a whole number in [1:255]\n", 1},
        DialogueCase{"KWithExponent", "4e1 0.2 0.1\n",
                     "ReadData: K = '4e1' is not a whole number in [1:255]\n", 1},
        DialogueCase{"KWithComma", "40,0.2,0.1\n",
                     "ReadData: K = '40,0.2,0.1' is not a whole number in [1:255]\n", 1},
        DialogueCase{"KOutOfRangeRunsOn", "-300x\n",
                     "ReadData: K = '-300x' is not a whole number in [1:255]\n", 1},
        DialogueCase{
            "KRunsOnAtLength", "123456789012345678901234567890123456789012345.5 0.2 0.1\n",
            "ReadData: K = '1234567890123456789012345678901234567890...' is not a whole number in [1:255]\n",
            1},
        DialogueCase{"KFollowedByCarriageReturn", "10\r\n0.3\r\n0.05\r\n", "", 0},
        DialogueCase{"EmptyInput", "", "int_read: end of file error.\n", 1},
        DialogueCase{"OnlyWhiteSpace", " \n\t\n", "int_read: end of file error.\n", 1},
        DialogueCase{"ThetaZero", "10 0 0.05\n", "ReadData: theta = 0 is outside (0,1)\n", 1},
        DialogueCase{"ThetaOne", "10 1 0.05\n", "ReadData: theta = 1 is outside (0,1)\n", 1},
        DialogueCase{"ThetaNegative", "10 -0.25 0.05\n", "ReadData: theta = -0.25 is outside (0,1)\n", 1},
        DialogueCase{"ThetaNaN", "10 nan 0.05\n", "ReadData: theta = nan is outside (0,1)\n", 1},
        DialogueCase{"ThetaInfinite", "10 inf 0.05\n", "ReadData: theta = inf is outside (0,1)\n", 1},
        DialogueCase{"ThetaIsALetter", "10 x 0.05\n", "dbl_read: input error.\n", 1},
        DialogueCase{"ThetaMissing", "10\n", "dbl_read: end of file error.\n", 1},
        // PHI is never read after a bad THETA, so the junk after it raises no reader error.
        DialogueCase{"PhiNotReadAfterBadTheta", "10 1.5 junk\n", "ReadData: theta = 1.5 is outside (0,1)\n",
                     1},
        DialogueCase{"ThetaNotReadAfterBadK", "300 junk\n", "ReadData: n = 300 is outside [1:255]\n", 1},
        DialogueCase{"PhiZero", "10 0.3 0\n", "ReadData: phi = 0 is outside (0,1)\n", 1},
        DialogueCase{"PhiOne", "10 0.3 1\n", "ReadData: phi = 1 is outside (0,1)\n", 1},
        DialogueCase{"PhiLarge", "10 0.3 1e300\n", "ReadData: phi = 1e+300 is outside (0,1)\n", 1},
        DialogueCase{"PhiNaN", "10 0.3 -nan\n", "ReadData: phi = -nan is outside (0,1)\n", 1},
        DialogueCase{"PhiIsALetter", "10 0.3 q\n", "dbl_read: input error.\n", 1},
        DialogueCase{"PhiMissing", "10 0.3", "dbl_read: end of file error.\n", 1},
        // Input that ends inside the three numbers.
        DialogueCase{"EndsAfterKWithoutLineEnd", "25", "dbl_read: end of file error.\n", 1},
        DialogueCase{"EndsInsideTheta", "10 0.", "ReadData: theta = 0 is outside (0,1)\n", 1},
        DialogueCase{"EndsAfterTheSignOfPhi", "10 0.3 -", "dbl_read: input error.\n", 1},
        DialogueCase{"EndsInsideAHexadecimalPhi", "10 0.3 0x", "dbl_read: input error.\n", 1}),
    case_name<DialogueCase>);

TEST(Dialogue, InputOnOneLineOrSeveralGivesTheSameRun) {
  ProgramRun one_line = run_contmon("5 0.3 0.5\n");
  EXPECT_EQ(one_line.status, 0);
  for (const char *input :
       {"5\n0.3\n0.5\n", "  5\n\n\t0.3   \n 0.5", "5 3e-1\n.5\n", "+5 0x1.3333333333333p-2 0x1p-1"}) {
    ProgramRun run = run_contmon(input);
    EXPECT_EQ(run.status, one_line.status) << input;
    EXPECT_EQ(mask_date_line(run.out), mask_date_line(one_line.out)) << input;
    EXPECT_EQ(run.err, one_line.err) << input;
  }
}

TEST(Dialogue, MegabytesOfWhiteSpaceOrDigitsAreReadThrough) {
  const std::string blanks(4 << 20, ' '), line_ends(1 << 20, '\n'), zeros(1 << 20, '0');
  ProgramRun reference = run_contmon("1 0.5 0.9\n");
  ASSERT_EQ(reference.status, 0);
  for (const std::string &input : {blanks + "1" + line_ends + "0.5\t" + blanks + "0.9",
                                   zeros + "1 0.5" + zeros + " 0.9" + zeros + line_ends}) {
    ProgramRun run = run_contmon(input);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(mask_date_line(run.out), mask_date_line(reference.out));
  }
  struct {
    std::string input;
    std::string message;
  } failures[] = {
      {std::string(1 << 20, '9') + " 0.5 0.9", "ReadData: n = 2147483647 is outside [1:255]\n"},
      {blanks + line_ends, "int_read: end of file error.\n"},
      {"1 " + std::string(1 << 20, 'x'), "dbl_read: input error.\n"},
      {"1 0.5 " + blanks, "dbl_read: end of file error.\n"},
  };
  for (const auto &f : failures) {
    ProgramRun run = run_contmon(f.input);
    EXPECT_EQ(run.status, 1) << f.message;
    EXPECT_EQ(run.out, kDialogue + f.message);
  }
}

TEST(Dialogue, LargestAndSmallestKAreAccepted) {
  // A high THETA and PHI keep the simulated trials of the search short.
  for (const char *input : {"1 0.3 0.05\n", "255 0.9 0.99\n"}) {
    ProgramRun run = run_contmon(input);
    EXPECT_EQ(run.status, 0) << input;
    EXPECT_EQ(run.out.find("ReadData"), std::string::npos) << input;
  }
}

}  // namespace
