// Trial conduct under uniform accrual against two independent calculations:
// the order statistics' densities integrated numerically with the stops from
// a recursion of the test's own, and a Monte Carlo of entry times and
// outcomes. The Chen-Chaloner shape against posterior tails integrated
// numerically.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "contmon/contmon.h"
#include "tests/case_name.h"

namespace {

using contmon::Accrual;
using contmon::OcRow;
using contmon::Rule;

// The stopping count at every stage 1..K, K + 1 where the rule makes no look.
std::vector<int> by_stage(const Rule &rule) {
  std::vector<int> b(static_cast<std::size_t>(rule.K) + 1, rule.K + 1);
  for (std::size_t i = 0; i < rule.looks.size(); ++i) b[static_cast<std::size_t>(rule.looks[i])] = rule.counts[i];
  return b;
}

// P(the trial stops at stage k), k = 1..K, and E[Y] at the end, by the plain recursion over the count of events.
struct Stops {
  std::vector<double> at;
  double mean_y = 0.0;
};

Stops stops_of(const Rule &rule, double p) {
  const std::vector<int> b = by_stage(rule);
  std::vector<double> alive{1.0};  // P(no stop yet, y events)
  Stops s;
  s.at.assign(static_cast<std::size_t>(rule.K) + 1, 0.0);
  for (int k = 1; k <= rule.K; ++k) {
    std::vector<double> next(alive.size() + 1, 0.0);
    for (std::size_t y = 0; y < alive.size(); ++y) {
      next[y] += alive[y] * (1 - p);
      next[y + 1] += alive[y] * p;
    }
    for (std::size_t y = 0; y < next.size(); ++y) {
      if (static_cast<int>(y) >= b[static_cast<std::size_t>(k)]) {
        s.at[static_cast<std::size_t>(k)] += next[y];
        s.mean_y += next[y] * static_cast<double>(y);
        next[y] = 0.0;
      }
    }
    alive = next;
  }
  for (std::size_t y = 0; y < alive.size(); ++y) s.mean_y += alive[y] * static_cast<double>(y);
  return s;
}

// E[later entries within tau of U(n)] for K uniform entries on [0, A]: given U(n) = u the K - n later ones
// are uniform on [u, A], so it is the integral of (K - n) min(1, tau / (A - u)) against the density of U(n),
// by Simpson's rule.
double pending_by_integration(int K, int n, double A, double tau) {
  if (n == K) return 0.0;
  const int steps = 20000;
  const double h = A / steps;
  const double log_norm = std::lgamma(K + 1.0) - std::lgamma(n) - std::lgamma(K - n + 1.0);
  double sum = 0.0;
  for (int i = 0; i <= steps; ++i) {
    const double u = std::min(i * h, A * (1 - 1e-12));
    const double v = u / A;
    const double density =
        v <= 0.0 ? (n == 1 ? K / A : 0.0)
                 : std::exp(log_norm + (n - 1) * std::log(v) + (K - n) * std::log1p(-v)) / A;
    const double later = (K - n) * std::min(1.0, tau / (A - u));
    sum += (i == 0 || i == steps ? 1 : i % 2 ? 4 : 2) * density * later;
  }
  return sum * h / 3;
}

struct ConductCase {
  const char *name;
  int K;
  std::vector<int> looks;  // empty: every patient
  std::vector<int> counts;
  double A, tau, rate;
};

void PrintTo(const ConductCase &c, std::ostream *os) { *os << c.name; }

Rule rule_of(const ConductCase &c) {
  Rule rule{c.K, c.looks, c.counts};
  if (rule.looks.empty())
    for (int n = 1; n <= c.K; ++n) rule.looks.push_back(n), rule.counts.push_back(2 + 3 * n / 10);
  return rule;
}

class Conduct : public testing::TestWithParam<ConductCase> {};

TEST_P(Conduct, EqualsTheOrderStatisticsIntegratedAndAMonteCarloOfEntryTimes) {
  const ConductCase &c = GetParam();
  const Rule rule = rule_of(c);
  const OcRow row = contmon::conduct(rule, {c.rate}, Accrual{c.A, c.tau})[0];

  // Independent: stops by the test's recursion, pending patients by integration.
  const Stops s = stops_of(rule, c.rate);
  double enrolled = 0, time = 0, events = s.mean_y, ended = 1;
  for (int k = 1; k <= c.K; ++k) {
    const double p = s.at[static_cast<std::size_t>(k)];
    const double waiting = pending_by_integration(c.K, k, c.A, c.tau);
    enrolled += p * (k + waiting);
    time += p * (c.A * k / (c.K + 1) + c.tau);
    events += p * waiting * c.rate;
    ended -= p;
  }
  enrolled += ended * c.K;
  time += ended * (c.A * c.K / (c.K + 1) + c.tau);
  EXPECT_NEAR(row.mean_enrolled, enrolled, 1e-6 * c.K);
  EXPECT_NEAR(row.mean_calendar_time, time, 1e-9 * c.A);
  EXPECT_NEAR(row.mean_events_with_pending, events, 1e-6 * c.K);

  // Monte Carlo: entry times, outcomes in entry order, the rule at each look, pending outcomes drawn too.
  std::mt19937_64 gen(20261210);
  std::uniform_real_distribution<double> uniform(0.0, c.A);
  std::bernoulli_distribution event(c.rate);
  const std::vector<int> b = by_stage(rule);
  const int trials = 100000;
  double sum[3] = {}, square[3] = {};
  std::vector<double> entry(static_cast<std::size_t>(c.K));
  for (int t = 0; t < trials; ++t) {
    for (double &e : entry) e = uniform(gen);
    std::sort(entry.begin(), entry.end());
    int y = 0, n = 0;
    while (n < c.K) {
      y += event(gen);
      ++n;
      if (y >= b[static_cast<std::size_t>(n)]) break;
    }
    const double end = entry[static_cast<std::size_t>(n - 1)] + c.tau;
    int in = n;
    while (in < c.K && entry[static_cast<std::size_t>(in)] <= end) {
      y += event(gen);
      ++in;
    }
    const double figures[3] = {static_cast<double>(in), end, static_cast<double>(y)};
    for (int i = 0; i < 3; ++i) sum[i] += figures[i], square[i] += figures[i] * figures[i];
  }
  const double exact[3] = {row.mean_enrolled, row.mean_calendar_time, row.mean_events_with_pending};
  for (int i = 0; i < 3; ++i) {
    const double mean = sum[i] / trials, se = std::sqrt((square[i] / trials - mean * mean) / trials);
    EXPECT_NEAR(mean, exact[i], 5 * se + 1e-12) << "figure " << i;
  }
}

// Every patient with the counts 2 + floor(3n / 10); windows shorter and longer than A / K, and longer than A (every patient has entered by the first outcome).
INSTANTIATE_TEST_SUITE_P(
    Table, Conduct,
    testing::Values(ConductCase{"EveryPatientShortWindow", 20, {}, {}, 100, 2, 0.3},
                    ConductCase{"EveryPatientLongWindow", 20, {}, {}, 100, 30, 0.3},
                    ConductCase{"Cohorts", 24, {6, 12, 18, 24}, {3, 5, 6, 7}, 365, 28, 0.25},
                    ConductCase{"RunIn", 30, {10, 15, 20, 25, 30}, {4, 5, 6, 7, 8}, 50, 4, 0.3},
                    ConductCase{"WindowBeyondAccrual", 15, {5, 10, 15}, {2, 3, 4}, 10, 12, 0.2}),
    case_name<ConductCase>);

TEST(Conduct, EveryPatientRuleHasCountsFromADesign) {
  // The Pocock boundary after every patient, through the report: its rows carry the three figures.
  contmon::ReportRequest request;
  request.design.K = 30;
  request.design.theta = 0.2;
  request.design.phi = 0.1;
  request.accrual = Accrual{180, 21};
  request.alternative = 0.4;
  const contmon::Report report = contmon::report(request);
  for (const OcRow &row : report.oc) {
    EXPECT_GE(row.mean_enrolled, row.mean_n);
    EXPECT_LE(row.mean_enrolled, 30.0);
    EXPECT_GE(row.mean_events_with_pending, row.mean_y);
  }
  EXPECT_EQ(report.oc[*report.alternative_row].mean_enrolled,
            contmon::conduct(report.calibration.rule, {0.4}, Accrual{180, 21})[0].mean_enrolled);
  EXPECT_THROW(contmon::conduct(report.calibration.rule, {0.4}, Accrual{0, 21}), contmon::Error);
  EXPECT_THROW(contmon::conduct(report.calibration.rule, {0.4}, Accrual{180, NAN}), contmon::Error);
}

// P(p > t) under Beta(a, b) by Simpson's rule: on the density for b >= 1, and for b < 1, whose density is
// infinite at 1, after the substitution u = (1 - p)^b: the integral of (1 - u^(1/b))^(a - 1) / b over u from
// 0 to (1 - t)^b.
double posterior_tail(double a, double b, double t) {
  const int steps = 20000;
  const bool substituted = b < 1;
  const double top = substituted ? std::pow(1 - t, b) : 1 - t, h = top / steps;
  double sum = 0;
  for (int i = 0; i <= steps; ++i) {
    const double p = substituted ? 1 - std::pow(i * h, 1 / b) : t + i * h;
    const double f = substituted ? std::pow(p, a - 1) / b : std::pow(p, a - 1) * std::pow(1 - p, b - 1);
    sum += (i == 0 || i == steps ? 1 : i % 2 ? 4 : 2) * f;
  }
  return sum * h / 3 * std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b));
}

