// The calibration and the operating characteristics of a rule against a slow
// reference that enumerates all outcome sequences, the reference finding every
// distinct rule a shape gives; the bisection over candidates with ties; and,
// for the Pocock boundary after every patient, the simulated calibration
// replayed evaluation by evaluation on one stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/binomial.h"
#include "design/design_internal.h"
#include "tests/case_name.h"
#include "tests/pocock_levels.h"

namespace {

using namespace contmon;

// Counts above the look read as the look plus one: what a trial meets.
std::vector<int> effective(const Design &d, std::vector<int> counts) {
  const std::vector<int> looks = design_looks(d);
  for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = std::min(counts[i], looks[i] + 1);
  return counts;
}

// Calls visit(N, Y, stopped, probability) for each of the 2^K sequences of outcomes at event probability p.
template <class Visit>
void enumerate(const Rule &rule, double p, Visit visit) {
  const std::vector<int> need = stage_boundary(rule);
  std::vector<long double> weight;  // of one sequence, by its number of events
  for (int events = 0; events <= rule.K; ++events)
    weight.push_back(std::pow(static_cast<long double>(p), events) * std::pow(1.0L - p, rule.K - events));
  for (unsigned mask = 0; mask < (1u << rule.K); ++mask) {
    const long double w = weight[static_cast<std::size_t>(std::popcount(mask))];
    int y = 0, n = 1;
    for (; n <= rule.K && (y += (mask >> (n - 1)) & 1u) < need[n]; ++n) {
    }
    visit(std::min(n, rule.K), y, n <= rule.K, w);
  }
}

double enumerated_p_stop(const Design &d, const std::vector<int> &counts) {
  long double total = 0.0L;
  enumerate(Rule{d.K, design_looks(d), counts}, d.theta, [&](int, int, bool stopped, long double w) {
    if (stopped) total += w;
  });
  return static_cast<double>(total);
}

// Every distinct effective rule with P(stop), most aggressive first, found by splitting the range of the key
// (c, or minus the pocock level) wherever the rules at its two ends differ, down to neighbouring doubles.
struct Chain {
  Design d;
  ShapeTable table{d};
  std::vector<std::pair<double, std::vector<int>>> steps;
  std::vector<double> p;

