// The public API as a front end calls it: every invalid field is an Error
// naming it, simulated calls are functions of their arguments alone (the same
// design twice, a rate alone or in company, eight threads at once), and a
// progress callback that says stop cancels the call.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "contmon/contmon.h"

namespace {

using namespace contmon;

Design base_design() {
  Design d;
  d.K = 20;
  d.theta = 0.2;
  d.phi = 0.1;
  return d;
}

Method simulation(int trials = kSimulatedTrials) {
  Method m;
  m.kind = MethodKind::kSimulation;
  m.trials = trials;
  return m;
}

// ---- Misuse --------------------------------------------------------------------------------------

struct Misuse {
  const char *name;
  std::function<void()> call;
  const char *field;
  const char *message;  // the start of the message
};

void PrintTo(const Misuse &c, std::ostream *os) { *os << c.name; }

class ApiMisuse : public testing::TestWithParam<Misuse> {};

TEST_P(ApiMisuse, ThrowsAnErrorNamingTheField) {
  try {
    GetParam().call();
    FAIL() << "no error";
  } catch (const Error &error) {
    EXPECT_EQ(error.field(), GetParam().field);
    EXPECT_EQ(std::string(error.what()).rfind(GetParam().message, 0), 0u) << error.what();
  }
}

// Calls design() on the base design changed by change.
std::function<void()> design_with(void (*change)(Design &)) {
  return [change] {
    Design d = base_design();
    change(d);
    design(d);
  };
}

Rule small_rule() { return Rule{10, {5, 10}, {3, 4}}; }

INSTANTIATE_TEST_SUITE_P(
    Table, ApiMisuse,
    testing::Values(
        Misuse{"KZero", design_with([](Design &d) { d.K = 0; }), "K", "invalid K 0: K is a whole number from 1 to 255"},
        Misuse{"KTooLarge", design_with([](Design &d) { d.K = 256; }), "K", "invalid K 256"},
        Misuse{"ThetaOne", design_with([](Design &d) { d.theta = 1.0; }), "theta", "invalid THETA 1:"},
        Misuse{"ThetaNaN", design_with([](Design &d) { d.theta = std::nan(""); }), "theta", "invalid THETA nan"},
        Misuse{"ThetaJustAboveOneShowsItsDigits", design_with([](Design &d) { d.theta = 1.0000001; }), "theta",
               "invalid THETA 1.0000001:"},
        Misuse{"PhiZero", design_with([](Design &d) { d.phi = 0.0; }), "phi", "invalid PHI 0:"},
        Misuse{"WangTsiatisDelta", design_with([](Design &d) { d.shape = Shape{ShapeKind::kWangTsiatis, 0.7}; }),
               "shape", "invalid --shape 'wt:0.7': write wt:DELTA with DELTA from 0 to 0.5"},
        Misuse{"BayesPrior", design_with([](Design &d) { d.shape = Shape{ShapeKind::kBayes, 0, 0, 1}; }), "shape",
               "invalid --shape 'bayes:0,1'"},
        Misuse{"SprtBelowTheta", design_with([](Design &d) { d.shape = Shape{ShapeKind::kSprt, 0, 0, 0, 0.1}; }),
               "shape", "--shape sprt:0.1: P1 must be above THETA = 0.2"},
        Misuse{"LooksOutsideK", design_with([](Design &d) { d.looks = {5, 21}; }), "looks",
               "invalid looks: look 21 is not within 1..K = 20"},
        Misuse{"LooksDescending", design_with([](Design &d) { d.looks = {10, 5, 20}; }), "looks",
               "invalid looks: look 5 comes after look 10"},
        Misuse{"LooksWithoutK", design_with([](Design &d) { d.looks = {5, 10}; }), "looks",
               "invalid looks: the last look is 10, but K = 20 is always a look"},
        Misuse{"MinEventsZero", design_with([](Design &d) { d.min_events = 0; }), "min_events",
               "invalid --min-events 0"},
        Misuse{"MinEventsAboveK", design_with([](Design &d) { d.min_events = 21; }), "min_events",
               "invalid --min-events 21: give a whole number from 1 to 20"},
        Misuse{"RuleWithoutLooks", [] { characteristics(Rule{10, {}, {}}, {0.2}); }, "rule", "invalid rule"},
        Misuse{"RuleCountZero", [] { characteristics(Rule{10, {5, 10}, {0, 4}}, {0.2}); }, "rule",
               "invalid rule: the stopping count 0 at look 5"},
        Misuse{"RateOne", [] { characteristics(small_rule(), {0.2, 1.0}); }, "rates", "invalid rate 1:"},
        Misuse{"TooFewTrials", [] { characteristics(small_rule(), {0.2}, simulation(999)); }, "trials",
               "invalid number of simulated trials 999: give a whole number from 1000 to 100000000"},
        Misuse{"ShapeText", [] { parse_shape("wt:0.7"); }, "shape", "invalid --shape 'wt:0.7'"},
        Misuse{"LooksText", [] { parse_looks("5,x"); }, "looks", "invalid --looks '5,x'"},
        Misuse{"RatesText", [] { parse_rates("0.1:0.5"); }, "rates", "invalid --rates '0.1:0.5'"},
        Misuse{"KText", [] { parse_sample_size("40.5"); }, "K", "invalid K '40.5'"},
        Misuse{"ScheduleStart", [] { schedule_looks(20, {}, 0, 30); }, "looks", "--start 30"},
        Misuse{"RuleFileText", [] { parse_rule_file("r.txt", "5 x\n"); }, "rule file", "--evaluate r.txt: line 1"}),
    [](const testing::TestParamInfo<Misuse> &info) { return std::string(info.param.name); });

// ---- Same input, same answer ------------------------------------------------------------------------

TEST(SameAnswer, ASimulatedDesignGivesTheSameFiguresEveryCall) {
  Design d;
  d.K = 10;
  d.theta = 0.3;
  d.phi = 0.05;
  const Calibration first = design(d, simulation());
  const Calibration second = design(d, simulation());
  EXPECT_EQ(first.phi_star, 0.046888);  // the figure the dialogue prints for this design
  EXPECT_EQ(second.phi_star, first.phi_star);
  EXPECT_EQ(second.constant, first.constant);
  EXPECT_EQ(second.rule.counts, first.rule.counts);
}

TEST(SameAnswer, ASimulatedRateGivesItsFiguresAloneOrInCompany) {
  const Rule rule = design(base_design()).rule;
  const std::vector<OcRow> alone = characteristics(rule, {0.35}, simulation());
  const std::vector<OcRow> in_company = characteristics(rule, {0.2, 0.3, 0.35}, simulation());
  EXPECT_EQ(in_company[2].p_stop, alone[0].p_stop);
  EXPECT_EQ(in_company[2].mean_n, alone[0].mean_n);
  // A stream passed in runs on from rate to rate instead.
  RandomStream stream;
  const std::vector<OcRow> continued = characteristics(rule, {0.2, 0.35}, simulation(), RunControl{{}, &stream});
  EXPECT_NE(continued[1].mean_n, alone[0].mean_n);
  EXPECT_GT(stream.drawn(), 0);
}

TEST(SameAnswer, EightThreadsAtOnceGiveTheSerialFigures) {
  // Each thread designs its own design with both methods and computes a row; the results must be the serial
  // ones, whatever runs beside them. 20,000 trials a simulation keep the run short under ThreadSanitizer.
  struct Figures {
    double exact_phi_star = 0, simulated_phi_star = 0, simulated_mean_n = 0;
    std::vector<int> counts;
  };
  auto compute = [](int i) {
    Design d;
    d.K = 8 + i;
    d.theta = 0.1 + 0.02 * i;
    d.phi = 0.1;
    if (i % 2 == 1) d.shape.kind = ShapeKind::kObf;
    Figures f;
    const Calibration exact = design(d);
    f.exact_phi_star = exact.phi_star;
    f.counts = exact.rule.counts;
    const Calibration simulated = design(d, simulation(20000));
    f.simulated_phi_star = simulated.phi_star;
    f.simulated_mean_n = characteristics(simulated.rule, {d.theta + 0.1}, simulation(20000))[0].mean_n;
    return f;
  };
  constexpr int kThreads = 8;
  std::vector<Figures> serial, parallel(kThreads);
  for (int i = 0; i < kThreads; ++i) serial.push_back(compute(i));
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back([&, i] { parallel[i] = compute(i); });
  for (std::thread &t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(parallel[i].exact_phi_star, serial[i].exact_phi_star) << i;
    EXPECT_EQ(parallel[i].counts, serial[i].counts) << i;
    EXPECT_EQ(parallel[i].simulated_phi_star, serial[i].simulated_phi_star) << i;
    EXPECT_EQ(parallel[i].simulated_mean_n, serial[i].simulated_mean_n) << i;
  }
}

// ---- Progress and cancellation --------------------------------------------------------------------------

TEST(Progress, ASimulationReportsEverySixtyFiveThousandTrialsAndStopsWhenTold) {
  const Rule rule = Rule{255, {255}, {256}};  // never stops: every trial runs all 255 patients
  int calls = 0;
  double last = -1.0;
  bool ascending = true;
  RunControl control;
  control.progress = [&](double fraction, std::string_view stage) {
    ++calls;
    ascending = ascending && fraction >= last && fraction <= 1.0;
    last = fraction;
    EXPECT_EQ(stage, "operating characteristics");
    return true;
  };
  characteristics(rule, {0.3}, simulation(), control);
  EXPECT_GE(calls, kSimulatedTrials / 65536);  // so that a cancellation is seen within a fraction of the run
  EXPECT_TRUE(ascending);
  EXPECT_EQ(last, 1.0);

  int calls_after_stop = 0;
  control.progress = [&](double, std::string_view) { return ++calls_after_stop < 3; };
  EXPECT_THROW(characteristics(rule, {0.3, 0.4}, simulation(), control), Cancelled);
  EXPECT_EQ(calls_after_stop, 3);  // nothing more was computed or reported after the answer
  EXPECT_THROW(design(base_design(), simulation(), control), Cancelled);
}

// ---- The whole analysis ------------------------------------------------------------------------------

TEST(Report, ASimulatedRowAtThetaIsTheEvaluationThatGavePhiStar) {
  ReportRequest request;
  request.design = base_design();
  const Report r = report(request, simulation());
  ASSERT_TRUE(r.theta_row.has_value());
  EXPECT_EQ(r.oc[*r.theta_row].p_stop, r.calibration.phi_star);
  EXPECT_EQ(to_json(r), to_json(report(request, simulation())));
}

TEST(Report, FewerTrialsGiveTheirOwnFiguresAndStandardErrors) {
  ReportRequest request;
  request.design = base_design();
  request.rates = {0.3};
  const Report r = report(request, simulation(10000));
  EXPECT_EQ(r.trials, 10000);
  const OcRow &row = r.oc[0];
  EXPECT_EQ(row.se_p_stop, std::sqrt(row.p_stop * (1.0 - row.p_stop) / 10000));
  EXPECT_NEAR(row.p_stop * 10000, std::round(row.p_stop * 10000), 1e-6);  // a count of 10,000 trials
}

}  // namespace
