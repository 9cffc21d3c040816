// The calibration against a slow reference that finds every distinct rule a
// shape gives and the probability of each by enumerating all outcome
// sequences; and, for the original design, against the original search in
// both engines.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "bndry/bndry.h"
#include "design/design_internal.h"
#include "ranuni/ranuni.h"

namespace {

// Counts above the look read as the look plus one: what the trial sees.
std::vector<int> effective(const Design &d, const std::vector<int> &counts) {
  const std::vector<int> looks = design_looks(d);
  std::vector<int> e(counts.size());
  for (std::size_t i = 0; i < counts.size(); ++i) e[i] = std::min(counts[i], looks[i] + 1);
  return e;
}

// P(stop) of the counts at the design's looks, summed over all 2^K sequences of outcomes.
double enumerated_p_stop(const Design &d, const std::vector<int> &counts) {
  std::vector<int> need(d.K + 1, d.K + 1);
  const std::vector<int> looks = design_looks(d);
  for (std::size_t i = 0; i < looks.size(); ++i) need[looks[i]] = counts[i];
  std::vector<long double> weight;  // of one sequence, by its number of events
  for (int events = 0; events <= d.K; ++events)
    weight.push_back(std::pow(static_cast<long double>(d.theta), events) *
                     std::pow(1.0L - d.theta, d.K - events));
  long double total = 0.0L;
  for (unsigned mask = 0; mask < (1u << d.K); ++mask) {
    int y = 0;
    bool stops = false;
    for (int k = 1; k <= d.K && !stops; ++k) {
      y += (mask >> (k - 1)) & 1u;
      stops = y >= need[k];
    }
    if (stops) total += weight[static_cast<std::size_t>(__builtin_popcount(mask))];
  }
  return static_cast<double>(total);
}

// Every distinct effective rule, from most to least aggressive, found by splitting the range of the key
// (c, or minus the level) wherever the rules at the two ends differ, down to neighbouring doubles.
struct Step {
  double key;
  std::vector<int> rule;
};

class RuleChain {
 public:
  explicit RuleChain(const Design &d) : design_(d), table_(d), pocock_(d.shape.kind == ShapeKind::kPocock) {
    const double lo = pocock_ ? -1.0 : -1e4, hi = pocock_ ? 0.0 : 1e4;
    const Step first{lo, rule(lo)}, last{hi, rule(hi)};
    steps.push_back(first);
    split(first, last);
    steps.push_back(last);
    std::vector<Step> distinct;
    for (const Step &s : steps)
      if (distinct.empty() || distinct.back().rule != s.rule) distinct.push_back(s);
    steps = distinct;
  }

  double constant(double key) const { return pocock_ ? -key : key; }
  std::vector<Step> steps;

 private:
  std::vector<int> rule(double key) const { return effective(design_, table_.counts(constant(key))); }

  void split(const Step &a, const Step &b) {
    if (a.rule == b.rule) return;
    const double mid = a.key + (b.key - a.key) / 2.0;
    if (mid <= a.key || mid >= b.key) return;
    const Step m{mid, rule(mid)};
    split(a, m);
    steps.push_back(m);
    split(m, b);
  }

