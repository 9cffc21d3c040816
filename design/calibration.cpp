// Calibration of a design: the constant whose rule stops most often at theta
// while its probability of stopping there stays at or below PHI, found by
// bisection over every distinct rule the shape can give.
//
// Why bisection finds it. Order the candidates from least to most aggressive:
// increasing level for pocock, decreasing c for the other shapes. At every look
// the count is a non-decreasing function of c (a non-increasing one of the
// level), so along the candidates every count only falls or stays. A sequence
// of outcomes that stops under a rule, at the first look where its count
// reaches that look's count, still reaches the count there under a rule that is
// pointwise lower, so it stops under that rule too, at the same look or an
// earlier one. The set of stopping sequences only grows along the candidates,
// and P(stop) = the probability of that set cannot decrease. The candidates
// whose probability is at most PHI are therefore a prefix of the list, and the
// bisection, which keeps P(lo) <= PHI < P(hi), ends with lo the last element of
// that prefix. Neighbouring candidates with equal probabilities (one rule
// twice, or a count that falls where no running trial can meet it) lie both
// inside or both outside the prefix, so they cannot move its end, and the end
// is the most aggressive candidate with P <= PHI either way.
//
// The candidates are exhaustive: at each look the effective count (raised to
// M = max(1, min_events), a count above the look read as the look plus one) is
// at least y > M exactly when the key (c, or minus the level) exceeds a
// threshold (ShapeTable::thresholds), so between two neighbouring distinct
// thresholds the rule is one and the same, and on crossing one it changes.
// For pocock the levels are those of the Pocock search after every patient,
// restricted to the looks: midpoints of the upper tails that matter below PHI. A level beyond the
// list gives its last rule or passes, at some look, the tail of a count of at
// least M that exceeds PHI, and so stops more often than PHI. As there, a level
// of 1 or more stops every trial at once (P = 1) and one of 0 or less never
// stops (P = 0), without an evaluation. Two neighbouring levels can give one
// rule (a midpoint rounded onto a tail; for other designs, tails below the
// minimum count); for the default design (Pocock after every patient) the
// list is kept whole, because the bisection's path, and so the deviates a
// simulation draws, depend on it.
#include <algorithm>
#include <cmath>
#include <functional>

#include "design/design_internal.h"

namespace contmon {

namespace {

// Thresholds closer than this (relative to their size, at least 1) are one threshold met with rounding: far
// above the few rounding steps that separate equal values, far below the gaps between distinct ones for
// probabilities typed with a dozen decimals.
constexpr double kSameThreshold = 1e-12;

// The candidate constants, from least to most aggressive, computed when needed.
class Candidates {
 public:
  Candidates(const Design &design, const ShapeTable &table)
      : pocock_(design.shape.kind == ShapeKind::kPocock) {
    std::vector<double> keys = table.thresholds();
    if (pocock_) {
      pocock_levels(design, *table.tables(), keys);
      return;
    }
    // Distinct thresholds, highest first. Thresholds that are equal in exact arithmetic (30 * 0.1 and 3, say)
    // can come out a rounding step or two apart, and between them lies a rule that exists for no real c; such
    // a cluster counts as one threshold [low, high], and the candidates on either side of it stay outside it.
    std::sort(keys.begin(), keys.end(), [](double x, double y) { return x > y; });
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (double key : keys) {
      if (!high_.empty() && low_.back() - key <= kSameThreshold * std::max(1.0, std::fabs(key))) {
        low_.back() = key;
      } else {
        high_.push_back(key);
        low_.push_back(key);
      }
    }
  }

  int size() const { return static_cast<int>(pocock_ ? levels_.size() : high_.size()); }

  // Whether candidate k has a probability known without evaluation, and then that probability.
  bool known(int k, double *p) const {
    if (!pocock_) return false;
    const double level = levels_[static_cast<std::size_t>(k)];
    if (level > 0.0 && level < 1.0) return false;
    *p = level >= 1.0 ? 1.0 : 0.0;
    return true;
  }

  double constant(int k) const {
    if (pocock_) return levels_[static_cast<std::size_t>(k)];
    // Candidate k lies in (high[k + 1], low[k]], the last below low[m - 1].
    const std::size_t i = static_cast<std::size_t>(k);
    if (i + 1 < high_.size()) return simplest_in(high_[i + 1], low_[i]);
    return simplest_in(low_[i] - std::max(1.0, std::fabs(low_[i])), low_[i]);
  }

  // A constant whose rule never stops.
  double never() const {
    if (pocock_ || high_.empty()) return 0.0;
    const double top = high_.front();
    return simplest_in(top, top + std::max(1.0, std::fabs(top)));
  }

