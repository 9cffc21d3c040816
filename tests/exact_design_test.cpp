// The Pocock boundary after every patient designed exactly: the bisection
// against an exhaustive scan of the candidate levels, figures worked by hand,
// and a whole exact run that draws no deviate from the stream it is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "contmon/design.h"
#include "core/binomial.h"
#include "core/crossing.h"
#include "tests/hand_trees.h"
#include "tests/pocock_levels.h"

namespace {

using namespace contmon;

const Method kExact{MethodKind::kExact};

// The Pocock boundary after every patient for K, THETA and PHI.
Design pocock(int K, double theta, double phi) { return Design{K, theta, phi, {}, {}, 1}; }

// The rule of a level in (0, 1): at every patient n the smallest count whose tail is at most the level, n + 1
// when none is.
Rule level_rule(const BinomialTables &tables, int K, double level) {
  Rule rule{K, {}, {}};
  for (int n = 1; n <= K; ++n) {
    int count = 0;
    while (count <= n && tables.surv(n, count) > level) ++count;
    rule.looks.push_back(n);
    rule.counts.push_back(count);
  }
  return rule;
}

// Every candidate level with its exact probability of stopping at THETA.
struct ScoredCandidates {
  std::vector<double> level, p;
  std::vector<Rule> rule;
};

ScoredCandidates score_every_candidate(int K, double theta, double phi) {
  const BinomialTables tables(theta);
  ScoredCandidates c;
  c.level = pocock_levels(tables, K, phi);
  for (double level : c.level) {
    // A level of 1 or more stops every trial at the first patient; one of 0 or less never stops.
    if (level >= 1.0 || level <= 0.0) {
      c.rule.push_back(Rule{K, {}, {}});
      c.p.push_back(level >= 1.0 ? 1.0 : 0.0);
      continue;
    }
    c.rule.push_back(level_rule(tables, K, level));
    const std::vector<int> upper = stage_boundary(c.rule.back());
    RuleOutcome out;
    EXPECT_EQ(rule_crossing(Engine::kExact, &out, theta, K, upper.data()), 0);
    c.p.push_back(out.p_stop);
  }
  return c;
}

// Checks the exact design for K, THETA and PHI against trying every candidate: the last one whose probability
// is at most PHI, and the one after it as the neighbour. Returns the candidates' probabilities, which must
// not decrease along the list for the bisection to be right.
std::vector<double> expect_design_matches_scan(int K, double theta, double phi) {
  SCOPED_TRACE("K = " + std::to_string(K) + ", THETA = " + std::to_string(theta) +
               ", PHI = " + std::to_string(phi));
  const ScoredCandidates c = score_every_candidate(K, theta, phi);
  for (std::size_t i = 1; i < c.p.size(); ++i)
    EXPECT_LE(c.p[i - 1], c.p[i]) << "candidates " << i - 1 << " and " << i;
  const int n = static_cast<int>(c.level.size());
  int best = -1;
  for (int i = 0; i < n; ++i)
    if (c.p[static_cast<std::size_t>(i)] <= phi) best = i;

  const Calibration found = design(pocock(K, theta, phi), kExact);
  EXPECT_EQ(found.candidates, n);
  const std::size_t b = static_cast<std::size_t>(best);
  if (best < 0) {
    EXPECT_TRUE(found.never_stops);
    EXPECT_EQ(found.phi_star, 0.0);
    EXPECT_EQ(found.rule.counts, std::vector<int>(static_cast<std::size_t>(K), K + 1));
    EXPECT_FALSE(found.at_theta.has_value());
  } else {
    EXPECT_FALSE(found.never_stops);
    EXPECT_EQ(found.constant, c.level[b]);
    EXPECT_EQ(found.phi_star, c.p[b]);
    EXPECT_EQ(found.rule.looks, c.rule[b].looks);
    EXPECT_EQ(found.rule.counts, c.rule[b].counts);
    EXPECT_LE(found.phi_star, phi);
    EXPECT_TRUE(found.at_theta.has_value() && found.at_theta->p_stop == c.p[b]);
  }
  EXPECT_EQ(found.has_neighbour, best + 1 < n);
  if (best + 1 < n) {
    EXPECT_EQ(found.neighbour_constant, c.level[b + 1]);
    EXPECT_EQ(found.neighbour_phi_star, c.p[b + 1]);
    EXPECT_GT(found.neighbour_phi_star, phi);
  }
  return c.p;
}

TEST(ExactDesign, FindsTheLargestAcceptableCandidateOnSmallCases) {
  for (int K = 1; K <= 12; ++K) {
    for (double theta : {0.05, 0.2, 0.3, 0.5, 0.77}) {
      std::set<double> checked;  // each PHI once: the ties of one PHI recur among those of the others
      for (double phi : {0.01, 0.05, 0.1, 0.2, 0.35, 0.5, 0.8, 0.95}) {
        if (!checked.insert(phi).second) continue;
        const std::vector<double> p = expect_design_matches_scan(K, theta, phi);
        // PHI equal to a candidate's probability: equality is acceptable, so the design must end on the
        // last candidate with that probability.
        for (double tie : p)
          if (tie > 0.0 && tie < 1.0 && checked.insert(tie).second) expect_design_matches_scan(K, theta, tie);
      }
    }
  }
}

TEST(ExactDesign, FindsTheLargestAcceptableCandidateOnLongTrials) {
  // Scoring every candidate costs about K^2 / 2 per candidate, and the lists grow to thousands of levels;
  // these cases are kept small enough for the sanitizer build.
  for (double theta : {0.1, 0.3, 0.6}) {
    for (double phi : {0.05, 0.3}) expect_design_matches_scan(40, theta, phi);  // 195 to 716 candidates
  }
  expect_design_matches_scan(100, 0.6, 0.05);  // 1,488 candidates
}

// ---- No deviate drawn ----------------------------------------------------------------------------------

TEST(ExactDesign, AWholeRunDrawsNoDeviate) {
  // The design, then every default row, as the dialogue does them, continuing one stream.
  for (auto [K, theta, phi] : {std::tuple{10, 0.3, 0.05}, {1, 0.5, 0.9}, {255, 0.123, 0.2}}) {
    SCOPED_TRACE(std::to_string(K) + " " + std::to_string(theta) + " " + std::to_string(phi));
    RandomStream stream(5);
    const RandomStream fresh = stream;
    RunControl control;
    control.stream = &stream;
    const Calibration c = design(pocock(K, theta, phi), kExact, control);
    const std::vector<OcRow> rows = characteristics(c.rule, default_rates(theta), kExact, control);
    EXPECT_FALSE(rows.empty());
    EXPECT_EQ(stream.drawn(), 0);
    RandomStream unused = fresh;
    EXPECT_EQ(stream.RanUni(), unused.RanUni());
  }
}

// ---- Figures worked by hand ----------------------------------------------------------------------------

void expect_row_is(const OcRow &row, const HandFigures &h) {
  EXPECT_NEAR(row.p_stop, h.phi_star, 1e-15);
  EXPECT_NEAR(row.mean_y, h.mean_y, 1e-14);
  EXPECT_NEAR(row.sd_y, h.sd_y, 1e-13);
  EXPECT_NEAR(row.mean_n, h.mean_n, 1e-14);
  EXPECT_NEAR(row.sd_n, h.sd_n, 1e-6);  // the square root of a variance near 1e-16 when it is 0
  EXPECT_NEAR(row.mean_proportion, h.mean_yn, 1e-15);
  EXPECT_NEAR(row.sd_proportion, h.sd_yn, 1e-13);
  EXPECT_TRUE(std::isnan(row.se_p_stop) && std::isnan(row.se_mean_n));
}

TEST(ExactByHand, SingleStageBoundaryOneStopsWithProbabilityTheta) {
  const Calibration c = design(pocock(1, 0.5, 0.9), kExact);  // candidates 0.75 (count 1) and 1.0
  EXPECT_EQ(c.candidates, 2);
  EXPECT_EQ(c.rule.counts, std::vector<int>{1});
  EXPECT_EQ(c.phi_star, 0.5);
  EXPECT_EQ(c.constant, 0.75);
  EXPECT_TRUE(c.has_neighbour);
  EXPECT_EQ(c.neighbour_phi_star, 1.0);
  const std::vector<double> rates = {0.5, 0.05, 0.3, 0.95};
  const std::vector<OcRow> rows = characteristics(c.rule, rates, kExact);
  ASSERT_EQ(rows.size(), rates.size());
  for (std::size_t i = 0; i < rates.size(); ++i) {
    SCOPED_TRACE(rates[i]);
    EXPECT_EQ(rows[i].rate, rates[i]);
    EXPECT_EQ(rows[i].p_stop, rates[i]);
    EXPECT_EQ(rows[i].p_stop_before_last, 0.0);
    EXPECT_EQ(rows[i].mean_n, 1.0);
    EXPECT_EQ(rows[i].sd_n, 0.0);
    expect_row_is(rows[i], single_stage_figures(rates[i]));
  }
}

TEST(ExactByHand, UnreachableBoundaryEndsWithBinomialCounts) {
  for (int K : {2, 17, kMaxStages}) {
    for (double theta : {0.5, 0.3}) {
      SCOPED_TRACE("K = " + std::to_string(K) + ", THETA = " + std::to_string(theta));
      Rule rule{K, {}, {}};
      std::vector<int> upper(static_cast<std::size_t>(K) + 1);
      for (int n = 1; n <= K; ++n) {
        rule.looks.push_back(n);
        rule.counts.push_back(n + 1);
        upper[static_cast<std::size_t>(n)] = n + 1;
      }
      // Nobody stops, so the counts at the end are Binomial(K, THETA), as the binomial tables give them.
      RuleOutcome out;
      ASSERT_EQ(rule_crossing(Engine::kExact, &out, theta, K, upper.data()), 0);
      EXPECT_EQ(out.p_stop, 0.0);
      EXPECT_EQ(out.stop_prob, std::vector<double>(static_cast<std::size_t>(K) + 1, 0.0));
      const BinomialTables tables(theta);
      for (int y = 0; y <= K; ++y)
        EXPECT_NEAR(out.end_prob[static_cast<std::size_t>(y)], tables.prob(K, y), 1e-12 * tables.prob(K, y))
            << y;

      const OcRow row = characteristics(rule, {theta}, kExact)[0];
      EXPECT_EQ(row.p_stop, 0.0);
      EXPECT_DOUBLE_EQ(row.mean_n, K);
      EXPECT_NEAR(row.sd_n, 0.0, 1e-6);
      EXPECT_NEAR(row.mean_y, K * theta, 1e-12 * K);
      EXPECT_NEAR(row.sd_y, std::sqrt(K * theta * (1 - theta)), 1e-12 * K);
      EXPECT_NEAR(row.mean_proportion, theta, 1e-14);
      EXPECT_NEAR(row.sd_proportion, std::sqrt(theta * (1 - theta) / K), 1e-12);
    }
  }
  const Rule unreachable{2, {1, 2}, {2, 3}};
  for (double p : {0.5, 0.1, 0.85}) {
    SCOPED_TRACE(p);
    expect_row_is(characteristics(unreachable, {p}, kExact)[0], unreachable_two_stage_figures(p));
  }
}

TEST(ExactByHand, FourStageBoundaryAgainstItsTree) {
  const Calibration c = design(pocock(4, 0.2, 0.1), kExact);
  EXPECT_EQ(c.rule.looks, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(c.rule.counts, std::vector<int>(kFourStageBoundary.begin() + 1, kFourStageBoundary.end()));
  EXPECT_NEAR(c.phi_star, 0.0528, 1e-15);  // 0.2^2 + 2 0.2^3 0.8
  ASSERT_TRUE(c.at_theta.has_value());
  expect_row_is(*c.at_theta, four_stage_figures(0.2));
  for (double p : {0.2, 0.25, 0.5, 0.65, 0.95}) {
    SCOPED_TRACE(p);
    const OcRow row = characteristics(c.rule, {p}, kExact)[0];
    expect_row_is(row, four_stage_figures(p));
    EXPECT_NEAR(row.p_stop_before_last, p * p, 1e-15);  // only stage 2 stops before the last
  }
}

}  // namespace
