// Designs, rule files and outputs on the built programs: refusals of the new options, the Pocock boundary after every patient
// through the full report, every shape with a schedule checked through its boundary file, --evaluate in
// both engines against each other, and the files of --plot and --report.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "contmon/contmon.h"
#include "tests/case_name.h"
#include "tests/program_runner.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const std::string kContmon = CONTMON_EXE;
const std::string kExact = CONTMON_EXACT_EXE;

ProgramRun run_in(const ScratchDirectory &dir, const std::string &program,
                  const std::vector<std::string> &args, const std::string &input = "") {
  const std::string as = program == kContmon ? "contmon" : "contmon-exact";
  if (!fs::exists(dir.path() / as)) fs::create_symlink(program, dir.path() / as);
  return run_program("./" + as, input, dir.path(), OutputTarget::kFile, args);
}

// The JSON document a run printed; fails the test when it is not one.
Json json_of(const ProgramRun &run) {
  EXPECT_EQ(run.status, 0) << run.err;
  Json doc = Json::parse(run.out, nullptr, false);
  EXPECT_FALSE(doc.is_discarded()) << run.out.substr(0, 400);
  return doc;
}

// ---- Refusals ------------------------------------------------------------------------------------------

struct Refusal {
  const char *name;
  std::vector<std::string> args;
  const char *message;  // the start of standard error, after "contmon: "
};

void PrintTo(const Refusal &c, std::ostream *os) { *os << c.name; }

class RefusedDesign : public testing::TestWithParam<Refusal> {};

TEST_P(RefusedDesign, WithAMessageThatNamesTheOptionAndStatusOne) {
  ScratchDirectory dir;
  write_file(dir.path() / "_bndry_.dat", "kept\n");
  write_file(dir.path() / "bad.txt", "5 2\n10 3\n# end\n20 x\n");
  const ProgramRun run = run_in(dir, kContmon, GetParam().args);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind(std::string("contmon: ") + GetParam().message, 0), 0u) << run.err;
  EXPECT_EQ(read_file(dir.path() / "_bndry_.dat"), "kept\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedDesign,
    testing::Values(
        Refusal{"UnknownShape",
                {"--shape", "pocok", "10", "0.3", "0.05"},
                "invalid --shape 'pocok': the shapes are"},
        Refusal{"DeltaAboveHalf",
                {"--shape", "wt:0.7", "10", "0.3", "0.05"},
                "invalid --shape 'wt:0.7': write wt:DELTA"},
        Refusal{"PriorOfZero", {"--shape", "bayes:0,1", "10", "0.3", "0.05"}, "invalid --shape 'bayes:0,1'"},
        Refusal{"SprtBelowTheta",
                {"--shape", "sprt:0.2", "10", "0.3", "0.05"},
                "--shape sprt:0.2: P1 must be above"},
        Refusal{"ParametersForObf", {"--shape", "obf:1", "10", "0.3", "0.05"}, "invalid --shape 'obf:1'"},
        Refusal{"LookBeyondK", {"--looks", "5,12", "10", "0.3", "0.05"}, "--looks"},
        Refusal{"LooksNotNumbers", {"--looks", "5,x", "10", "0.3", "0.05"}, "invalid --looks"},
        Refusal{"CohortOfZero", {"--cohort", "0", "10", "0.3", "0.05"}, "invalid --cohort '0'"},
        Refusal{"StartBeyondK", {"--start", "11", "10", "0.3", "0.05"}, "--start"},
        Refusal{"MinimumOfZero", {"--min-events", "0", "10", "0.3", "0.05"}, "invalid --min-events '0'"},
        Refusal{"LooksAndCohort",
                {"--looks", "5", "--cohort", "5", "10", "0.3", "0.05"},
                "give the looks either"},
        Refusal{"AccrualWithoutWindow", {"--accrual", "365", "10", "0.3", "0.05"}, "--accrual needs --window"},
        Refusal{"WindowWithoutAccrual", {"--window", "28", "10", "0.3", "0.05"}, "--window needs --accrual"},
        Refusal{"AccrualOfZero",
                {"--accrual", "0", "--window", "28", "10", "0.3", "0.05"},
                "invalid --accrual '0': give a positive number"},
        Refusal{"WindowNotANumber",
                {"--accrual", "365", "--window", "4w", "10", "0.3", "0.05"},
                "invalid --window '4w'"},
        Refusal{"ChenChalonerP1BelowTheta",
                {"--shape", "cc:1,1,0.2,0.5", "10", "0.3", "0.05"},
                "--shape cc:1,1,0.2,0.5: P1 = 0.2 must be above THETA = 0.3"},
        Refusal{"ChenChalonerNuOfOne", {"--shape", "cc:1,1,0.4,1", "10", "0.3", "0.05"}, "invalid --shape 'cc:1,1,0.4,1'"},
        Refusal{"ChenChalonerThreeParameters", {"--shape", "cc:1,1,0.4", "10", "0.3", "0.05"}, "invalid --shape 'cc:1,1,0.4'"},
        Refusal{"UnknownFormat", {"--format", "xml", "10", "0.3", "0.05"}, "invalid --format 'xml'"},
        Refusal{"JsonAsksNothing", {"--format", "json"}, "--format json writes for other programs"},
        Refusal{
            "EvaluateWithAShape", {"--evaluate", "bad.txt", "--shape", "obf"}, "--evaluate reads the looks"},
        Refusal{"EvaluateAMissingFile",
                {"--evaluate", "none.txt", "--rates", "0.3"},
                "--evaluate none.txt: cannot"},
        Refusal{"EvaluateAMalformedFile",
                {"--evaluate", "bad.txt", "--rates", "0.3"},
                "--evaluate bad.txt: line 4"},
        Refusal{"EvaluateAnotherK",
                {"--evaluate", "bad.txt", "12", "0.3", "0.05"},
                "--evaluate bad.txt: line 4"}),
    case_name<Refusal>);

