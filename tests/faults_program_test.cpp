// Runs with arguments that must lose nothing and say what is wrong: outputs
// that name an input or each other, boundary files that read back to the same
// figures or, cut short, not at all, misuse refused with the actual numbers,
// simulated figures that do not depend on their company, messages that name
// the program, and interrupted runs that leave no temporary file behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tests/case_name.h"
#include "tests/program_runner.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const std::string kContmon = CONTMON_EXE;
const std::string kExact = CONTMON_EXACT_EXE;

ProgramRun run_in(const ScratchDirectory &dir, const std::string &program, const std::vector<std::string> &args) {
  const std::string as = program == kContmon ? "contmon" : "contmon-exact";
  if (!fs::exists(dir.path() / as)) fs::create_symlink(program, dir.path() / as);
  return run_program("./" + as, "", dir.path(), OutputTarget::kFile, args);
}

// The files of a folder with their contents, the programs' links and the runner's own files left out.
std::map<std::string, std::string> files_of(const ScratchDirectory &dir) {
  std::map<std::string, std::string> files;
  for (const auto &entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("contmon", 0) == 0 || name == "stdin.txt" || name == "stdout.txt" || name == "stderr.txt") continue;
    files[name] = fs::is_regular_file(entry.path()) ? read_file(entry.path()) : "";
  }
  return files;
}

// ---- Refusals before anything is computed or touched ----------------------------------------------------

struct Refusal {
  const char *name;
  std::vector<std::string> args;
  const char *message;  // the start of standard error
};

void PrintTo(const Refusal &c, std::ostream *os) { *os << c.name; }

class RefusedRun : public testing::TestWithParam<Refusal> {};

TEST_P(RefusedRun, SaysWhyNamingBothFilesOrTheNumbersAndTouchesNothing) {
  ScratchDirectory dir;
  write_file(dir.path() / "rule.txt", "5 2\n10 3\n20 5\n");
  write_file(dir.path() / "x.dat", "kept\n");
  fs::create_directory(dir.path() / "sub");
  fs::create_symlink("rule.txt", dir.path() / "link.svg");
  const auto before = files_of(dir);
  const ProgramRun run = run_in(dir, kExact, GetParam().args);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind(GetParam().message, 0), 0u) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;  // one line
  EXPECT_EQ(files_of(dir), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedRun,
    testing::Values(
        Refusal{"PlotOverTheRuleRead", {"--evaluate", "rule.txt", "--plot", "rule.txt", "--rates", "0.2"},
                "contmon-exact: --plot 'rule.txt' is the rule file --evaluate 'rule.txt' reads"},
        Refusal{"ReportOverTheRuleByAnotherPath",
                {"--evaluate", "rule.txt", "--report", "./sub/../rule.txt", "--rates", "0.2"},
                "contmon-exact: --report './sub/../rule.txt' is the rule file --evaluate 'rule.txt' reads"},
        Refusal{"PlotThroughALinkToTheRule", {"--evaluate", "rule.txt", "--plot", "link.svg", "--rates", "0.2"},
                "contmon-exact: --plot 'link.svg' is the rule file --evaluate 'rule.txt' reads"},
        Refusal{"ReportAndBoundaryFile", {"--report", "x.dat", "-o", "x.dat", "20", "0.2", "0.1"},
                "contmon-exact: --report 'x.dat' and --output 'x.dat' name the same file"},
        Refusal{"PlotOverTheDefaultBoundaryFile", {"--plot", "_bndry_.dat", "20", "0.2", "0.1"},
                "contmon-exact: --plot '_bndry_.dat' is the boundary file the run writes"},
        Refusal{"ReportAndPlot", {"--report", "a.html", "--plot", "a.html", "20", "0.2", "0.1"},
                "contmon-exact: --report 'a.html' and --plot 'a.html' name the same file"},
        Refusal{"MinimumEventsAboveK", {"--min-events", "50", "40", "0.2", "0.1"},
                "contmon-exact: invalid --min-events 50: give a whole number from 1 to 40, the last look (K = 40)"},
        Refusal{"LookBeforeTheStart", {"--start", "6", "--looks", "3,10,20", "20", "0.2", "0.1"},
                "contmon-exact: --looks 3: the look comes before --start 6; list looks from 6 to K = 20"},
        Refusal{"LookBeyondK", {"--looks", "10,30", "20", "0.2", "0.1"},
                "contmon-exact: --looks 30: every look must be within 1..K = 20"},
        Refusal{"OutputInAFolderThatIsNot", {"-o", "none/b.dat", "20", "0.2", "0.1"},
                "contmon-exact: invalid --output 'none/b.dat': there is no folder 'none'"},
        Refusal{"OutputWhereNoFileCanBeCreated", {"-o", "/proc/version", "20", "0.2", "0.1"},
                "contmon-exact: --output '/proc/version': Open of /proc/version with mode=w failed: a temporary file "
                "cannot be created in /proc: "},
        Refusal{"EvaluateAFolder", {"--evaluate", ".", "--rates", "0.2"},
                "contmon-exact: --evaluate .: cannot read it: it is a folder; name a rule file"},
        Refusal{"LongListQuotedShort", {"--looks", std::string(300, '7'), "20", "0.2", "0.1"},
                "contmon-exact: invalid --looks '77777777777777777777777777777777777777777777777777777777777777777777"
                "777777777777...'"},
        Refusal{"SprtTooNearTheta", {"--shape", "sprt:0.2000000000001", "40", "0.2", "0.1"},
                "contmon-exact: --shape sprt:0.2000000000001: P1 must be above THETA = 0.2 by at least 1.61e-05: "
                "nearer, each patient moves the log likelihood ratio so little that rounding merges distinct "
                "stopping rules\n"},
        Refusal{"BayesPriorNearZero", {"--shape", "bayes:1e-20,1e-20", "40", "0.2", "0.1"},
                "contmon-exact: invalid --shape 'bayes:1e-20,1e-20': write bayes:A,B with the prior Beta(A, B), A "
                "above 0 and B from 0.001, both at most 1e4, as bayes:1,1\n"}),
    case_name<Refusal>);

