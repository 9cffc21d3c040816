// Routines private to the designs, exposed for the calibration and tests: the
// posterior tail of the Bayesian shape, the shape evaluated at every look of a
// design with the constants at which its counts change, the bisection, and the
// figures of an engine's outcome.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "contmon/design.h"
#include "core/binomial.h"
#include "core/crossing.h"

namespace contmon {

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
  /// Tabulates what the counts need (for pocock, the binomial tables of theta); requires
  /// valid_table_input(design).
  explicit ShapeTable(const Design &design);

  /// The binomial tables of theta (pocock only; null otherwise).
  const BinomialTables *tables() const { return tables_.get(); }

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
  std::unique_ptr<BinomialTables> tables_;  // pocock
};

/// What the bisection of the calibration found among its candidates.
struct Bisection {
  int accepted = -1;   ///< the end of the prefix of candidates with P <= PHI; -1 when the first exceeds PHI
  int neighbour = -1;  ///< the candidate after it, whose P exceeds PHI; -1 when the last is accepted
  double p_accepted = 0.0, p_neighbour = 0.0;
};

/// Bisects candidates 0..count-1 (count >= 1, ordered so that P cannot decrease) as the Pocock level search
/// after every patient always has: evaluates the first, then the last, then midpoints lo + (hi - lo) / 2,
/// keeping P(lo) <= phi < P(hi). evaluate(k) gives P of candidate k.
Bisection bisect_candidates(int count, double phi, const std::function<double(int)> &evaluate);

/// The engine of a method.
Engine engine_of(MethodKind kind);

/// The figures of a row from the outcome of a rule at its rate; with trials > 0 (a simulation of that many
/// trials) the standard errors too.
OcRow outcome_figures(const RuleOutcome &out, double rate, int trials);

/// Fills row.p_stop_at_look from the outcome's probabilities of stopping at the stages of the looks.
void add_look_figures(OcRow &row, const RuleOutcome &out, const std::vector<int> &looks);

/// The probability of stopping under the stage boundary upper[1..K] at rate, computed exactly.
double exact_p_stop(const std::vector<int> &upper, int K, double rate);

/// Throws Error (field "trials") for a simulation of fewer than kFewestTrials or more than kMostTrials trials.
void check_method(const Method &method);

/// The progress of one call, reported through its RunControl in steps (one evaluation of a rule each); throws
/// Cancelled when the callback says to stop.
class CallProgress {
 public:
  /// A call of `steps` evaluations (an estimate; more are allowed) of simulations of `trials` trials (any when
  /// exact), stage saying what it does.
  CallProgress(const RunControl &control, double steps, std::string stage, int trials = kSimulatedTrials);

  /// A new stage with its own number of steps, continuing the fraction done.
  void begin(double steps, std::string stage);

  /// Marks one step done.
  void step();

  /// The check a simulation calls every kCheckpointTrials trials.
  const std::function<void()> *checkpoint() const { return control_.progress ? &checkpoint_ : nullptr; }

 private:
  void report(double fraction);

  const RunControl &control_;
  std::string stage_;
  double done_ = 0.0;
  double steps_ = 1.0;
  double within_ = 0.0;  // fraction of the current step done by the simulation
  int trials_;
  std::function<void()> checkpoint_;
};

/// Evaluates rules at rates with a method: every simulation continuing one stream, or, without one, each from
/// the method's seed.
class Evaluator {
 public:
  Evaluator(const Method &method, RandomStream *continued, CallProgress &progress);

  /// How trials end under the stage boundary upper[1..K] at rate; without `joint` an exact outcome holds only
  /// the probabilities of stopping.
  RuleOutcome outcome(const std::vector<int> &upper, int K, double rate, bool joint = true);

  /// The trials of each simulated figure; 0 for exact figures.
  int trials() const { return engine_ == Engine::kExact ? 0 : trials_; }

 private:
  Engine engine_;
  int seed_;
  int trials_;
  int threads_;
  RandomStream *continued_;
  CallProgress &progress_;
};

}  // namespace contmon