// ---- The Pocock boundary after every patient, with arguments ----------------------------------------------------------------

// The lines of out that start with prefix.
std::vector<std::string> lines_starting(const std::string &out, const std::string &prefix) {
  std::vector<std::string> found;
  for (const std::string &line : lines_of(out))
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  return found;
}

// The first column after the rate of each row of the dialogue's table, by rate.
std::vector<std::string> classic_phi_star_column(const std::string &out) {
  std::vector<std::string> column;
  const std::size_t table = out.find("THETA   PHI*");
  for (const std::string &line : lines_of(out.substr(table)))
    if (line.size() > 16 && line[0] == '0' && line[1] == '.') column.push_back(line.substr(0, 16));
  return column;
}

TEST(Designs, ThePocockBoundaryAfterEveryPatientWithArgumentsHasTheDialoguesBoundaryFiguresAndFile) {
  for (const auto &[program, input] :
       {std::pair{kExact, std::string("255 0.3 0.05")}, std::pair{kContmon, std::string("10 0.3 0.05")}}) {
    ScratchDirectory dialogue_dir, arguments_dir;
    const ProgramRun dialogue = run_in(dialogue_dir, program, {}, input + "\n");
    std::vector<std::string> args;
    std::istringstream words(input);
    for (std::string word; words >> word;) args.push_back(word);
    const ProgramRun full = run_in(arguments_dir, program, args);
    ASSERT_EQ(full.status, 0) << full.err;
    for (const char *prefix : {"K     = ", "PHI*  = ", "ALPHA = ", "b["})
      EXPECT_EQ(lines_starting(full.out, prefix), lines_starting(dialogue.out, prefix)) << prefix;
    // The same boundary file, its numbers in full where the dialogue's show six digits.
    const std::vector<std::string> file = lines_of(read_file(arguments_dir.path() / "_bndry_.dat"));
    const std::vector<std::string> dialogue_file = lines_of(read_file(dialogue_dir.path() / "_bndry_.dat"));
    ASSERT_EQ(file.size(), dialogue_file.size());
    for (std::size_t i = 0; i < file.size(); ++i) {
      const std::size_t equals = file[i].find(" = ");
      if (equals == std::string::npos) {
        EXPECT_EQ(file[i], dialogue_file[i]);
        continue;
      }
      char shown[40];
      std::snprintf(shown, sizeof shown, "%g", std::stod(file[i].substr(equals + 3)));
      EXPECT_EQ(dialogue_file[i].substr(equals + 3, std::string(shown).size()), shown) << file[i];
    }
    // The rows are the dialogue's rates. Exact figures are the dialogue's, as printed; simulated ones start
    // from the seed at every rate (the dialogue's run on through one stream), and the row at THETA is PHI*.
    const std::vector<std::string> classic = classic_phi_star_column(dialogue.out);
    args.insert(args.begin(), {"--format", "json"});
    const Json doc = json_of(run_in(arguments_dir, program, args));
    ASSERT_EQ(doc["oc"].size(), classic.size());
    for (std::size_t i = 0; i < classic.size(); ++i) {
      const double rate = doc["oc"][i]["rate"].get<double>(), p_stop = doc["oc"][i]["p_stop"].get<double>();
      char row[40];
      std::snprintf(row, sizeof row, "%-8.2f%-8.3f", rate, p_stop);
      if (program == kExact) {
        EXPECT_EQ(row, classic[i]);
      } else {
        EXPECT_EQ(std::string(row).substr(0, 8), classic[i].substr(0, 8));
        EXPECT_NEAR(p_stop, std::stod(classic[i].substr(8)), 0.002) << rate;
      }
    }
    EXPECT_EQ(doc["oc"][doc["theta_row"].get<std::size_t>()]["p_stop"], doc["phi_star"]);
    EXPECT_NE(full.out.find("Decision table:"), std::string::npos);
    EXPECT_EQ(dialogue.out.find("Decision table:"), std::string::npos);
  }
}