  std::vector<int> rule(double key) const {
    return effective(d, table.counts(d.shape.kind == ShapeKind::kPocock ? -key : key));
  }
  void split(double a, const std::vector<int> &ra, double b, const std::vector<int> &rb) {
    const double mid = a + (b - a) / 2.0;
    if (ra == rb || mid <= a || mid >= b) return;
    const std::vector<int> rm = rule(mid);
    split(a, ra, mid, rm);
    if (rm != steps.back().second) steps.emplace_back(mid, rm);
    split(mid, rm, b, rb);
  }
  explicit Chain(const Design &design) : d(design) {
    const bool pocock = d.shape.kind == ShapeKind::kPocock;
    const double lo = pocock ? -1.0 : -1e4, hi = pocock ? 0.0 : 1e4;
    steps.emplace_back(lo, rule(lo));
    split(lo, rule(lo), hi, rule(hi));
    if (rule(hi) != steps.back().second) steps.emplace_back(hi, rule(hi));
    if (!pocock) {
      // A rule that holds over a few rounding steps of c only, between thresholds that are equal in exact
      // arithmetic (n theta + c w rounds differently for different n), exists for no real c: the
      // calibration leaves it out, and so does the reference.
      std::vector<std::pair<double, std::vector<int>>> real;
      for (std::size_t i = 0; i < steps.size(); ++i) {
        const bool sliver =
            i > 0 && i + 1 < steps.size() &&
            steps[i + 1].first - steps[i].first <= 1e-12 * std::max(1.0, std::fabs(steps[i].first));
        if (!sliver) real.push_back(steps[i]);
      }
      steps = std::move(real);
    }
    for (const auto &s : steps) p.push_back(enumerated_p_stop(d, s.second));
  }
};

std::string describe(const Design &d) {
  std::ostringstream s;
  s << shape_argument(d.shape) << " K=" << d.K << " theta=" << d.theta << " PHI=" << d.phi << " looks=";
  for (int n : d.looks) s << n << ",";
  s << " min_events=" << d.min_events;
  return s.str();
}

// Checks that two rows hold the same figures bit for bit, NaN matching NaN.
void expect_same_row(const OcRow &a, const OcRow &b) {
  const double OcRow::*const fields[] = {
      &OcRow::rate,     &OcRow::p_stop, &OcRow::p_stop_before_last, &OcRow::mean_n,        &OcRow::sd_n,
      &OcRow::mean_y,   &OcRow::sd_y,   &OcRow::mean_proportion,    &OcRow::sd_proportion, &OcRow::se_p_stop,
      &OcRow::se_mean_n};
  for (const auto field : fields) {
    if (std::isnan(a.*field)) {
      EXPECT_TRUE(std::isnan(b.*field)) << b.*field;
    } else {
      EXPECT_EQ(a.*field, b.*field);
    }
  }
}

// Compares the exact calibration at PHI with the reference; false when P lies too near PHI for a verdict.
bool agrees_with_reference(const Chain &chain, double phi, bool *never) {
  Design d = chain.d;
  d.phi = phi;
  SCOPED_TRACE(describe(d));
  const std::vector<double> &p = chain.p;
  std::size_t best = 0;  // the most aggressive rule at or below PHI
  while (p[best] > phi) ++best;
  if (std::fabs(p[best] - phi) < 1e-12 * phi || (best > 0 && std::fabs(p[best - 1] - phi) < 1e-12 * phi))
    return false;
  const Calibration c = design(d, Method{MethodKind::kExact});
  EXPECT_EQ(effective(d, c.rule.counts), chain.steps[best].second);
  EXPECT_EQ(effective(d, shape_counts(d, c.constant)), chain.steps[best].second);
  EXPECT_NEAR(c.phi_star, p[best], 1e-12 * p[best]);
  *never = best + 1 == p.size();
  EXPECT_EQ(c.never_stops, *never);
  // The figures at theta are those of the evaluation that gave PHI*: the chosen rule's, bit for bit.
  EXPECT_EQ(c.at_theta.has_value(), !*never);
  if (c.at_theta) {
    EXPECT_EQ(c.at_theta->p_stop, c.phi_star);
    expect_same_row(*c.at_theta, characteristics(c.rule, {d.theta})[0]);
  }
  const bool pocock = d.shape.kind == ShapeKind::kPocock;
  if (!pocock) {
    // Every rule but the one that never stops is a candidate.
    EXPECT_EQ(c.candidates, static_cast<int>(p.size()) - 1);
    EXPECT_EQ(c.has_neighbour, best > 0);
  }
  if (c.has_neighbour && pocock && c.neighbour_constant >= 1.0) {
    EXPECT_EQ(c.neighbour_phi_star, 1.0);  // a level of 1 stops every trial at once
  } else if (c.has_neighbour) {
    // The next rule; for pocock, whose levels skip rules beyond the tails that reach PHI, a more aggressive
    // one.
    std::size_t j = 0;
    while (j < best && chain.steps[j].second != effective(d, shape_counts(d, c.neighbour_constant))) ++j;
    EXPECT_TRUE(j < best && (pocock || j + 1 == best)) << j << " " << best;
    if (j < best) {
      EXPECT_NEAR(c.neighbour_phi_star, p[j], 1e-12 * p[j]);
    }
  }
  return true;
}

TEST(Calibration, CalibrationFindsTheMostAggressiveRuleAtOrBelowPhiAmongAllTheShapeGives) {
  const ShapeKind W = ShapeKind::kWangTsiatis, B = ShapeKind::kBayes;
  const Shape shapes[] = {{ShapeKind::kPocock}, {ShapeKind::kObf}, {W, 0.25},          {W, 0.5},
                          {B, 0, 1, 1},         {B, 0, 0.5, 2},    {ShapeKind::kSprt}, {ShapeKind::kMaxSprt}};
  const Design schedules[] = {{8, 0, 0, {}, {}, 1},
                              {12, 0, 0, {}, {3, 6, 9, 12}, 1},
                              {10, 0, 0, {}, {4, 5, 6, 7, 8, 9, 10}, 1},
                              {12, 0, 0, {}, {5, 10, 12}, 1},
                              {7, 0, 0, {}, {7}, 1},
                              {9, 0, 0, {}, {}, 3}};
  int compared = 0, never_count = 0;
  for (const Shape &shape : shapes)
    for (double theta : {0.02, 0.1, 0.3, 0.5})
      for (Design d : schedules) {
        d.theta = theta;
        d.shape = shape;
        if (shape.kind == ShapeKind::kSprt) d.shape.p1 = theta + 0.25;
        const Chain chain(d);
        // Rules fall pointwise along the chain and P(stop) does not fall; the last rule never stops.
        for (std::size_t i = 1; i < chain.p.size(); ++i) {
          for (std::size_t j = 0; j < chain.steps[i].second.size(); ++j)
            ASSERT_LE(chain.steps[i - 1].second[j], chain.steps[i].second[j]) << describe(d);
          ASSERT_LE(chain.p[i], chain.p[i - 1] + 1e-15) << describe(d);
        }
        ASSERT_EQ(chain.p.back(), 0.0) << describe(d);
        // Two set levels of PHI and one below every rule that stops.
        for (double phi : {0.05, 0.2, chain.p[chain.p.size() - 2] / 2.0}) {
          bool never = false;
          compared += agrees_with_reference(chain, phi, &never);
          never_count += never;
        }
      }
  EXPECT_GT(compared, 560);
  EXPECT_GT(never_count, 150);
}

// Along the distinct rules of these shapes every step adds a stopping point some trial reaches, so
// neighbouring candidates with equal probabilities do not arise above; the bisection meets them here, on
// either side of PHI.
TEST(BisectCandidates, EndOfThePrefixAtOrBelowPhiWhateverTheTies) {
  const std::vector<std::vector<double>> sequences = {
      {0.1},
      {0.5},
      {0.1, 0.1, 0.1, 0.1},
      {0.1, 0.2, 0.2, 0.2, 0.2, 0.3, 0.3, 0.3},
      {0.2, 0.2, 0.2, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.7},
      {0, 0, 0.1, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.9, 0.9}};
  for (const std::vector<double> &p : sequences) {
    const int size = static_cast<int>(p.size());
    for (double phi : {0.05, 0.1, 0.2, 0.25, 0.29, 0.3, 0.5, 0.95}) {
      std::vector<int> order;
      const Bisection b = bisect_candidates(size, phi, [&](int k) {
        order.push_back(k);
        return p[static_cast<std::size_t>(k)];
      });
      int end = -1;
      while (end + 1 < size && p[static_cast<std::size_t>(end + 1)] <= phi) ++end;
      EXPECT_EQ(b.accepted, end) << phi;
      EXPECT_EQ(b.neighbour, end + 1 < size ? end + 1 : -1) << phi;
      EXPECT_EQ(b.p_accepted, end >= 0 ? p[static_cast<std::size_t>(end)] : 0.0);
      EXPECT_EQ(b.p_neighbour, end + 1 < size ? p[static_cast<std::size_t>(end + 1)] : 0.0);
      // The first, the last, then one evaluation per halving.
      ASSERT_GE(order.size(), 2u);
      EXPECT_EQ(order[0], 0);
      EXPECT_EQ(order[1], size - 1);
      EXPECT_LE(order.size(), 2 + std::bit_width(p.size()));
    }
  }
}

// ---- The Pocock boundary after every patient, simulated -------------------------------------------------

// The calibration design() must give: the bisection over the Pocock levels, each evaluated by
// characteristics() continuing `stream` (a level of 1 or more stops every trial, 0 or less none, without an
// evaluation), the row at theta that of the accepted evaluation.
Calibration replayed(const Design &d, const Method &method, RandomStream *stream) {
  const std::vector<double> levels = pocock_levels(BinomialTables(d.theta), d.K, d.phi);
  RunControl control;
  control.stream = stream;
  std::optional<OcRow> accepted;
  const Bisection b = bisect_candidates(static_cast<int>(levels.size()), d.phi, [&](int k) {
    const double level = levels[static_cast<std::size_t>(k)];
    if (level >= 1.0 || level <= 0.0) return level >= 1.0 ? 1.0 : 0.0;
    const OcRow row =
        characteristics(Rule{d.K, design_looks(d), shape_counts(d, level)}, {d.theta}, method, control)[0];
    if (row.p_stop <= d.phi) accepted = row;
    return row.p_stop;
  });
  Calibration c;
  c.candidates = static_cast<int>(levels.size());
  c.never_stops = b.accepted < 0 || levels[static_cast<std::size_t>(b.accepted)] <= 0.0;
  c.constant = c.never_stops ? 0.0 : levels[static_cast<std::size_t>(b.accepted)];
  c.phi_star = c.never_stops ? 0.0 : b.p_accepted;
  c.has_neighbour = b.neighbour >= 0;
  if (c.has_neighbour) {
    c.neighbour_constant = levels[static_cast<std::size_t>(b.neighbour)];
    c.neighbour_phi_star = b.p_neighbour;
  }
  c.rule = Rule{d.K, design_looks(d), shape_counts(d, c.constant)};
  if (!c.never_stops) c.at_theta = accepted;
  return c;
}

// Checks that two calibrations agree in every field, bit for bit.
void expect_same_calibration(const Calibration &a, const Calibration &b) {
  EXPECT_EQ(a.rule.K, b.rule.K);
  EXPECT_EQ(a.rule.looks, b.rule.looks);
  EXPECT_EQ(a.rule.counts, b.rule.counts);
  EXPECT_EQ(a.constant, b.constant);
  EXPECT_EQ(a.phi_star, b.phi_star);
  EXPECT_EQ(a.never_stops, b.never_stops);
  EXPECT_EQ(a.has_neighbour, b.has_neighbour);
  EXPECT_EQ(a.neighbour_constant, b.neighbour_constant);
  EXPECT_EQ(a.neighbour_phi_star, b.neighbour_phi_star);
  EXPECT_EQ(a.candidates, b.candidates);
  ASSERT_EQ(a.at_theta.has_value(), b.at_theta.has_value());
  if (a.at_theta) expect_same_row(*a.at_theta, *b.at_theta);
}

struct SimulatedCase {
  std::string name;
  int K;
  double theta, phi;
  bool plain;  // also with the plain simulation, which must give the same figures
};

void PrintTo(const SimulatedCase &c, std::ostream *os) { *os << c.name; }

class SimulatedDefaultDesign : public testing::TestWithParam<SimulatedCase> {};

TEST_P(SimulatedDefaultDesign, DrawsAsTheBisectionOverEveryPocockLevelOnOneStream) {
  const SimulatedCase &t = GetParam();
  const Design d{t.K, t.theta, t.phi, {}, {}, 1};
  const Method simulation{MethodKind::kSimulation, 2718, -1};
  const Calibration c = design(d, simulation);

  // From the method's seed as from a stream given seeded with it, drawing as the replay draws.
  RandomStream given(2718), replay_stream(2718);
  RunControl control;
  control.stream = &given;
  expect_same_calibration(design(d, simulation, control), c);
  expect_same_calibration(replayed(d, simulation, &replay_stream), c);
  EXPECT_EQ(given.drawn(), replay_stream.drawn());
  EXPECT_GT(given.drawn(), 0);
  EXPECT_EQ(given.RanUni(), replay_stream.RanUni());
  if (t.plain) expect_same_calibration(design(d, Method{MethodKind::kPlainSimulation, 2718, 0}), c);

  // The estimates against the exact probabilities of the same rules, within five standard errors.
  ASSERT_FALSE(c.never_stops);
  EXPECT_LE(c.phi_star, t.phi);
  const double exact = characteristics(c.rule, {t.theta})[0].p_stop;
  EXPECT_NEAR(c.phi_star, exact, 5.0 * std::sqrt(exact * (1.0 - exact) / kSimulatedTrials) + 1e-12);
  EXPECT_EQ(c.at_theta->se_p_stop, std::sqrt(c.phi_star * (1.0 - c.phi_star) / kSimulatedTrials));

  // The rule's figures at other rates: NaN standard errors when exact; simulated ones near the exact.
  for (double rate : {t.theta / 2, t.theta, (1 + t.theta) / 2}) {
    SCOPED_TRACE(rate);
    const OcRow e = characteristics(c.rule, {rate})[0];
    const OcRow s = characteristics(c.rule, {rate}, simulation)[0];
    EXPECT_TRUE(std::isnan(e.se_p_stop) && std::isnan(e.se_mean_n));
    EXPECT_EQ(s.se_mean_n, s.sd_n / 1000.0);
    EXPECT_NEAR(s.p_stop, e.p_stop, 5.0 * std::sqrt(e.p_stop * (1.0 - e.p_stop) / kSimulatedTrials) + 1e-12);
    EXPECT_NEAR(s.mean_n, e.mean_n, 5.0 * e.sd_n / 1000.0 + 1e-12);
  }
}

INSTANTIATE_TEST_SUITE_P(Designs, SimulatedDefaultDesign,
                         testing::Values(SimulatedCase{"K3", 3, 0.5, 0.3, true},
                                         SimulatedCase{"K6", 6, 0.3, 0.1, true},
                                         SimulatedCase{"K20", 20, 0.1, 0.1, false},
                                         SimulatedCase{"K12LowPhi", 12, 0.4, 0.01, false}),
                         case_name<SimulatedCase>);

TEST(Calibration, ATailEqualToPhiEndsItsLooksLevels) {
  // K = 1, THETA = PHI = 0.5: the tail 0.5 ends the collection, so the level is 0.5 itself; collecting past
  // it would give the midpoint 0.75 of the same rule.
  const Calibration c = design(Design{1, 0.5, 0.5, {}, {}, 1});
  EXPECT_EQ(c.constant, 0.5);
  EXPECT_EQ(c.phi_star, 0.5);
  EXPECT_EQ(c.rule.counts, std::vector<int>{1});
  EXPECT_EQ(c.candidates, 1);
  EXPECT_FALSE(c.has_neighbour);
}

TEST(Characteristics, RuleAtSomeLooksAgreesWithEveryOutcomeSequence) {
  // The count at look 3 is below the one at look 2, and the one at look 5 cannot be reached.
  const Rule rule{6, {2, 3, 5, 6}, {2, 1, 7, 3}};
  long double p_stop = 0, before_last = 0, m[3] = {0, 0, 0}, q[3] = {0, 0, 0};
  enumerate(rule, 0.27, [&](int n, int y, bool stopped, long double w) {
    p_stop += stopped ? w : 0;
    before_last += stopped && n < rule.K ? w : 0;
    const long double x[3] = {1.0L * n, 1.0L * y, 1.0L * y / n};
    for (int i = 0; i < 3; ++i) m[i] += w * x[i], q[i] += w * x[i] * x[i];
  });
  const OcRow row = characteristics(rule, {0.27}, Method{MethodKind::kExact})[0];
  EXPECT_EQ(row.rate, 0.27);
  EXPECT_NEAR(row.p_stop, static_cast<double>(p_stop), 1e-14);
  EXPECT_NEAR(row.p_stop_before_last, static_cast<double>(before_last), 1e-14);
  const double got[][2] = {
      {row.mean_n, row.sd_n}, {row.mean_y, row.sd_y}, {row.mean_proportion, row.sd_proportion}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(got[i][0], static_cast<double>(m[i]), 1e-13);
    EXPECT_NEAR(got[i][1], static_cast<double>(std::sqrt(q[i] - m[i] * m[i])), 1e-9);
  }
}

// The field an Error names, or "" when call does not throw one.
template <class Call>
std::string error_field(Call call) {
  try {
    call();
  } catch (const Error &e) {
    return e.field();
  }
  return "";
}

TEST(Calibration, RefusesWhatItCannotComputeNamingTheField) {
  const struct {
    Design design;
    const char *field;
  } designs[] = {
      {{5, 1.0, 0.1, {}, {}, 1}, "theta"},
      {{256, 0.3, 0.1, {}, {}, 1}, "K"},
      {{6, 0.3, 0.0, {}, {}, 1}, "phi"},
      {{6, 0.3, 0.1, {ShapeKind::kSprt, 0, 0, 0, 0.2}, {}, 1}, "shape"},  // P1 below theta
      {{6, 0.3, 0.1, {}, {}, 7}, "min_events"},
      {{6, 0.3, 0.1, {}, {2, 4}, 1}, "looks"},
      {{6, 0.3, 0.1, {}, {3, 3, 6}, 1}, "looks"},
      {{6, 0.3, 0.1, {}, {0, 6}, 1}, "looks"},
      {{6, 0.3, 0.1, {}, {4, 7}, 1}, "looks"},
  };
  for (const auto &t : designs) {
    EXPECT_EQ(error_field([&] { design(t.design); }), t.field);
    if (std::string(t.field) == "looks") {
      EXPECT_TRUE(shape_counts(t.design, 0.1).empty());
    }
  }
  const Rule rule{3, {3}, {2}};
  EXPECT_EQ(error_field([&] { characteristics(Rule{3, {3}, {0}}, {0.5}); }), "rule");
  EXPECT_EQ(error_field([&] { characteristics(Rule{3, {2}, {1}}, {0.5}); }), "rule");
  EXPECT_EQ(error_field([&] { characteristics(rule, {0.5, 1.0}); }), "rates");
  EXPECT_EQ(error_field([&] { characteristics(rule, {std::nan("")}); }), "rates");
}

}  // namespace
