// Designs and rules: a schedule of looks, a boundary shape that turns a
// constant c into a stopping count at each look, the calibration of c against
// PHI, and the operating characteristics of a rule at any event probability,
// each computed exactly or by simulation as the caller chooses. Every call is
// a function of its arguments: invalid values throw contmon::Error naming the
// field, and nothing is printed, read or exited.
#pragma once

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contmon/error.h"
#include "contmon/limits.h"
#include "contmon/random.h"

namespace contmon {

// ---- Values -------------------------------------------------------------------------------------

/// The boundary shapes; shapes.cpp holds what each one is.
enum class ShapeKind {
  kPocock,       ///< "pocock": the smallest count whose binomial tail at the look is at most the level c
  kObf,          ///< "obf": ceil(n theta + c sqrt(K theta (1 - theta)))
  kWangTsiatis,  ///< "wt:DELTA": ceil(n theta + c (n/K)^(DELTA - 1/2) sqrt(n theta (1 - theta)))
  kBayes,        ///< "bayes:A,B": the smallest y with P(p > theta | y of n) >= c, prior Beta(A, B)
  kSprt,         ///< "sprt:P1": log likelihood ratio of P1 against theta at least c
  kMaxSprt,      ///< "maxsprt": y >= n theta and the maximised log likelihood ratio at least c
  kChenChaloner,  ///< "cc:A,B,P1,NU": P(p > theta | y of n) >= c and P(p > P1 | y of n) >= NU, prior Beta(A, B)
};

/// A shape and its parameters.
struct Shape {
  ShapeKind kind = ShapeKind::kPocock;
  double delta = 0.0;    ///< wt: 0 <= DELTA <= 0.5
  double prior_a = 0.0;  ///< bayes, cc: A > 0
  double prior_b = 0.0;  ///< bayes, cc: B > 0
  double p1 = 0.0;       ///< sprt, cc: theta < P1 < 1
  double nu = 0.0;       ///< cc: 0 < NU < 1, the posterior probability above P1 a stop also needs
};

/// A design to calibrate.
struct Design {
  int K = 0;               ///< the last look, 1..255
  double theta = 0.0;      ///< the acceptable event probability, in (0, 1)
  double phi = 0.0;        ///< the largest acceptable probability of stopping at theta, in (0, 1)
  Shape shape{};             ///< how c gives the stopping counts
  std::vector<int> looks{};  ///< ascending, within 1..K, the last K; empty: every patient
  int min_events = 1;      ///< every stopping count is at least this, 1..K
};

/// A stopping rule: at the look looks[i] the trial stops when its count of events reaches counts[i].
struct Rule {
  int K = 0;                ///< the last look
  std::vector<int> looks{};   ///< ascending, within 1..K, the last K
  std::vector<int> counts{};  ///< one per look, >= 1; a count above its look cannot be reached
};

/// How probabilities are obtained.
enum class MethodKind {
  kExact,            ///< exactly, by a recursion over (patient, events)
  kSimulation,       ///< from simulated trials (Method::trials) of the seeded stream
  kPlainSimulation,  ///< the same simulation drawing one deviate at a time: slower, the same figures
};

/// The method of a call.
struct Method {
  MethodKind kind = MethodKind::kExact;
  int seed = kDefaultSeed;        ///< the stream each simulation starts from, unless RunControl gives one
  int threads = -1;               ///< threads generating deviates beside the caller's; -1: from the processors
  int trials = kSimulatedTrials;  ///< simulated trials per figure, 1,000 to 100,000,000
};

/// Progress of a long call and the means to stop it.
struct RunControl {
  /// Called now and then with the fraction done (0 to 1) and what is being done; returning false cancels the
  /// call, which then throws Cancelled within about a tenth of a second.
  std::function<bool(double fraction, std::string_view stage)> progress;
  /// A stream that every simulation of the call continues, in order, instead of starting from the seed.
  RandomStream *stream = nullptr;
};

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
  std::vector<double> p_stop_at_look{};  ///< P(stopping exactly at each look of the rule), in order; sums to p_stop
  /// With accrual (conduct()): the patients enrolled when the trial ends, those still awaiting their outcome
  /// included; the calendar time then, from the first entry's origin; and the events, those expected among
  /// the patients still awaiting their outcome included. NaN without accrual. Always exact.
  double mean_enrolled = std::nan("");
  double mean_calendar_time = std::nan("");
  double mean_events_with_pending = std::nan("");
};