// ---- Every shape with a schedule, through its boundary file ---------------------------------------------

struct DesignCase {
  const char *name;
  std::vector<std::string> options;
};

void PrintTo(const DesignCase &c, std::ostream *os) { *os << c.name; }

class EveryShape : public testing::TestWithParam<DesignCase> {};

TEST_P(EveryShape, ItsFileEvaluatesToItsFiguresAndTheSimulationAgreesWithinFiveStandardErrors) {
  ScratchDirectory dir;
  std::vector<std::string> args = GetParam().options;
  for (const char *word : {"--format", "json", "-o", "rule.dat", "--alternative", "0.45", "30", "0.2", "0.1"})
    args.push_back(word);
  const Json design = json_of(run_in(dir, kExact, args));
  ASSERT_TRUE(design.is_object());
  const double phi_star = design["phi_star"].get<double>();
  EXPECT_LE(phi_star, 0.1);
  if (!design["neighbour"].is_null()) {
    EXPECT_GT(design["neighbour"]["phi_star"].get<double>(), 0.1);
  }
  EXPECT_EQ(design["oc"][design["theta_row"].get<std::size_t>()]["p_stop"].get<double>(), phi_star);

  // The file: K + 1 where there is no look, the count at each look.
  const std::vector<std::string> file = lines_of(read_file(dir.path() / "rule.dat"));
  ASSERT_GE(file.size(), 32u);
  std::vector<std::string> expected(30, "-1 31");
  for (const Json &look : design["boundary"])
    expected[look["n"].get<std::size_t>() - 1] = "-1 " + std::to_string(look["b"].get<int>());
  EXPECT_EQ(std::vector<std::string>(file.begin() + 2, file.begin() + 32), expected);

  // Evaluated exactly, the file gives the same figures; simulated, figures within five standard errors.
  const Json exact =
      json_of(run_in(dir, kExact, {"--evaluate", "rule.dat", "--format", "json", "--alternative", "0.45"}));
  EXPECT_EQ(exact["oc"], design["oc"]);
  const Json simulated =
      json_of(run_in(dir, kContmon, {"--evaluate", "rule.dat", "--format", "json", "--alternative", "0.45"}));
  ASSERT_EQ(simulated["oc"].size(), exact["oc"].size());
  for (std::size_t i = 0; i < exact["oc"].size(); ++i) {
    const Json &s = simulated["oc"][i];
    const Json &e = exact["oc"][i];
    EXPECT_LE(std::fabs(s["p_stop"].get<double>() - e["p_stop"].get<double>()),
              5 * std::max(s["se_p_stop"].get<double>(), 1e-6))
        << i;
    EXPECT_LE(std::fabs(s["mean_n"].get<double>() - e["mean_n"].get<double>()),
              5 * std::max(s["se_mean_n"].get<double>(), 1e-6))
        << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, EveryShape,
    testing::Values(DesignCase{"PocockInCohorts", {"--cohort", "4"}},
                    DesignCase{"ObfFromPatientEight", {"--shape", "obf", "--start", "8"}},
                    DesignCase{"WangTsiatisAtListedLooks",
                               {"--shape", "wt:0.25", "--looks", "5,12,13,20:28:4"}},
                    DesignCase{"BayesEveryPatientTwoEvents", {"--shape", "bayes:1,1", "--min-events", "2"}},
                    DesignCase{"SprtInCohorts", {"--shape", "sprt:0.45", "--cohort", "3"}},
                    DesignCase{"MaxSprtLastLookOnly", {"--shape", "maxsprt", "--looks", "30"}}),
    case_name<DesignCase>);

// ---- A rule of one's own and the files of the pictures --------------------------------------------------

TEST(Designs, APlainRuleFileIsEvaluatedAtTheRatesAndDrawn) {
  ScratchDirectory dir;
  write_file(dir.path() / "rule.txt", "# looks and counts\n5 3\n\n10 4  # the second look\n20 6\n");
  const ProgramRun run =
      run_in(dir, kExact,
             {"--evaluate", "rule.txt", "--rates", "0.1,0.3", "--plot", "rule.svg", "--report", "rule.html"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(lines_starting(run.out, "b["),
            (std::vector<std::string>{"b[5] = 3 ", "b[10] = 4 ", "b[20] = 6 "}));
  EXPECT_FALSE(fs::exists(dir.path() / "_bndry_.dat"));  // a rule read is written only with -o
  EXPECT_NE(run.out.find("\n   using the design stated below (version 1.2)\n"), std::string::npos);
  const std::string svg = read_file(dir.path() / "rule.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  EXPECT_NE(read_file(dir.path() / "rule.html").find("</html>"), std::string::npos);
  // The probability of stopping at 0.3 by enumeration of the events at the looks.
  const auto binomial = [](int n, int y, double p) {
    return std::exp(std::lgamma(n + 1.0) - std::lgamma(y + 1.0) - std::lgamma(n - y + 1.0) + y * std::log(p) +
                    (n - y) * std::log1p(-p));
  };
  double going[21] = {};
  double stop = 0.0;
  for (int y = 0; y <= 5; ++y) (y >= 3 ? stop : going[y]) += binomial(5, y, 0.3);
  double next[21] = {};
  for (int y = 0; y <= 2; ++y)
    for (int more = 0; more <= 5; ++more)
      (y + more >= 4 ? stop : next[y + more]) += going[y] * binomial(5, more, 0.3);
  for (int y = 0; y <= 3; ++y)
    for (int more = 0; more <= 10; ++more)
      if (y + more >= 6) stop += next[y] * binomial(10, more, 0.3);
  const Json doc =
      json_of(run_in(dir, kExact, {"--evaluate", "rule.txt", "--rates", "0.1,0.3", "--format", "json"}));
  EXPECT_NEAR(doc["oc"][1]["p_stop"].get<double>(), stop, 1e-12);
}

// ---- Trial conduct --------------------------------------------------------------------------------------

// Every format carries the three figures; they are exact whatever the method, so the simulated run's equal the
// library's exact ones for the rule it chose, and its rule file evaluated gives the same again.
TEST(Designs, TrialConductFiguresReachEveryFormatAndAreExactInBothPrograms) {
  ScratchDirectory dir;
  const std::vector<std::string> design = {"--accrual", "365", "--window", "28", "--alternative", "0.4",
                                           "--shape",   "cc:1,1,0.4,0.5", "--cohort", "4", "30", "0.2", "0.1"};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), design.begin(), design.end());
    return args;
  };
  for (const std::string &program : {kExact, kContmon}) {
    const Json doc = json_of(run_in(dir, program, with({"--format", "json", "--no-output"})));
    EXPECT_EQ(doc["inputs"]["accrual"], Json({{"period", 365}, {"window", 28}}));
    EXPECT_EQ(doc["inputs"]["shape_parameters"], Json({{"a", 1}, {"b", 1}, {"p1", 0.4}, {"nu", 0.5}}));
    contmon::Rule rule{30, {}, {}};
    for (const Json &look : doc["boundary"]) {
      rule.looks.push_back(look["n"].get<int>());
      rule.counts.push_back(look["b"].get<int>());
    }
    std::vector<double> rates;
    for (const Json &row : doc["oc"]) rates.push_back(row["rate"].get<double>());
    const std::vector<contmon::OcRow> exact = contmon::conduct(rule, rates, contmon::Accrual{365, 28});
    for (std::size_t i = 0; i < rates.size(); ++i) {
      EXPECT_EQ(doc["oc"][i]["mean_enrolled"].get<double>(), exact[i].mean_enrolled);
      EXPECT_EQ(doc["oc"][i]["mean_calendar_time"].get<double>(), exact[i].mean_calendar_time);
      EXPECT_EQ(doc["oc"][i]["mean_events_with_pending"].get<double>(), exact[i].mean_events_with_pending);
    }
    EXPECT_NE(doc["sentence"].get<std::string>().find("would be enrolled when the trial stops or ends at P1 = 0.4"),
              std::string::npos);
  }
  const ProgramRun csv = run_in(dir, kExact, with({"--format", "csv", "--no-output"}));
  EXPECT_EQ(lines_of(csv.out).at(0), "rate,p_stop,p_stop_before_last,mean_n,sd_n,mean_y,sd_y,mean_proportion,"
                                     "sd_proportion,mean_enrolled,mean_calendar_time,mean_events_with_pending");
  EXPECT_NE(run_in(dir, kExact, with({"--format", "markdown", "--no-output"})).out.find("## Trial conduct"),
            std::string::npos);
  const ProgramRun text = run_in(dir, kExact, with({"--report", "r.html", "--no-output"}));
  EXPECT_NE(text.out.find("THETA   E[enrolled]  E[time]    E[Y+pending]"), std::string::npos) << text.out;
  EXPECT_NE(read_file(dir.path() / "r.html").find("<h2>Trial conduct</h2>"), std::string::npos);
  // Without the options nothing of it appears.
  const ProgramRun plain = run_in(dir, kExact, {"--format", "json", "--no-output", "30", "0.2", "0.1"});
  EXPECT_EQ(plain.out.find("enrolled"), std::string::npos);
}

// ---- Exploring designs ----------------------------------------------------------------------------------

// A document without its date, for comparing runs.
Json undated(Json doc) {
  doc.erase("date");
  return doc;
}

TEST(Explore, EachDesignOfAComparisonIsTheSingleShapeRunAndCsvLeadsWithTheShape) {
  ScratchDirectory dir;
  const std::vector<std::string> shapes = {"pocock", "obf", "bayes:0.6,2.4", "cc:1,1,0.4,0.5"};
  std::vector<std::string> args = {"--format", "json", "--no-output", "--alternative", "0.4", "--cohort", "4"};
  for (const std::string &shape : shapes) args.insert(args.end(), {"--shape", shape});
  args.insert(args.end(), {"40", "0.2", "0.1"});
  const Json compared = json_of(run_in(dir, kExact, args));
  ASSERT_EQ(compared["designs"].size(), shapes.size());
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const Json single = json_of(run_in(dir, kExact, {"--format", "json", "--no-output", "--alternative", "0.4",
                                                     "--cohort", "4", "--shape", shapes[i], "40", "0.2", "0.1"}));
    EXPECT_EQ(undated(compared["designs"][i]), undated(single)) << shapes[i];
  }
  args[1] = "csv";
  const std::vector<std::string> csv = lines_of(run_in(dir, kExact, args).out);
  EXPECT_EQ(csv.at(0).rfind("shape,rate,p_stop,", 0), 0u);
  EXPECT_EQ(csv.at(1).rfind("\"pocock\",0.2,", 0), 0u);
  EXPECT_EQ(csv.back().rfind("\"cc:1,1,0.4,0.5\",0.95,", 0), 0u);
}

