// Public interface of the designs: a schedule of looks, a boundary shape
// that turns a constant c into a stopping count at each look, the exact
// calibration of c against PHI, rule files, and the operating
// characteristics of a rule at any event probability.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cross2s/cross2s.h"

/// The boundary shapes.
enum class ShapeKind {
  kPocock,       ///< "pocock": the smallest count whose binomial tail at the look is at most the level c
  kObf,          ///< "obf": ceil(n theta + c sqrt(K theta (1 - theta)))
  kWangTsiatis,  ///< "wt:DELTA": ceil(n theta + c (n/K)^(DELTA - 1/2) sqrt(n theta (1 - theta)))
  kBayes,        ///< "bayes:A,B": the smallest y with P(p > theta | y of n) >= c, prior Beta(A, B)
  kSprt,         ///< "sprt:P1": log likelihood ratio of P1 against theta at least c
  kMaxSprt,      ///< "maxsprt": y >= n theta and the maximised log likelihood ratio at least c
};

/// A shape and its parameters.
struct Shape {
  ShapeKind kind = ShapeKind::kPocock;
  double delta = 0.0;    ///< wt: 0 <= DELTA <= 0.5
  double prior_a = 0.0;  ///< bayes: A > 0
  double prior_b = 0.0;  ///< bayes: B > 0
  double p1 = 0.0;       ///< sprt: theta < P1 < 1
};

/// The shape as the --shape option writes it: "pocock", "obf", "wt:0.25", "bayes:1,1", "sprt:0.3", "maxsprt".
std::string shape_argument(const Shape &shape);

/// The shape in words for a report, e.g. "O'Brien-Fleming boundary".
std::string shape_words(const Shape &shape);

/// A design to calibrate.
struct Design {
  int K = 0;               ///< the last look, 1..255
  double theta = 0.0;      ///< the acceptable event probability, in (0, 1)
  double phi = 0.0;        ///< the largest acceptable probability of stopping at theta, in (0, 1)
  Shape shape;             ///< how c gives the stopping counts
  std::vector<int> looks;  ///< ascending, within 1..K, the last K; empty: every patient
  int min_events = 1;      ///< every stopping count is at least this (>= 1)
};

/// The looks of the design: its list, or 1..K when the list is empty.
std::vector<int> design_looks(const Design &design);

/// Whether the design is the program's original one: Pocock after every patient, no minimum above 1.
bool is_default_design(const Design &design);

/// A stopping rule: at the look looks[i] the trial stops when its count of events reaches counts[i].
struct Rule {
  int K = 0;                ///< the last look
  std::vector<int> looks;   ///< ascending, within 1..K, the last K
  std::vector<int> counts;  ///< one per look, >= 1; a count above its look cannot be reached
};

/// The rule by stage for the engines and the boundary file: element 0 unused, the count at each look and
/// K + 1 (no stop) at the other stages.
std::vector<int> stage_boundary(const Rule &rule);

/// The stopping counts of the design's shape at constant c, one per look (design_looks), each raised to
/// at least max(1, min_events); counts above the look are kept as computed (capped at K + 1).
std::vector<int> shape_counts(const Design &design, double c);

// ---- Calibration ----------------------------------------------------------------------

/// The rule the calibration chose and what lies just beyond it.
struct Calibration {
  Rule rule;                   ///< the rule chosen
  double constant = 0.0;       ///< its c (for pocock, the pointwise level ALPHA)
  double phi_star = 0.0;       ///< its probability of stopping at theta
  bool never_stops = false;    ///< no candidate that stops keeps the probability at or below PHI
  bool has_neighbour = false;  ///< a candidate stops more often (false when the most aggressive fits)
  double neighbour_constant = 0.0;
  double neighbour_phi_star = 0.0;  ///< above PHI
  int candidates = 0;               ///< how many candidate constants there were
};

/// Calibrates the design with the engine in use (RuleCrossingProb): among the rules the shape gives for
/// some c, the one that stops most often at theta with probability at most PHI. Returns 0, or the engine's
/// failure code with *result untouched.
int calibrate(const Design &design, Calibration *result);

// ---- Operating characteristics ---------------------------------------------------------

/// What a rule does at one event probability. Means and standard deviations are of the trial's end:
/// N patients, Y events, Y/N (population moments).
struct OcRow {
  double rate = 0.0;                ///< the true event probability
  double p_stop = 0.0;              ///< P(the trial stops at some look)
  double p_stop_before_last = 0.0;  ///< P(it stops at a look before K)
  double mean_n = 0.0, sd_n = 0.0;
  double mean_y = 0.0, sd_y = 0.0;
  double mean_proportion = 0.0, sd_proportion = 0.0;
  double se_p_stop = 0.0;  ///< Monte Carlo standard error of p_stop; NaN for exact figures
  double se_mean_n = 0.0;  ///< Monte Carlo standard error of mean_n; NaN for exact figures
};

/// The figures of the rule at rate with the given engine. Returns 0, or the engine's code.
int rule_oc_with(CrossingEngine engine, const Rule &rule, double rate, OcRow *row);

/// The figures of the rule at rate with the engine in use.
int rule_oc(const Rule &rule, double rate, OcRow *row);

// ---- Rule files (--evaluate) -------------------------------------------------------------

/// A rule read from a file, with what the file says besides.
struct RuleFile {
  Rule rule;
  std::optional<double> theta;   ///< from a boundary file of the program's own format
  std::optional<double> phi;     ///< from its "PHI   = " line, when present
  bool boundary_format = false;  ///< the program's own format, else "n b" lines
};

/// Reads a rule from the text of a file named name: the program's boundary file (THETA, K, K lines
/// "lower upper" with lower -1, then free text), or lines "n b" (a look and its count; blank lines and
/// '#' comments allowed; looks ascending). Returns "" and fills *file, or one message line ending in a line
/// feed that names the file, the line number and what was expected.
std::string read_rule_file(const std::string &name, const std::string &text, RuleFile *file);