TEST(Refusals, ValuesInMessagesShowTheirDigitsAndPlusSignsAreTakenAlike) {
  ScratchDirectory dir;
  const ProgramRun near_one = run_in(dir, kExact, {"--shape", "sprt:0.9999999", "20", "0.99999991", "0.1"});
  EXPECT_EQ(near_one.status, 1);
  EXPECT_NE(near_one.err.find("sprt:0.9999999"), std::string::npos) << near_one.err;
  EXPECT_NE(near_one.err.find("0.99999991"), std::string::npos) << near_one.err;
  for (const char *option : {"--cohort", "--start", "--min-events"}) {
    const ProgramRun plus = run_in(dir, kExact, {"--no-output", option, "+2", "+20", "0.2", "0.1"});
    EXPECT_EQ(plus.status, 0) << option << ": " << plus.err;
  }
}

TEST(OutputNames, LinksAreFollowedAndKeptLoopsNamedAndLongNamesWritten) {
  ScratchDirectory dir;
  fs::create_symlink("target.svg", dir.path() / "dangling.svg");
  fs::create_symlink("loop2", dir.path() / "loop1");
  fs::create_symlink("loop1", dir.path() / "loop2");
  const ProgramRun dangling = run_in(dir, kExact, {"--no-output", "--plot", "dangling.svg", "20", "0.2", "0.1"});
  EXPECT_EQ(dangling.status, 0) << dangling.err;
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.svg"));
  EXPECT_NE(read_file(dir.path() / "target.svg").find("<svg "), std::string::npos);

  const ProgramRun loop = run_in(dir, kExact, {"--no-output", "--plot", "loop1", "20", "0.2", "0.1"});
  EXPECT_EQ(loop.status, 1);
  EXPECT_EQ(loop.err, "contmon-exact: --plot 'loop1': Open of loop1 with mode=w failed: its symbolic links cannot be "
                      "resolved (they form a loop)\n");

  // The longest names the folder takes: the temporary file beside them must fit too.
  for (std::size_t length : {247, 248, 255}) {
    const std::string name(length, 'b');
    const ProgramRun run = run_in(dir, kExact, {"-o", name, "20", "0.2", "0.1"});
    EXPECT_EQ(run.status, 0) << length << ": " << run.err;
    EXPECT_EQ(read_file(dir.path() / name).rfind("0.2\n20\n", 0), 0u) << length;
  }
}