// --find-k against one exact run per K: --cohort 5 with target 0.5, where the power dips below it after first
// reaching it.
TEST(Explore, FindKEqualsAnExactRunAtEveryKAndNamesTheSmallestAndTheStableK) {
  ScratchDirectory dir;
  const Json doc = json_of(run_in(dir, kExact, {"--format", "json", "--no-output", "--find-k", "0.5", "--alternative",
                                                "0.4", "--cohort", "5", "40", "0.2", "0.1"}));
  ASSERT_EQ(doc["search"].size(), 40u);
  std::optional<int> smallest, stable;
  for (int k = 1; k <= 40; ++k) {
    const Json single = json_of(run_in(dir, kExact, {"--format", "json", "--no-output", "--alternative", "0.4",
                                                     "--rates", "0.4", "--cohort", std::to_string(std::min(5, k)),
                                                     std::to_string(k), "0.2", "0.1"}));
    const Json &step = doc["search"][k - 1];
    EXPECT_EQ(step["K"], k);
    EXPECT_EQ(step["constant"], single["constant"]) << k;
    EXPECT_EQ(step["phi_star"], single["phi_star"]) << k;
    EXPECT_EQ(step["power"], single["oc"][0]["p_stop"]) << k;
    EXPECT_EQ(step["mean_n_alternative"], single["oc"][0]["mean_n"]) << k;
    const bool reaches = single["oc"][0]["p_stop"].get<double>() >= 0.5;
    if (reaches && !smallest) smallest = k;
    if (!reaches) stable.reset();
    else if (!stable) stable = k;
  }
  ASSERT_TRUE(smallest && stable);
  EXPECT_LT(*smallest, *stable) << "the case must show power falling back below the target";
  EXPECT_EQ(doc["smallest_k"], *smallest);
  EXPECT_EQ(doc["stable_k"], *stable);
  EXPECT_EQ(doc["inputs"]["K"], *smallest);  // the report that follows is the smallest K's
  const ProgramRun none = run_in(dir, kExact, {"--no-output", "--find-k", "0.99", "--alternative", "0.3", "10",
                                               "0.2", "0.1"});
  EXPECT_EQ(none.status, 0);
  EXPECT_NE(none.out.find("No K searched reaches power 0.99"), std::string::npos);
  EXPECT_EQ(run_in(dir, kContmon, {"--find-k", "0.8", "--alternative", "0.4", "20", "0.2", "0.1"}).status, 1);
}