struct ChenChalonerCase {
  const char *name;
  const char *shape;
  int K;
  double theta, phi;
  bool stops;
  bool nu_decides;  // the condition on P1 raises the count at some look
};

void PrintTo(const ChenChalonerCase &c, std::ostream *os) { *os << c.name; }

class ChenChaloner : public testing::TestWithParam<ChenChalonerCase> {};

TEST_P(ChenChaloner, EachCountIsTheFirstWithBothPosteriorTailsHighEnough) {
  const ChenChalonerCase &c = GetParam();
  contmon::Design design;
  design.K = c.K;
  design.theta = c.theta;
  design.phi = c.phi;
  design.shape = contmon::parse_shape(c.shape);
  const contmon::Calibration cal = contmon::design(design);
  EXPECT_EQ(cal.never_stops, !c.stops);
  EXPECT_LE(cal.phi_star, c.phi);
  const contmon::Shape &s = design.shape;
  int nu_decides = 0;  // looks where the tail above THETA alone would stop on fewer events
  for (std::size_t i = 0; i < cal.rule.looks.size(); ++i) {
    const int n = cal.rule.looks[i];
    int expected = n + 1, theta_alone = n + 1;
    for (int y = n; y >= 1; --y) {  // both tails rise with y
      if (posterior_tail(s.prior_a + y, s.prior_b + n - y, c.theta) < cal.constant) break;
      theta_alone = y;
      if (posterior_tail(s.prior_a + y, s.prior_b + n - y, s.p1) >= s.nu) expected = y;
    }
    EXPECT_EQ(std::min(cal.rule.counts[i], n + 1), expected) << "look " << n;
    nu_decides += theta_alone < expected;
  }
  EXPECT_EQ(nu_decides > 0, c.nu_decides) << nu_decides << " looks";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChenChaloner,
    testing::Values(ChenChalonerCase{"Uniform", "cc:1,1,0.4,0.5", 30, 0.2, 0.1, true, true},
                    ChenChalonerCase{"InformativePrior", "cc:0.6,2.4,0.35,0.7", 40, 0.2, 0.05, true, true},
                    ChenChalonerCase{"LowNu", "cc:0.5,0.5,0.3,0.1", 20, 0.15, 0.1, true, false},
                    // A posterior beyond 0.9 above 0.95 needs more events than 10 patients give.
                    ChenChalonerCase{"NuTooHighToStop", "cc:1,1,0.95,0.999", 10, 0.2, 0.1, false, true}),
    case_name<ChenChalonerCase>);

}  // namespace
