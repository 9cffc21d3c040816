// The command line of both programs, checked on the built programs: the numbers as arguments, either engine
// from either program, options in any order, the boundary file's name, the table's rates, the alternative,
// help and version, every class of rejection, two runs into one file at once, and progress on a terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/case_name.h"
#include "tests/crossing_check.h"
#include "tests/program_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string kContmon = CONTMON_EXE;
const std::string kExact = CONTMON_EXACT_EXE;

std::string name_of(const std::string &program) { return program == kContmon ? "contmon" : "contmon-exact"; }

// Runs program as ./NAME (the name goes into the boundary file and the messages) in dir.
ProgramRun run_in(const ScratchDirectory &dir, const std::string &program,
                  const std::vector<std::string> &args, const std::string &input = "",
                  const std::string &name = "") {
  const std::string as = name.empty() ? name_of(program) : name;
  if (!fs::exists(dir.path() / as)) fs::create_symlink(program, dir.path() / as);
  return run_program("./" + as, input, dir.path(), OutputTarget::kFile, args);
}

// text with every "%P" replaced by the program's name.
std::string for_program(std::string text, const std::string &program) {
  for (std::size_t at; (at = text.find("%P")) != std::string::npos;) text.replace(at, 2, name_of(program));
  return text;
}

// ---- Rejections: one message on standard error, status 1, nothing printed or written ----------------

struct Rejection {
  const char *name;
  std::vector<std::string> args;
  const char *err;  // %P stands for the program's name
};

void PrintTo(const Rejection &c, std::ostream *os) { *os << c.name; }

class Rejected : public testing::TestWithParam<Rejection> {};