// A simulated boundary is evaluated exactly too (255 0.3 0.05 chooses one just above PHI), and --trials and
// --seed set the simulation, its record and its standard errors.
TEST(Explore, SimulatedBoundariesAreCheckedExactlyAndTrialsAndSeedAreRecorded) {
  ScratchDirectory dir;
  const ProgramRun run = run_in(dir, kContmon, {"--format", "json", "-o", "sim.dat", "255", "0.3", "0.05"});
  const Json doc = json_of(run);
  const Json exact = json_of(run_in(dir, kExact, {"--format", "json", "--evaluate", "sim.dat", "--rates", "0.3"}));
  EXPECT_EQ(doc["phi_star_exact"], exact["oc"][0]["p_stop"]);
  EXPECT_GT(doc["phi_star_exact"].get<double>(), 0.05);
  EXPECT_NE(run.err.find("warning: the boundary the simulation chose stops with probability 0.0500748"),
            std::string::npos)
      << run.err;
  // The file holds PHI: evaluating it warns as well.
  EXPECT_NE(run_in(dir, kExact, {"--evaluate", "sim.dat"}).err.find("warning: the rule read stops"), std::string::npos);
  const Json small = json_of(run_in(dir, kContmon, {"--format", "json", "--no-output", "--trials", "4000", "--seed",
                                                    "99", "--rates", "0.3", "40", "0.3", "0.1"}));
  EXPECT_EQ(small["trials"], 4000);
  EXPECT_EQ(small["seed"], 99);
  const double p = small["oc"][0]["p_stop"].get<double>();
  EXPECT_DOUBLE_EQ(small["oc"][0]["se_p_stop"].get<double>(), std::sqrt(p * (1 - p) / 4000));
  EXPECT_EQ(run_in(dir, kExact, {"--trials", "4000", "40", "0.3", "0.1"}).status, 1);
  EXPECT_EQ(run_in(dir, kContmon, {"--trials", "999", "40", "0.3", "0.1"}).status, 1);
}

