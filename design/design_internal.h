// Routines private to the design module, exposed for its calibration and
// tests: the posterior tail of the Bayesian shape, and the shape evaluated
// at every look of a design, with the constants at which its counts change.
#pragma once

#include <functional>
#include <vector>

#include "design/design.h"

/// P(X > x) for X ~ Beta(a, b), a, b > 0, 0 <= x <= 1: the complement of the regularised incomplete beta
/// function I_x(a, b), from its continued fraction.
double beta_upper_tail(double a, double b, double x);

/// Whether ShapeTable can tabulate the design: 1 <= K <= 255, 0 < theta < 1, looks ascending within 1..K and
/// ending at K (or none).
bool valid_table_input(const Design &design);

/// A number in (lo, hi] with as few significant decimal digits as possible, the nearest such to the middle
/// of the interval; hi itself when no shorter one is found. Requires lo < hi, both finite.
double simplest_in(double lo, double hi);

/// The shape of a design at each of its looks. The count at a look is a non-decreasing step function of a
/// key: c itself, or minus the level for pocock (a higher level stops more often). The effective count
/// min(max(raw, M), n + 1), M = max(1, min_events), is at least y > M exactly when key > t for a threshold t
/// that thresholds() lists, so the rule changes exactly where the key passes one of them.
class ShapeTable {
 public:
  /// Tabulates what the counts need (for pocock, fills the binomial tables of bndry); requires
  /// valid_table_input(design).
  explicit ShapeTable(const Design &design);

  /// The counts at c, as shape_counts gives them.
  std::vector<int> counts(double c) const;

  /// Every key at which some effective count changes, unsorted, with repeats.
  std::vector<double> thresholds() const;

 private:
  int raw_count(int look, double c) const;

  int K_;
  double theta_;
  int floor_;  // max(1, min_events)
  bool pocock_;
  bool ceiling_;  // obf and wt: ceil(a + c w)
  std::vector<int> looks_;
  std::vector<double> a_, w_;           // ceiling shapes, one per look
  std::vector<std::vector<double>> f_;  // bayes, sprt, maxsprt: the statistic at y = 0..n, NaN where no stop
};

/// What the bisection of the calibration found among its candidates.
struct Bisection {
  int accepted = -1;   ///< the end of the prefix of candidates with P <= PHI; -1 when the first exceeds PHI
  int neighbour = -1;  ///< the candidate after it, whose P exceeds PHI; -1 when the last is accepted
  double p_accepted = 0.0, p_neighbour = 0.0;
};

/// Bisects candidates 0..count-1 (count >= 1, ordered so that P cannot decrease) as the original level search
/// does: evaluates the first, then the last, then midpoints lo + (hi - lo) / 2, keeping P(lo) <= phi < P(hi).
/// evaluate(k, &p) gives P of candidate k and returns 0, or a failure code that is returned at once.
int bisect_candidates(int count, double phi, const std::function<int(int, double *)> &evaluate,
                      Bisection *out);