// ---- Boundary files that read back, or not at all ------------------------------------------------------

// The figures of a JSON report: the rule and every row.
Json figures_of(const std::string &out) {
  const Json doc = Json::parse(out);
  return Json{{"boundary", doc["boundary"]}, {"oc", doc["oc"]}, {"theta", doc["inputs"]["theta"]}};
}

TEST(BoundaryFile, AnEvaluatedRuleWrittenWithOReadsBackToTheSameFigures) {
  ScratchDirectory dir;
  write_file(dir.path() / "plain.txt", "5 2\n10 3\n20 5\n");
  ASSERT_EQ(run_in(dir, kExact, {"-o", "designed.dat", "--cohort", "5", "20", "0.2", "0.1"}).status, 0);
  struct Case {
    std::vector<std::string> evaluate;  // how the rule is read, and the rates
  };
  const std::vector<Case> cases = {
      {{"--evaluate", "designed.dat"}},                            // a boundary file with THETA and PHI
      {{"--evaluate", "plain.txt", "20", "0.25", "0.1"}},          // a plain rule with K THETA PHI
      {{"--evaluate", "plain.txt", "--rates", "0.1,0.3,0.45"}},  // a plain rule without THETA
  };
  for (const std::string &program : {kExact, kContmon}) {
    for (const Case &c : cases) {
      std::vector<std::string> first = c.evaluate, second = c.evaluate;
      first.insert(first.end(), {"-o", "again.dat", "--format", "json"});
      const ProgramRun written = run_in(dir, program, first);
      ASSERT_EQ(written.status, 0) << written.err;
      second[1] = "again.dat";
      if (second.size() == 5) second.resize(2);  // the file holds THETA now
      second.insert(second.end(), {"--format", "json"});
      const ProgramRun read = run_in(dir, program, second);
      ASSERT_EQ(read.status, 0) << read.err << read_file(dir.path() / "again.dat");
      EXPECT_EQ(figures_of(read.out), figures_of(written.out)) << c.evaluate[1];
    }
  }
}

TEST(BoundaryFile, EveryTruncationIsRefusedWithItsLineOrReadAsTheRuleWritten) {
  ScratchDirectory dir;
  ASSERT_EQ(run_in(dir, kExact, {"-o", "b.dat", "--looks", "4:12:4", "12", "0.2", "0.1"}).status, 0);
  const std::string whole = read_file(dir.path() / "b.dat");
  const ProgramRun reference = run_in(dir, kExact, {"--evaluate", "b.dat", "--format", "json"});
  ASSERT_EQ(reference.status, 0);
  const Json expected = Json::parse(reference.out);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    write_file(dir.path() / "t.dat", whole.substr(0, n));
    const ProgramRun run = run_in(dir, kExact, {"--evaluate", "t.dat", "--format", "json"});
    if (run.status != 0) {
      EXPECT_EQ(run.status, 1) << n;
      EXPECT_EQ(run.err.rfind("contmon-exact: --evaluate t.dat: line ", 0), 0u) << n << ": " << run.err;
      continue;
    }
    const Json doc = Json::parse(run.out);
    EXPECT_EQ(doc["boundary"], expected["boundary"]) << n;
    EXPECT_EQ(doc["inputs"]["theta"], expected["inputs"]["theta"]) << n;
    EXPECT_EQ(doc["inputs"]["phi"], expected["inputs"]["phi"]) << n;
  }
}