/// Patients entering while others await their outcomes: the K entry times are the order statistics of K
/// independent uniform times on [0, period], and each outcome is known `window` after its patient's entry.
struct Accrual {
  double period = 0.0;  ///< A > 0, the accrual period, in any time unit
  double window = 0.0;  ///< TAU > 0, the time from entry to a known outcome, in the same unit
};

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
  std::optional<OcRow> at_theta;    ///< the figures at theta of the evaluation that gave phi_star
  double phi_star_exact = std::nan("");  ///< the rule's probability of stopping at theta computed exactly
  bool fixed = false;               ///< the constant was given (fixed_design), not calibrated
};

/// A schedule of looks as the command line states it, to apply to any K.
struct Schedule {
  std::vector<int> list{};  ///< --looks: the looks (those beyond K dropped, K added); empty: see cohort
  int cohort = 0;           ///< --cohort C: every C-th patient; 0: every patient
  int start = 0;            ///< --start N0: no look before N0; 0: from patient 1
};

/// One sample size of a search.
struct SampleSizeStep {
  int K = 0;
  double constant = 0.0, phi_star = 0.0;
  double power = 0.0;                 ///< P(stop) at the alternative
  double mean_n_theta = 0.0, mean_n_alternative = 0.0;
  bool never_stops = false;
};

/// The sample sizes from 1 to the design's K searched for power at an alternative.
struct SampleSizeSearch {
  std::vector<SampleSizeStep> steps;  ///< one per K' searched, ascending
  std::optional<int> smallest_k;      ///< the smallest K' whose power reaches the target
  std::optional<int> stable_k;        ///< the smallest K' from which every larger K' (up to K) reaches it
  int best_k = 0;                     ///< the K' of the highest power (the smallest of equals)
};

// ---- Computations -------------------------------------------------------------------------------

/// Calibrates the design: among the rules its shape gives for some c, the one that stops most often at theta
/// with probability at most PHI. A simulation starts from the method's seed (or continues control.stream).
Calibration design(const Design &design, const Method &method = {}, const RunControl &control = {});

/// The rule of the design's shape at the given constant c (the pointwise level for pocock, the posterior
/// threshold for bayes and cc, ...), without a calibration: phi_star is its probability of stopping at theta
/// (by the method; phi_star_exact exactly), constant is c and fixed is true. Throws Error (field "constant")
/// for a c the shape cannot take: pocock, bayes and cc need 0 < c < 1, the others a finite number.
Calibration fixed_design(const Design &design, double constant, const Method &method = {},
                         const RunControl &control = {});

/// For each K' from 1 to design.K (from schedule.start when it is later), the design with K' patients and
/// the schedule applied to K', calibrated exactly, and its power at the alternative. Throws Error for an
/// invalid design, alternative (field "alternative": above theta, below 1) or power (field "power": in (0, 1)).
SampleSizeSearch find_sample_size(const Design &design, const Schedule &schedule, double alternative, double power,
                                  const RunControl &control = {});

/// The exact (Clopper-Pearson) two-sided interval for an event probability after y events in n patients, at
/// the confidence level (0.95: 95%): {0, ...} for y = 0, {..., 1} for y = n. Requires 0 <= y <= n, n >= 1.
std::pair<double, double> clopper_pearson(int y, int n, double level = 0.95);

/// The figures of the rule at each rate, in order. A simulated figure starts from the method's seed at every
/// rate, so that it depends only on the rule, the rate and the method (or, with control.stream, continues
/// that stream from rate to rate).
std::vector<OcRow> characteristics(const Rule &rule, const std::vector<double> &rates, const Method &method = {},
                                   const RunControl &control = {});

/// The figures of the rule at each rate when patients keep entering while outcomes are awaited, exactly: the
/// rows of characteristics() (exact) with mean_enrolled, mean_calendar_time and mean_events_with_pending.
/// Throws Error (field "accrual" or "window") unless both times are positive and finite.
std::vector<OcRow> conduct(const Rule &rule, const std::vector<double> &rates, const Accrual &accrual,
                           const RunControl &control = {});

/// Throws Error for the first field of the design that is out of range (K, theta, phi, shape, looks,
/// min_events), with the command line's message.
void check_design(const Design &design);