 private:
  // The levels of the Pocock search for the looks: the upper tails that matter below PHI, sorted, each
  // replaced by the midpoint to the next, cut after the first level at or above PHI. For other designs than
  // the default, without those whose rule is the one of the level before them.
  void pocock_levels(const Design &design, const BinomialTables &tables, std::vector<double> &negated_tails) {
    std::vector<double> v;
    for (int n : design_looks(design)) {
      for (int j = n; j >= 0; --j) {
        v.push_back(tables.surv(n, j));
        if (tables.surv(n, j) >= design.phi) break;
      }
    }
    std::sort(v.begin(), v.end());  // equal values are identical, so any sort gives the same list
    v.erase(std::unique(v.begin(), v.end()), v.end());
    for (std::size_t k = 0; k + 1 < v.size(); ++k) v[k] = (v[k + 1] + v[k]) * 0.5;
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (v[i] >= design.phi) {
        v.resize(i + 1);
        break;
      }
    }
    if (is_default_design(design)) {
      levels_ = std::move(v);
      return;
    }
    // Between 0 and 1 the rule at a level depends on which tails (thresholds negated) are at or below it.
    std::vector<double> &tails = negated_tails;
    for (double &t : tails) t = -t;
    std::sort(tails.begin(), tails.end());
    std::size_t passed = 0;
    for (double level : v) {
      bool changed = levels_.empty() || !(level > 0.0 && level < 1.0);
      for (; passed < tails.size() && tails[passed] <= level; ++passed) changed = true;
      if (changed) levels_.push_back(level);
    }
  }

  bool pocock_;
  std::vector<double> levels_;      // pocock
  // The other shapes: clusters of thresholds, decreasing, cluster i from low_[i] to high_[i].
  std::vector<double> high_, low_;
};

}  // namespace

Bisection bisect_candidates(int count, double phi, const std::function<double(int)> &evaluate) {
  int lo = 0, hi = count - 1;
  // Both ends are evaluated, least aggressive first, before either is compared with PHI: with a simulating
  // engine the order fixes which deviates each estimate uses.
  double p_lo = evaluate(lo);
  double p_hi = evaluate(hi);
  Bisection b;
  if (p_lo > phi) {
    b.neighbour = lo;
    b.p_neighbour = p_lo;
  } else if (p_hi <= phi) {
    b.accepted = hi;
    b.p_accepted = p_hi;
  } else {
    while (hi - lo > 1) {
      const int mid = lo + (hi - lo) / 2;
      const double p = evaluate(mid);
      if (p <= phi) {
        lo = mid;
        p_lo = p;
      } else {
        hi = mid;
        p_hi = p;
      }
    }
    b = Bisection{lo, hi, p_lo, p_hi};
  }
  return b;
}

Calibration design(const Design &design, const Method &method, const RunControl &control) {
  check_design(design);
  check_method(method);
  const ShapeTable table(design);
  const Candidates candidates(design, table);
  const std::vector<int> looks = design_looks(design);

  Calibration c;
  c.candidates = candidates.size();
  // The evaluations of a bisection over n candidates: both ends, then about log2(n) midpoints.
  const double steps = 2.0 + std::ceil(std::log2(std::max(2, c.candidates)));
  CallProgress progress(control, steps, "searching for the boundary", method.trials);
  RandomStream seeded(method.seed);
  Evaluator evaluator(method, control.stream != nullptr ? control.stream : &seeded, progress);
  Bisection b;
  RuleOutcome accepted;  // the outcome of the last candidate evaluated and found acceptable
  int accepted_index = -1;
  if (c.candidates > 0) {
    auto evaluate = [&](int k) {
      double p = 0.0;
      if (candidates.known(k, &p)) return p;
      const std::vector<int> upper = stage_boundary(Rule{design.K, looks, table.counts(candidates.constant(k))});
      // An exact search needs only P(stop); a simulated one keeps the whole outcome for the row at theta.
      RuleOutcome out = evaluator.outcome(upper, design.K, design.theta, evaluator.trials() > 0);
      p = out.p_stop;
      if (p <= design.phi) {
        accepted = std::move(out);
        accepted_index = k;
      }
      return p;
    };
    b = bisect_candidates(c.candidates, design.phi, evaluate);
  }
  // A pocock level of 0 or less is the rule that never stops.
  double known = -1.0;
  c.never_stops = b.accepted < 0 || (candidates.known(b.accepted, &known) && known == 0.0);
  c.constant = c.never_stops ? candidates.never() : candidates.constant(b.accepted);
  c.phi_star = c.never_stops ? 0.0 : b.p_accepted;
  c.has_neighbour = b.neighbour >= 0;
  if (c.has_neighbour) {
    c.neighbour_constant = candidates.constant(b.neighbour);
    c.neighbour_phi_star = b.p_neighbour;
  }
  c.rule = Rule{design.K, looks, table.counts(c.constant)};
  if (!c.never_stops && accepted_index == b.accepted) {
    if (!accepted.has_stops)
      accepted = evaluator.outcome(stage_boundary(c.rule), design.K, design.theta);  // exact: the whole outcome
    c.at_theta = outcome_figures(accepted, design.theta, evaluator.trials());
    add_look_figures(*c.at_theta, accepted, c.rule.looks);
  }
  // A simulated search estimates PHI*; the rule it chose is also evaluated exactly, so that a boundary whose
  // true probability lies above PHI can be told.
  c.phi_star_exact = c.never_stops ? 0.0
                     : evaluator.trials() > 0 ? exact_p_stop(stage_boundary(c.rule), design.K, design.theta)
                                              : c.phi_star;
  return c;
}

}  // namespace contmon
