// The fuzz harnesses of the dialogue and the command line: their corpus and
// kept findings replayed under the test build, and their judges shown to catch
// outcomes that break the rules.
#include "fuzz/dialogue_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fuzz/command_line_harness.h"
#include "tests/program_runner.h"

namespace {

using namespace contmon::app;

const std::uint8_t *bytes(const std::string &s) { return reinterpret_cast<const std::uint8_t *>(s.data()); }

TEST(DialogueHarness, CorpusAndFindingsObeyTheDialogueAndCommandLineRules) {
  int replayed = 0;
  for (const char *folder : {"corpus", "regressions"}) {
    const std::filesystem::path dir = std::filesystem::path(CONTMON_FUZZ_DIR) / folder;
    if (!std::filesystem::exists(dir)) continue;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
      const std::string input = read_file(entry.path());
      EXPECT_EQ(check_dialogue(bytes(input), input.size()), "") << entry.path();
      EXPECT_EQ(check_command_line(bytes(input), input.size()), "") << entry.path();
      ++replayed;
    }
  }
  EXPECT_GE(replayed, 30);
}

struct Doctored {
  const char *name;
  const char *input;
  void (*change)(DialogueOutcome &);
};

void PrintTo(const Doctored &c, std::ostream *os) { *os << c.name; }

class DialogueJudge : public testing::TestWithParam<Doctored> {};

TEST_P(DialogueJudge, PassesTheRealOutcomeAndCatchesTheChangedOne) {
  const std::string input = GetParam().input;
  DialogueOutcome outcome = run_dialogue_on(bytes(input), input.size());
  EXPECT_EQ(dialogue_fault(outcome, bytes(input), input.size()), "");
  GetParam().change(outcome);
  EXPECT_NE(dialogue_fault(outcome, bytes(input), input.size()), "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, DialogueJudge,
    testing::Values(
        Doctored{"StatusTwo", "300 1 1", [](DialogueOutcome &o) { o.status = 2; }},
        Doctored{"KMisread", "300 1 1", [](DialogueOutcome &o) { o.K = 299; }},
        Doctored{"ReadOnAfterBadK", "300 1 1", [](DialogueOutcome &o) { o.consumed = 5; }},
        Doctored{"MessageAfterValidInput", "1 0.5 0.9", [](DialogueOutcome &o) { o.output = "x\n"; }},
        Doctored{"InvalidPhiAccepted", "1 0.5 0.9", [](DialogueOutcome &o) { o.PHI = 1.0; }},
        Doctored{"FailureWithoutStatus", "1 0.5 x", [](DialogueOutcome &o) { o.status = -1; }},
        Doctored{"PhiReadAfterBadTheta", "1 2 0.5", [](DialogueOutcome &o) { o.PHI = 0.5; }},
        Doctored{"WrongReaderMessage", "", [](DialogueOutcome &o) { o.output = "int_read: input error.\n"; }},
        Doctored{"RunOnKAccepted", "40.5 0.2 0.1",
                 [](DialogueOutcome &o) {
                   o.status = -1;
                   o.output.clear();
                 }},
        Doctored{
            "RunOnKMisquoted", "40x 0.2 0.1",
            [](DialogueOutcome &o) { o.output = "ReadData: K = '40' is not a whole number in [1:255]\n"; }},
        Doctored{"ThetaReadAfterRunOnK", "4e1 0.2 0.1", [](DialogueOutcome &o) { o.THETA = 0.2; }}),
    [](const testing::TestParamInfo<Doctored> &info) { return std::string(info.param.name); });

// The command-line judge passes the parser's outcome and catches each changed one.
struct DoctoredCommand {
  const char *name;
  std::vector<std::string> args;
  void (*change)(Command &);
};

void PrintTo(const DoctoredCommand &c, std::ostream *os) { *os << c.name; }

class CommandLineJudge : public testing::TestWithParam<DoctoredCommand> {};

TEST_P(CommandLineJudge, PassesTheRealOutcomeAndCatchesTheChangedOne) {
  const std::vector<std::string> &args = GetParam().args;
  std::vector<const char *> argv = {"contmon"};
  for (const std::string &arg : args) argv.push_back(arg.c_str());
  Command command = parse_command_line(static_cast<int>(argv.size()), argv.data());
  EXPECT_EQ(command_line_fault(command, args), "");
  GetParam().change(command);
  EXPECT_NE(command_line_fault(command, args), "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineJudge,
    testing::Values(
        DoctoredCommand{"KMisread", {"40", "0.2", "0.1"}, [](Command &c) { c.request.K = 41; }},
        DoctoredCommand{"ThetaOutOfRange", {"40", "0.2", "0.1"}, [](Command &c) { c.request.THETA = 2.0; }},
        DoctoredCommand{"RateChanged",
                        {"--rates=0.1,0.3", "40", "0.2", "0.1"},
                        [](Command &c) { c.request.rates[1] = 0.35; }},
        DoctoredCommand{"RangeOverrun",
                        {"--rates=0.1:0.3:0.1", "40", "0.2", "0.1"},
                        [](Command &c) { c.request.rates.push_back(0.4); }},
        DoctoredCommand{"AlternativeBelowTheta",
                        {"--alternative", "0.3", "40", "0.2", "0.1"},
                        [](Command &c) { c.request.alternative = 0.1; }},
        DoctoredCommand{
            "OutputNotTyped", {"-o", "a.dat"}, [](Command &c) { c.request.output_file = "b.dat"; }},
        DoctoredCommand{"HelpUnasked",
                        {"--version"},
                        [](Command &c) {
                          c.action = CommandAction::kHelp;
                          c.text = help_text("contmon");
                        }},
        DoctoredCommand{"TwoMessages", {"40.5", "0.2", "0.1"}, [](Command &c) { c.text += c.text; }},
        DoctoredCommand{"QuotesWhatWasNotTyped",
                        {"40.5", "0.2", "0.1"},
                        [](Command &c) { c.text = "contmon: invalid K '41': K is a whole number\n"; }},
        DoctoredCommand{"FractionalKAccepted",
                        {"40.5", "0.2", "0.1"},
                        [](Command &c) {
                          c.action = CommandAction::kRun;
                          c.request.has_numbers = true;
                          c.request.K = 40;
                          c.request.THETA = 0.2;
                          c.request.PHI = 0.1;
                        }}),
    [](const testing::TestParamInfo<DoctoredCommand> &info) { return std::string(info.param.name); });

}  // namespace