TEST(Explore, AFixedConstantNeedsNoPhiAndAPhiItExceedsIsWarnedOf) {
  ScratchDirectory dir;
  const Json without = json_of(run_in(dir, kExact, {"--format", "json", "--no-output", "--shape", "bayes:1,1",
                                                    "--constant", "0.9", "40", "0.2"}));
  EXPECT_EQ(without["constant"], 0.9);
  EXPECT_EQ(without["constant_fixed"], true);
  EXPECT_EQ(without["design"], "--shape bayes:1,1 --constant 0.9 40 0.2");  // the arguments that give it back
  EXPECT_TRUE(without["within_phi"].is_null());
  EXPECT_TRUE(without["inputs"]["phi"].is_null());
  const ProgramRun with = run_in(dir, kExact, {"--no-output", "--shape", "bayes:1,1", "--constant", "0.9", "40",
                                               "0.2", "0.1"});
  EXPECT_NE(with.out.find("The rule stops at THETA more often than PHI allows."), std::string::npos);
  EXPECT_NE(with.err.find("warning: the rule of the constant given stops"), std::string::npos);
  const ProgramRun within = run_in(dir, kExact, {"--no-output", "--shape", "bayes:1,1", "--constant", "0.999",
                                                 "40", "0.2", "0.1"});
  EXPECT_NE(within.out.find("keeps the probability of stopping at THETA within PHI"), std::string::npos);
  EXPECT_EQ(within.err, "");
}