TEST_P(Rejected, WithOneMessageAndStatusOneTouchingNoFile) {
  for (const std::string &program : {kContmon, kExact}) {
    ScratchDirectory dir;
    write_file(dir.path() / "_bndry_.dat", "kept\n");
    ProgramRun run = run_in(dir, program, GetParam().args, "10 0.3 0.05\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, for_program(GetParam().err, program));
    EXPECT_EQ(read_file(dir.path() / "_bndry_.dat"), "kept\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Rejected,
    testing::Values(
        Rejection{"KWithDecimals",
                  {"40.5", "0.2", "0.1"},
                  "%P: invalid K '40.5': K is a whole number from 1 to 255\n"},
        Rejection{
            "KInExponentForm",
            {"4e1", "0.2", "0.1"},
            "%P: invalid K '4e1': K is a whole number from 1 to 255: write it in plain digits, as 40\n"},
        Rejection{"ThetaAsAPercentage",
                  {"40", "20", "0.1"},
                  "%P: invalid THETA '20': THETA is a probability between 0 and 1: for 20% type 0.2\n"},
        Rejection{
            "PhiWithADecimalComma",
            {"40", "0.2", "0,1"},
            "%P: invalid PHI '0,1': PHI is a probability between 0 and 1: write the decimal point as a dot: "
            "0.1\n"},
        Rejection{
            "EmptyPhi", {"40", "0.2", ""}, "%P: invalid PHI '': PHI is a probability between 0 and 1\n"},
        Rejection{"RateOutOfRange",
                  {"--rates", "0.1,1.2", "10", "0.3", "0.05"},
                  "%P: invalid --rates '0.1,1.2': item '1.2' is not a rate between 0 and 1: for 1.2% type "
                  "0.012\n"},
        Rejection{"RangeBackwards",
                  {"--rates=0.4:0.1:0.05", "10", "0.3", "0.05"},
                  "%P: invalid --rates '0.4:0.1:0.05': range '0.4:0.1:0.05': FROM is above TO\n"},
        Rejection{
            "AlternativeBelowTheta",
            {"--alternative", "0.2", "10", "0.3", "0.05"},
            "%P: --alternative P1 = 0.2 is not above THETA = 0.3: P1 is an unacceptable event probability, "
            "higher than THETA\n"},
        Rejection{
            "AlternativeAsAPercentage",
            {"--alternative=35%", "10", "0.3", "0.05"},
            "%P: --alternative: invalid P1 '35%': P1 is a probability between 0 and 1: for 35% type 0.35\n"},
        Rejection{"OutputInAMissingFolder",
                  {"-o", "nowhere/b.dat", "10", "0.3", "0.05"},
                  "%P: invalid --output 'nowhere/b.dat': there is no folder 'nowhere'\n"},
        Rejection{"OutputIsTheReport",
                  {"-o", "stdout.txt", "10", "0.3", "0.05"},
                  "%P: invalid --output 'stdout.txt': it is the file the report or the messages go to; name "
                  "another\n"},
        Rejection{"EmptyOutput",
                  {"--output=", "10", "0.3", "0.05"},
                  "%P: invalid --output '': give the name of a file\n"},
        // Faults of form add where to read more.
        Rejection{"UnknownOption",
                  {"--exatc", "10", "0.3", "0.05"},
                  "%P: unknown option '--exatc' (did you mean '--exact'?)\nTry '%P --help'.\n"},
        Rejection{"MissingValue",
                  {"10", "0.3", "0.05", "--rates"},
                  "%P: option '--rates LIST' needs a value\nTry '%P --help'.\n"},
        Rejection{"TwoNumbers",
                  {"10", "0.3"},
                  "%P: expected the three numbers K THETA PHI, got 2: '10' '0.3'\nTry '%P --help'.\n"},
        Rejection{"FlagWithAValue",
                  {"--no-output=yes", "10", "0.3", "0.05"},
                  "%P: option '--no-output' takes no value\nTry '%P --help'.\n"},
        Rejection{"LineFeedInAnArgument",
                  {"10\n", "0.3", "0.05"},
                  "%P: invalid K '10?': K is a whole number from 1 to 255\n"}),
    case_name<Rejection>);

TEST(CommandLine, AnAlternativeBelowTheDialoguesThetaIsRefusedAfterTheDialogue) {
  ScratchDirectory dir;
  write_file(dir.path() / "_bndry_.dat", "kept\n");
  ProgramRun run = run_in(dir, kExact, {"--alternative", "0.25"}, "10 0.3 0.05\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.substr(run.out.size() - 22), "Input  K  THETA  PHI: ");
  EXPECT_EQ(run.err,
            "contmon-exact: --alternative P1 = 0.25 is not above THETA = 0.3: P1 is an unacceptable event "
            "probability, higher than THETA\n");
  EXPECT_EQ(read_file(dir.path() / "_bndry_.dat"), "kept\n");
}

// ---- Runs that must agree byte for byte ---------------------------------------------------------

struct Invocation {
  std::string program;
  std::vector<std::string> args;
  std::string input;
};

struct SameRun {
  const char *name;
  Invocation first;
  Invocation second;
};

void PrintTo(const SameRun &c, std::ostream *os) { *os << c.name; }

class SameOutput : public testing::TestWithParam<SameRun> {};

// The report (date masked, prompt removed: typed at a terminal, the answer ends its line) and the boundary
// file of a run under the name ./program.
std::pair<std::string, std::string> outcome(const Invocation &invocation) {
  ScratchDirectory dir;
  ProgramRun run = run_in(dir, invocation.program, invocation.args, invocation.input, "program");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  std::string out = mask_date_line(run.out);
  const std::string prompt = "Input  K  THETA  PHI: ";
  if (out.find(prompt) != std::string::npos) out.erase(out.find(prompt), prompt.size());
  return {out, read_file(dir.path() / "_bndry_.dat")};
}

TEST_P(SameOutput, ReportAndBoundaryFileAreTheSame) {
  const auto first = outcome(GetParam().first);
  const auto second = outcome(GetParam().second);
  EXPECT_NE(first.first.find("K     = "), std::string::npos);
  EXPECT_EQ(first.first, second.first);
  EXPECT_EQ(first.second, second.second);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SameOutput,
    testing::Values(
        SameRun{"ArgumentsAsTheDialogueWithAnOption",
                {kContmon, {"10", "0.3", "0.05"}, ""},
                {kContmon, {"--simulate"}, "10 0.3 0.05\n"}},
        SameRun{"ExactArgumentsAsTheDialogueWithAnOption",
                {kExact, {"255", "0.3", "0.05"}, ""},
                {kExact, {"--exact"}, "255\n0.3\n0.05\n"}},
        SameRun{"ContmonComputesExactly",
                {kContmon, {"--exact", "10", "0.3", "0.05"}, ""},
                {kExact, {"10", "0.3", "0.05"}, ""}},
        SameRun{"ContmonExactSimulates",
                {kExact, {"6", "0.4", "0.2", "--simulate"}, ""},
                {kContmon, {"6", "0.4", "0.2"}, ""}},
        SameRun{"TheLastEngineCounts",
                {kContmon, {"--exact", "--simulate", "--exact", "4", "0.2", "0.1"}, ""},
                {kExact, {"4", "0.2", "0.1"}, ""}},
        SameRun{"OptionsWithTheDialogue",
                {kContmon, {"--exact"}, "10 0.3 0.05\n"},
                {kExact, {"10", "0.3", "0.05"}, ""}},
        SameRun{"OptionsInAnyOrder",
                {kExact, {"--rates", "0.2:0.4:0.1", "10", "0.3", "0.05", "--alternative", "0.45"}, ""},
                {kExact, {"--alternative=0.45", "10", "0.3", "--rates=0.2:0.4:0.1", "0.05"}, ""}},
        SameRun{"SeparatorBeforeTheNumbers",
                {kExact, {"--", "10", "0.3", "0.05"}, ""},
                {kExact, {"10", "0.3", "0.05"}, ""}},
        SameRun{"LeadingZerosAndSigns",
                {kExact, {"+010", "0.30", "5e-2"}, ""},
                {kExact, {"10", "0.3", "0.05"}, ""}}),
    case_name<SameRun>);

// ---- The boundary file: its name, none, the last option counting ----------------------------------

struct OutputCase {
  const char *name;
  std::vector<std::string> options;
  std::map<std::string, std::string> files;  // after the run: "kept", "boundary", or absent
  const char *closing;                       // the line after the table
};

void PrintTo(const OutputCase &c, std::ostream *os) { *os << c.name; }

class BoundaryFileOption : public testing::TestWithParam<OutputCase> {};

TEST_P(BoundaryFileOption, WritesTheNamedFileOrNoneAndLeavesTheRest) {
  ScratchDirectory expected_dir;
  const std::string boundary = [&] {
    run_in(expected_dir, kExact, {"4", "0.2", "0.1"});
    return read_file(expected_dir.path() / "_bndry_.dat");
  }();
  ScratchDirectory dir;
  write_file(dir.path() / "_bndry_.dat", "kept\n");
  write_file(dir.path() / "old.dat", "kept\n");
  std::vector<std::string> args = GetParam().options;
  for (const char *number : {"4", "0.2", "0.1"}) args.push_back(number);
  ProgramRun run = run_in(dir, kExact, args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find(std::string("\n\n") + GetParam().closing + "\n"), std::string::npos) << run.out;
  std::map<std::string, std::string> files;
  for (const auto &entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename();
    if (name.find(".dat") == std::string::npos) continue;
    const std::string text = read_file(entry.path());
    files[name] = text == "kept\n" ? "kept" : text == boundary ? "boundary" : text;
  }
  EXPECT_EQ(files, GetParam().files);
}

const char *const kWrittenTo = "The boundary has been written to file ";

INSTANTIATE_TEST_SUITE_P(
    Table, BoundaryFileOption,
    testing::Values(OutputCase{"Default",
                               {},
                               {{"_bndry_.dat", "boundary"}, {"old.dat", "kept"}},
                               "The boundary has been written to file _bndry_.dat in a format"},
                    OutputCase{"NewFile",
                               {"-o", "new.dat"},
                               {{"_bndry_.dat", "kept"}, {"new.dat", "boundary"}, {"old.dat", "kept"}},
                               "The boundary has been written to file new.dat in a format"},
                    OutputCase{"ExistingFile",
                               {"--output=old.dat"},
                               {{"_bndry_.dat", "kept"}, {"old.dat", "boundary"}},
                               "The boundary has been written to file old.dat in a format"},
                    OutputCase{"NoFile",
                               {"--no-output"},
                               {{"_bndry_.dat", "kept"}, {"old.dat", "kept"}},
                               "The boundary was not written to a file (--no-output)."},
                    OutputCase{"NoFileLast",
                               {"-onew.dat", "--no-output"},
                               {{"_bndry_.dat", "kept"}, {"old.dat", "kept"}},
                               "The boundary was not written to a file (--no-output)."},
                    OutputCase{"FileLast",
                               {"--no-output", "-o", "new.dat"},
                               {{"_bndry_.dat", "kept"}, {"new.dat", "boundary"}, {"old.dat", "kept"}},
                               "The boundary has been written to file new.dat in a format"}),
    case_name<OutputCase>);

TEST(CommandLine, RunsIntoOneFileAtOnceLeaveOneCompleteFileOfOneRun) {
  constexpr int kRuns = 8;
  std::vector<std::string> expected(kRuns);
  std::vector<std::vector<std::string>> args(kRuns);
  for (int i = 0; i < kRuns; ++i) {
    args[i] = {"255", std::to_string(0.05 + 0.1 * i), "0.1"};
    ScratchDirectory alone;
    run_in(alone, kExact, args[i]);
    expected[i] = read_file(alone.path() / "_bndry_.dat");
  }
  ScratchDirectory shared;
  const std::string file = (shared.path() / "shared.dat").string();
  for (int round = 0; round < 5; ++round) {
    std::vector<std::thread> runs;
    // All directories first: a thread reads dirs while later ones would be added.
    std::vector<std::unique_ptr<ScratchDirectory>> dirs;
    for (int i = 0; i < kRuns; ++i) dirs.push_back(std::make_unique<ScratchDirectory>());
    for (int i = 0; i < kRuns; ++i) {
      std::vector<std::string> with_output = {"-o", file};
      with_output.insert(with_output.end(), args[i].begin(), args[i].end());
      runs.emplace_back([&, i, with_output] { EXPECT_EQ(run_in(*dirs[i], kExact, with_output).status, 0); });
    }
    for (std::thread &run : runs) run.join();
    EXPECT_NE(std::find(expected.begin(), expected.end(), read_file(file)), expected.end())
        << read_file(file);
    EXPECT_EQ(std::distance(fs::directory_iterator(shared.path()), fs::directory_iterator()), 1);
  }
}

// ---- The table's rates and the alternative ------------------------------------------------------------

// The first column of the table's rows.
std::vector<std::string> table_rates(const std::string &out) {
  std::vector<std::string> rates;
  const std::vector<std::string> lines = lines_of(out);
  auto header = std::find_if(lines.begin(), lines.end(),
                             [](const std::string &l) { return l.rfind("THETA  ", 0) == 0; });
  for (auto line = header + 2; header != lines.end() && line < lines.end() && !line->empty(); ++line)
    rates.push_back(line->substr(0, line->find(' ')));
  return rates;
}

// The table's row for rate, without its first column.
std::string table_row(const std::string &out, const std::string &rate) {
  for (const std::string &line : lines_of(out))
    if (line.rfind(rate + " ", 0) == 0) return line.substr(line.find_first_not_of(' ', rate.size()));
  return "";
}

TEST(CommandLine, RatesAreTabulatedInTheOrderGivenWithRangesUpToTo) {
  struct {
    const char *rates;
    std::vector<std::string> rows;
    const char *shared;  // a row of this table, and its name in the default table
    const char *in_default;
  } cases[] = {
      {"0.1,0.15:0.4:0.05", {"0.10", "0.15", "0.20", "0.25", "0.30", "0.35", "0.40"}, "0.35", "0.35"},
      {"0.1:0.5:0.15", {"0.10", "0.25", "0.40"}, "0.40", "0.40"},  // 0.55 is beyond TO
      {"0.5,0.05,0.125", {"0.500", "0.050", "0.125"}, "0.500", "0.50"},
  };
  ScratchDirectory dir;
  const std::string full = run_in(dir, kExact, {"10", "0.3", "0.05"}).out;
  for (const auto &c : cases) {
    ProgramRun run = run_in(dir, kExact, {"--rates", c.rates, "10", "0.3", "0.05"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(table_rates(run.out), c.rows) << c.rates;
    // A row's figures are those of the default table at the same rate.
    EXPECT_NE(table_row(run.out, c.shared), "") << c.rates;
    EXPECT_EQ(table_row(run.out, c.shared), table_row(full, c.in_default)) << c.rates;
  }
}

// The number after prefix on the line that starts with it, or NaN.
double number_after(const std::string &out, const std::string &prefix) {
  for (const std::string &line : lines_of(out))
    if (line.rfind(prefix, 0) == 0) return std::strtod(line.c_str() + prefix.size(), nullptr);
  return std::nan("");
}

TEST(CommandLine, TheAlternativeGetsItsPowerLineAndARowThatAgreeWithAnExactCalculation) {
  ScratchDirectory dir;
  ProgramRun run = run_in(dir, kExact, {"--alternative", "0.33", "10", "0.3", "0.05"});
  ASSERT_EQ(run.status, 0);
  // The boundary, as printed, and the exact probability of stopping and E[N] at 0.33 from it.
  std::vector<int> b(11, 0);
  for (int i = 1; i <= 10; ++i)
    b[i] = static_cast<int>(number_after(run.out, "b[" + std::to_string(i) + "] = "));
  const CrossingResult exact = exact_crossing(0.33, 10, no_lower_boundary(10), b);
  double power = 0.0;
  double mean_n = 0.0;
  for (int k = 1; k <= 10; ++k) {
    power += exact.up[k];
    mean_n += k * exact.up[k];
  }
  mean_n += 10 * (1.0 - power);
  const double printed_power = number_after(run.out, "POWER = ");
  EXPECT_NEAR(printed_power, power, 5e-6 * power);
  const std::string line = lines_of(run.out.substr(run.out.find("POWER = ")))[0];
  EXPECT_NE(line.find("when the event probability is P1 = 0.33 (E[N] = "), std::string::npos) << line;
  EXPECT_NEAR(std::strtod(line.c_str() + line.find("E[N] = ") + 7, nullptr), mean_n, 5e-6 * mean_n);
  // P1's row stands between 0.30 and 0.35, with the same figures.
  const std::vector<std::string> rates = table_rates(run.out);
  ASSERT_GE(rates.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(rates.begin(), rates.begin() + 3),
            (std::vector<std::string>{"0.30", "0.33", "0.35"}));
  EXPECT_NEAR(std::strtod(table_row(run.out, "0.33").c_str(), nullptr), printed_power, 0.0005);
}

// ---- Help and version ---------------------------------------------------------------------------------

TEST(CommandLine, HelpAndVersionGoToStandardOutputWithStatusZeroWhereverTheyStand) {
  for (const std::string &program : {kContmon, kExact}) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"--help"}, {"10", "0.3", "-h"}, {"--version"}}) {
      ScratchDirectory dir;
      ProgramRun run = run_in(dir, program, args, "10 0.3 0.05\n");
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.err, "");
      EXPECT_FALSE(fs::exists(dir.path() / "_bndry_.dat"));
      if (args[0] == "--version") {
        EXPECT_EQ(run.out, name_of(program) + " " CONTMON_VERSION "\n");
      } else {
        EXPECT_EQ(run.out.rfind("Usage: " + name_of(program) + " [OPTIONS] [K THETA PHI]\n", 0), 0u);
        EXPECT_NE(run.out.find("Exit status:"), std::string::npos);
      }
    }
  }
}

// ---- Progress on a terminal ---------------------------------------------------------------------------

TEST(CommandLine, ASimulationOfSecondsShowsProgressOnATerminalOnly) {
  ScratchDirectory dir;
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // Standard error stays on the terminal; standard output goes to a file.
    if (chdir(dir.path().c_str()) != 0 || !freopen("stdout.txt", "w", stdout)) _exit(126);
    execl(kContmon.c_str(), "contmon", "--no-output", "150", "0.05", "0.1", static_cast<char *>(nullptr));
    _exit(127);
  }
  std::string shown;
  char buffer[256];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, n);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(terminal);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(shown.find("\rcontmon: "), std::string::npos) << shown;
  EXPECT_NE(shown.find("contmon: searching for the boundary ("), std::string::npos) << shown;
  EXPECT_NE(shown.find("contmon: operating characteristics ("), std::string::npos) << shown;
  // Every line shown is erased: the terminal ends on a blank line.
  EXPECT_EQ(shown.back(), '\r');
  EXPECT_EQ(shown.substr(shown.rfind('\r', shown.size() - 2) + 1).find_first_not_of(" \r"),
            std::string::npos);
  const std::string report = read_file(dir.path() / "stdout.txt");
  EXPECT_EQ(report.find("contmon: "), report.find("contmon: boundaries"));
  EXPECT_EQ(report.find("searching"), std::string::npos);
}

}  // namespace