TEST(RuleFile, OfBlankLinesNearTheSizeLimitTakesMemoryForTheRuleNotForEachLine) {
  ScratchDirectory dir;
  write_file(dir.path() / "blank.txt", std::string((16u << 20) - 100, '\n') + "5 2\n10 3\n");
  fs::create_symlink(kExact, dir.path() / "contmon-exact");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0 || !freopen("/dev/null", "w", stdout)) _exit(126);
    execl("./contmon-exact", "contmon-exact", "--evaluate", "blank.txt", "--rates", "0.2", static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ASSERT_EQ(wait4(pid, &status, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The file's text is held once (16 MiB); a view of every line would add 16 bytes a line, 256 MiB.
  EXPECT_LT(usage.ru_maxrss, 150 * 1024) << "KiB";
}

// ---- Simulated figures --------------------------------------------------------------------------------

TEST(SimulatedFigures, DependOnTheRuleTheRateAndTheMethodOnly) {
  ScratchDirectory dir;
  auto rows = [&](const std::string &rates) {
    const ProgramRun run =
        run_in(dir, kContmon, {"--no-output", "--format", "json", "--rates", rates, "--alternative", "0.35", "20",
                               "0.2", "0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    return Json::parse(run.out);
  };
  const Json alone = rows("0.2"), in_company = rows("0.1,0.2,0.3,0.5");
  // P1's row is the same whatever other rows were asked for, and the row at THETA is PHI*.
  EXPECT_EQ(alone["oc"][alone["alternative_row"].get<int>()], in_company["oc"][in_company["alternative_row"].get<int>()]);
  for (const Json &doc : {alone, in_company}) EXPECT_EQ(doc["oc"][doc["theta_row"].get<int>()]["p_stop"], doc["phi_star"]);
}

// ---- Messages and interruptions --------------------------------------------------------------------------

TEST(Messages, EveryLineOnStandardErrorNamesTheProgram) {
  ScratchDirectory dir;
  fs::create_directory(dir.path() / "folder");
  for (const std::vector<std::string> &args :
       std::vector<std::vector<std::string>>{{"--plot", "folder/", "20", "0.2", "0.1"},
                                             {"--report", "folder", "20", "0.2", "0.1"},
                                             {"--shape", "obf", "5", "0.5", "0.001"},
                                             {"--evaluate", "missing.txt"},
                                             {"--rates", "0.1:0.5", "20", "0.2", "0.1"}}) {
    const ProgramRun run = run_in(dir, kExact, args);
    for (const std::string &line : lines_of(run.err))
      EXPECT_EQ(line.rfind("contmon-exact: ", 0), 0u) << line;
    EXPECT_FALSE(run.err.empty()) << args[0];
  }
}

TEST(Interruptions, LeaveNoTemporaryFileBehind) {
  for (int signal : {SIGINT, SIGTERM}) {
    ScratchDirectory dir;
    fs::create_symlink(kContmon, dir.path() / "contmon");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (chdir(dir.path().c_str()) != 0 || !freopen("/dev/null", "w", stdout)) _exit(126);
      execl("./contmon", "contmon", "--plot", "p.svg", "--report", "r.html", "--rates", "0.05:0.95:0.01", "255",
            "0.3", "0.05", static_cast<char *>(nullptr));
      _exit(127);
    }
    // The outputs are open under their temporary names while the run computes.
    bool temporary_seen = false;
    for (int i = 0; i < 200 && !temporary_seen; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      for (const auto &entry : fs::directory_iterator(dir.path()))
        temporary_seen = temporary_seen || entry.path().filename().string().rfind(".p.svg.", 0) == 0;
    }
    EXPECT_TRUE(temporary_seen);
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    for (const auto &entry : fs::directory_iterator(dir.path()))
      EXPECT_EQ(entry.path().filename().string().rfind('.', 0), std::string::npos) << entry.path();
  }
}

}  // namespace