/// Throws Error (field "rule") unless the rule's looks ascend within 1..K, end at K and each has a count of
/// at least 1.
void check_rule(const Rule &rule);

/// The looks of the design: its list, or 1..K when the list is empty.
std::vector<int> design_looks(const Design &design);

/// Whether the design is the Pocock boundary after every patient with no minimum number of events above 1.
bool is_default_design(const Design &design);

/// The rule by stage: element 0 unused, the count at each look and K + 1 (no stop) at the other stages.
std::vector<int> stage_boundary(const Rule &rule);

/// The stopping counts of the design's shape at constant c, one per look (design_looks), each raised to at
/// least max(1, min_events); counts above the look are kept as computed (capped at K + 1).
std::vector<int> shape_counts(const Design &design, double c);

/// The default rows of a table for theta: theta itself unless it is on the grid, then 0.05, 0.10, ..., 0.95
/// from theta's truncated hundredths rounded up to a multiple of 5.
std::vector<double> default_rates(double theta);

// ---- Texts: the command line's values -----------------------------------------------------------

/// The shape of a --shape text: pocock, obf, wt:DELTA, bayes:A,B, sprt:P1, maxsprt or cc:A,B,P1,NU.
Shape parse_shape(std::string_view text);

/// The shape as --shape writes it: "pocock", "obf", "wt:0.25", "bayes:1,1", "sprt:0.3", "maxsprt",
/// "cc:1,1,0.4,0.5".
std::string shape_argument(const Shape &shape);

/// The shape in words for a report, e.g. "O'Brien-Fleming boundary".
std::string shape_words(const Shape &shape);

/// The command line's arguments that give the design back, e.g. "--shape wt:0.25 --looks 3:39:3,40 40 0.2 0.1".
std::string design_arguments(const Design &design);

/// The shape's name as --shape writes it, without its parameters: "wt", "bayes", ...
std::string shape_name(const Shape &shape);

/// The shape's parameters with their names: {"delta", 0.25} for wt, {"a", ..}, {"b", ..} for bayes, ...
std::vector<std::pair<std::string, double>> shape_parameters(const Shape &shape);

/// K from its text: a whole number from 1 to 255.
int parse_sample_size(std::string_view text);

/// A probability strictly between 0 and 1 from its text; field names it in the message ("THETA", "PHI", "P1").
double parse_probability(std::string_view field, std::string_view text);

/// A finite decimal number from its text; option names it in the message ("--constant").
double parse_number(std::string_view option, std::string_view text);

/// A time of --accrual or --window (option names it in the message): a positive finite decimal number.
double parse_duration(std::string_view option, std::string_view text);

/// The rates of a --rates list: comma-separated rates and FROM:TO:STEP ranges, expanded in the order given.
std::vector<double> parse_rates(std::string_view text);

/// The looks of a --looks list: looks and FROM:TO:STEP ranges in any order, returned ascending, each once.
std::vector<int> parse_looks(std::string_view text);

/// The looks of the schedule for K (schedule_looks with the list's looks beyond K dropped).
std::vector<int> schedule_for(int K, const Schedule &schedule);

/// The looks for K: list's (empty: every patient) or every cohort-th (0: none), from start on (0: patient 1),
/// K always. A listed look before start, or outside 1..K, is an Error.
std::vector<int> schedule_looks(int K, const std::vector<int> &list, int cohort = 0, int start = 0);

/// A rule read from a file, with what the file says besides.
struct RuleFile {
  Rule rule;
  std::optional<double> theta;   ///< from a boundary file of the program's own format
  std::optional<double> phi;     ///< from its "PHI   = " line, when present
  bool boundary_format = false;  ///< the program's own format, else "n b" lines
};

/// Reads a rule from the text of a file named name: the program's boundary file (THETA, K, K lines "-1 b",
/// then closing lines up to "pr(Hitting the upper boundary) = ...", every line to there ended by a line feed,
/// so that a file cut short is refused), or lines "n b" (a look and its count; blank lines and '#' comments
/// allowed; looks ascending). A byte-order mark before the text is skipped. Throws Error (field "rule file")
/// whose message names the file, the line number and what was expected.
RuleFile parse_rule_file(std::string_view name, std::string_view text);

}  // namespace contmon