  Design design_;
  ShapeTable table_;
  bool pocock_;
};

std::string describe(const Design &d) {
  std::ostringstream s;
  s << shape_spec(d.shape) << " K=" << d.K << " theta=" << d.theta << " PHI=" << d.phi << " looks=";
  for (int n : d.looks) s << n << ",";
  s << " min_events=" << d.min_events;
  return s.str();
}

class CalibrationTest : public testing::Test {
 protected:
  void SetUp() override { SetCrossingEngine(CrossingEngine::kExact); }
};

// What the reference makes of one PHI, given the chain and its probabilities.
struct Verdict {
  bool compared = false;
  bool never = false;  // no stopping rule is acceptable
};

Verdict compare_with_reference(Design d, double phi, const std::vector<Step> &steps,
                               const std::vector<double> &p) {
  d.phi = phi;
  SCOPED_TRACE(describe(d));
  Verdict v;
  std::size_t best = 0;
  while (p[best] > phi) ++best;
  // Too near PHI for the engine's rounding to settle the comparison: no verdict.
  if (std::fabs(p[best] - phi) < 1e-12 * phi || (best > 0 && std::fabs(p[best - 1] - phi) < 1e-12 * phi))
    return v;
  v.compared = true;
  v.never = best + 1 == steps.size();

  Calibration c;
  EXPECT_EQ(calibrate(d, &c), 0);
  EXPECT_EQ(effective(d, c.rule.counts), steps[best].rule);
  EXPECT_EQ(effective(d, shape_counts(d, c.constant)), steps[best].rule);
  EXPECT_NEAR(c.phi_star, p[best], 1e-12 * p[best]);
  EXPECT_EQ(c.never_stops, v.never);
  if (d.shape.kind != ShapeKind::kPocock) {
    // Every rule but the one that never stops is a candidate.
    EXPECT_EQ(c.candidates, static_cast<int>(steps.size()) - 1);
    EXPECT_EQ(c.has_neighbour, best > 0);
  }
  if (c.has_neighbour) {
    // The next rule of the chain; for pocock, whose levels skip the rules beyond the tails that reach PHI, a
    // more aggressive rule.
    std::size_t j = 0;
    const std::vector<int> neighbour = effective(d, shape_counts(d, c.neighbour_constant));
    while (j < steps.size() && steps[j].rule != neighbour) ++j;
    EXPECT_LT(j, best);
    if (d.shape.kind != ShapeKind::kPocock) {
      EXPECT_EQ(j + 1, best);
    }
    if (j < best) {
      EXPECT_NEAR(c.neighbour_phi_star, p[j], 1e-12 * p[j]);
    }
  }
  return v;
}

TEST_F(CalibrationTest, FindsTheMostAggressiveRuleAtOrBelowPhiAmongAllTheShapeGives) {
  auto shape = [](ShapeKind kind, double x = 0.0, double y = 0.0) {
    Shape s;
    s.kind = kind;
    s.delta = kind == ShapeKind::kWangTsiatis ? x : 0.0;
    s.prior_a = kind == ShapeKind::kBayes ? x : 0.0;
    s.prior_b = kind == ShapeKind::kBayes ? y : 0.0;
    return s;
  };
  const Shape shapes[] = {shape(ShapeKind::kPocock),
                          shape(ShapeKind::kObf),
                          shape(ShapeKind::kWangTsiatis, 0.25),
                          shape(ShapeKind::kWangTsiatis, 0.5),
                          shape(ShapeKind::kBayes, 1.0, 1.0),
                          shape(ShapeKind::kBayes, 0.5, 2.0),
                          shape(ShapeKind::kSprt),
                          shape(ShapeKind::kMaxSprt)};
  const struct {
    int K;
    std::vector<int> looks;
    int min_events;
  } schedules[] = {
      {8, {}, 1}, {12, {3, 6, 9, 12}, 1}, {10, {4, 5, 6, 7, 8, 9, 10}, 1}, {12, {5, 10, 12}, 1}, {7, {7}, 1},
      {9, {}, 3}};
  int compared = 0, never = 0;
  for (const Shape &base : shapes) {
    for (double theta : {0.02, 0.1, 0.3, 0.5}) {
      for (const auto &schedule : schedules) {
        Design d{schedule.K, theta, 0.0, base, schedule.looks, schedule.min_events};
        if (d.shape.kind == ShapeKind::kSprt) d.shape.p1 = theta + 0.25;
        SCOPED_TRACE(describe(d));
        const RuleChain chain(d);
        const std::vector<Step> &steps = chain.steps;
        // Rules fall pointwise from one to the next, and so does the probability of stopping.
        std::vector<double> p;
        for (std::size_t i = 0; i < steps.size(); ++i) {
          p.push_back(enumerated_p_stop(d, steps[i].rule));
          if (i == 0) continue;
          for (std::size_t j = 0; j < steps[i].rule.size(); ++j)
            ASSERT_LE(steps[i - 1].rule[j], steps[i].rule[j]);
          ASSERT_LE(p[i], p[i - 1] + 1e-15);
        }
        ASSERT_GE(steps.size(), 2u);
        ASSERT_EQ(p.back(), 0.0);
        // Two set levels of PHI, and one below every rule that stops.
        for (double phi : {0.05, 0.2, p[steps.size() - 2] / 2.0}) {
          const Verdict v = compare_with_reference(d, phi, steps, p);
          compared += v.compared;
          never += v.never;
        }
      }
    }
  }
  EXPECT_GT(compared, 560);
  EXPECT_GT(never, 150) << "too few cases where no stopping rule is acceptable";
}

// Along the distinct rules of these shapes every step adds a stopping point some trial reaches, so equal
// probabilities of neighbouring candidates do not arise above; the bisection meets them here, in sequences
// with runs of equal values on both sides of PHI, against a scan for the end of the prefix at or below PHI.
TEST(BisectCandidates, EndOfThePrefixAtOrBelowPhiWhateverTheTies) {
  const std::vector<std::vector<double>> sequences = {
      {0.1},
      {0.5},
      {0.1, 0.1, 0.1, 0.1},
      {0.1, 0.2, 0.2, 0.2, 0.2, 0.3, 0.3, 0.3},
      {0.2, 0.2, 0.2, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.7},
      {0.0, 0.0, 0.1, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.9, 0.9}};
  for (const std::vector<double> &p : sequences) {
    for (double phi : {0.05, 0.1, 0.2, 0.25, 0.29, 0.3, 0.5, 0.95}) {
      std::vector<int> order;
      auto evaluate = [&](int k, double *value) {
        order.push_back(k);
        *value = p[static_cast<std::size_t>(k)];
        return 0;
      };
      Bisection b;
      ASSERT_EQ(bisect_candidates(static_cast<int>(p.size()), phi, evaluate, &b), 0);
      int end = -1;
      while (end + 1 < static_cast<int>(p.size()) && p[static_cast<std::size_t>(end + 1)] <= phi) ++end;
      SCOPED_TRACE("phi " + std::to_string(phi) + " of " + std::to_string(p.size()));
      EXPECT_EQ(b.accepted, end);
      EXPECT_EQ(b.neighbour, end + 1 < static_cast<int>(p.size()) ? end + 1 : -1);
      if (end >= 0) {
        EXPECT_EQ(b.p_accepted, p[static_cast<std::size_t>(end)]);
      }
      if (b.neighbour >= 0) {
        EXPECT_EQ(b.p_neighbour, p[static_cast<std::size_t>(b.neighbour)]);
      }
      // The first, the last, then at most one evaluation per halving.
      ASSERT_GE(order.size(), 2u);
      EXPECT_EQ(order[0], 0);
      EXPECT_EQ(order[1], static_cast<int>(p.size()) - 1);
      EXPECT_LE(order.size(), 2 + std::bit_width(p.size()));
    }
  }
  // A failure stops the search with its code.
  Bisection b;
  b.accepted = 99;
  EXPECT_EQ(bisect_candidates(
                5, 0.5,
                [](int k, double *p) {
                  *p = 0.1 * k;
                  return k == 4 ? 3 : 0;
                },
                &b),
            3);
  EXPECT_EQ(b.accepted, 99);
}

// ---- The original design against the original search -------------------------------

struct Original {
  int code = -1;
  std::vector<int> b;
  double alpha[2] = {-7.0, -7.0};
  double phi_star = -7.0;
  long long drawn = -1;
};

Original original_search(int K, double theta, double phi) {
  Original o;
  o.b.assign(K + 1, -7);
  RanStart(2718);
  o.code = FindBndry(o.b.data(), o.alpha, &o.phi_star, K, theta, phi);
  o.drawn = RanUniDrawn();
  o.b.erase(o.b.begin());
  for (int k = 1; k <= K; ++k) o.b[k - 1] = std::min(std::max(o.b[k - 1], 1), k + 1);
  return o;
}

void expect_same_as_original(int K, double theta, double phi) {
  SCOPED_TRACE("K=" + std::to_string(K) + " theta=" + std::to_string(theta) + " PHI=" + std::to_string(phi));
  const Original o = original_search(K, theta, phi);
  ASSERT_EQ(o.code, 0);
  Design d;
  d.K = K;
  d.theta = theta;
  d.phi = phi;
  Calibration c;
  RanStart(2718);
  ASSERT_EQ(calibrate(d, &c), 0);
  EXPECT_EQ(RanUniDrawn(), o.drawn);
  EXPECT_EQ(effective(d, c.rule.counts), o.b);
  EXPECT_EQ(c.constant, o.alpha[0]);
  EXPECT_EQ(c.phi_star, o.phi_star);
  EXPECT_EQ(c.never_stops, o.alpha[0] == 0.0);
  if (c.has_neighbour && !c.never_stops) {
    EXPECT_EQ(c.neighbour_constant, o.alpha[1]);
  }
}

TEST_F(CalibrationTest, OriginalDesignGivesTheOriginalSearchsRuleLevelAndPhiStarExactly) {
  expect_same_as_original(10, 0.3, 0.05);
  expect_same_as_original(20, 0.1, 0.1);
  expect_same_as_original(40, 0.25, 0.2);
  expect_same_as_original(2, 0.5, 0.45);
  expect_same_as_original(2, 0.5, 0.2);  // no level acceptable
  expect_same_as_original(12, 0.4, 0.01);
  expect_same_as_original(60, 0.05, 0.02);
  expect_same_as_original(5, 0.9, 0.5);
  expect_same_as_original(1, 0.5, 0.9);
  expect_same_as_original(255, 0.123, 0.2);
}

TEST_F(CalibrationTest, OriginalDesignWithTheSimulationDrawsAsTheOriginalSearchDoes) {
  SetCrossingEngine(CrossingEngine::kSimulation);
  expect_same_as_original(3, 0.5, 0.3);
  expect_same_as_original(6, 0.3, 0.1);
}

TEST_F(CalibrationTest, ATailEqualToPhiEndsItsLooksLevels) {
  // K = 1, THETA = PHI = 0.5: the tail 0.5 ends the collection, so the level is 0.5 itself; collecting past
  // it would give the midpoint 0.75 of the same rule.
  Design d;
  d.K = 1;
  d.theta = 0.5;
  d.phi = 0.5;
  Calibration c;
  ASSERT_EQ(calibrate(d, &c), 0);
  EXPECT_EQ(c.constant, 0.5);
  EXPECT_EQ(c.phi_star, 0.5);
  EXPECT_EQ(c.rule.counts, std::vector<int>{1});
  EXPECT_EQ(c.candidates, 1);
  expect_same_as_original(1, 0.5, 0.5);
}

TEST_F(CalibrationTest, RejectsWhatTheEngineRejects) {
  Calibration c;
  c.constant = -7.0;
  Design d;
  d.K = 5;
  d.theta = 1.0;
  d.phi = 0.1;
  EXPECT_EQ(calibrate(d, &c), 1);
  d.theta = 0.3;
  d.K = 256;
  EXPECT_EQ(calibrate(d, &c), 2);
  EXPECT_EQ(c.constant, -7.0);
}

}  // namespace