// --by-look: the long table (CSV, Markdown) ends each rate at its P(stop), and the text table shows THETA and P1.
TEST(Explore, ByLookTablesEndEachRateAtItsProbabilityOfStopping) {
  ScratchDirectory dir;
  const std::vector<std::string> design = {"--no-output", "--cohort", "10", "--alternative", "0.4", "40", "0.2", "0.1"};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), design.begin(), design.end());
    return args;
  };
  const Json doc = json_of(run_in(dir, kExact, with({"--format", "json"})));
  const std::vector<std::string> csv = lines_of(run_in(dir, kExact, with({"--by-look", "--format", "csv"})).out);
  ASSERT_EQ(csv.size(), 1 + 4 * doc["oc"].size());
  EXPECT_EQ(csv[0], "rate,n,b,p_stop_at_look,p_stop_by_look");
  for (std::size_t r = 0; r < doc["oc"].size(); ++r) {
    const std::string &last = csv[4 * (r + 1)];
    EXPECT_NEAR(std::stod(last.substr(last.rfind(',') + 1)), doc["oc"][r]["p_stop"].get<double>(), 1e-15) << last;
  }
  const std::string markdown = run_in(dir, kExact, with({"--by-look", "--format", "markdown"})).out;
  EXPECT_NE(markdown.find("| 0.20 | 40 | 13 | 0.01128 | 0.09745 |"), std::string::npos);
  const std::string text = run_in(dir, kExact, with({"--by-look"})).out;
  EXPECT_NE(text.find("P(at) THETA  P(by) THETA  P(at) P1     P(by) P1"), std::string::npos);
}

}  // namespace
