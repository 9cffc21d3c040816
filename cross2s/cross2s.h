// Public interface of the cross2s module: the crossing engine, which turns
// an event probability and a pair of boundaries into probabilities of
// stopping at each stage; the exact forward recursion that computes the
// same probabilities without simulation; and the module's vector routines.
//
// Boundaries are int arrays indexed by stage 1..K (element 0 is not read).
// An upper boundary value is the smallest cumulative event count that stops
// the trial at that stage; a lower boundary value is the largest count that
// stops it, and -1 means no lower stop. Probability vectors are double
// arrays of K+1 elements indexed 0..K.
//
// Each program links one default-engine source, which defines
// default_crossing_engine; a run may choose another with SetCrossingEngine.
#pragma once

#include <vector>

/// Number of trials in one simulation.
inline constexpr int kSimulatedTrials = 1000000;

/// The ways of obtaining crossing probabilities.
enum class CrossingEngine {
  kSimulation,       ///< 1,000,000 simulated trials from the program's random stream (the fast walk)
  kExact,            ///< the exact forward recursion; draws no deviate
  kPlainSimulation,  ///< the same simulation, one deviate at a time: the reference the fast walk must match
};

/// The engine a program starts with, defined by the default-engine source linked into it.
extern const CrossingEngine default_crossing_engine;

/// Makes CrossingProb and method use engine from now on.
void SetCrossingEngine(CrossingEngine engine);

/// The engine in use: the last one set, else default_crossing_engine.
CrossingEngine crossing_engine();

/// The label of the engine in use: "Exact" or "Simulation-based".
const char *method();

/// Makes CrossingProb call observer(context) before every computation (null: none); a progress display uses
/// it to count the simulations of a boundary search.
void SetCrossingObserver(void (*observer)(void *context), void *context);

// ---- Crossing probabilities -------------------------------------------------

/// Probabilities of stopping at the lower (lo_prob[1..K]) or upper (up_prob[1..K]) boundary at each stage and
/// of ending with each count (end_prob[0..K]), from the engine in use. Returns 0, or the
/// code 1..7 of the first violated input rule (THETA in (0,1); K >= 1; lower[1] <= 0; upper[1] >= 1; lower
/// non-decreasing; upper non-decreasing; lower[i] < upper[i]), in which case nothing is written and no
/// deviate is drawn.
int CrossingProb(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                 const int lower[], const int upper[]);

/// The same probabilities as CrossingProb, computed exactly by a forward recursion over (stage, count); the
/// same validation and codes. Draws no random deviate.
int ExactCrossingProb(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                      const int lower[], const int upper[]);

// ---- Rules checked at some stages only ------------------------------------------
// A rule gives each stage k = 1..K an upper stopping count upper[k] >= 1: the trial stops at the first stage
// whose count of events reaches it. A count above k cannot be reached, so K + 1 marks a stage that is not a
// look. Unlike CrossingProb's boundaries, a rule's counts need not rise from stage to stage, and a trial may
// pass a stage's count between two looks and stop with more events than it.

/// How trials end under a rule.
struct RuleOutcome {
  int K = 0;                       ///< the last stage
  std::vector<double> stop_prob;   ///< [0..K]: P(stopping at stage k); element 0 is 0
  std::vector<double> stop_joint;  ///< [k * (K + 1) + y]: P(stopping at stage k with y events)
  std::vector<double> end_prob;    ///< [0..K]: P(passing stage K without stopping, with y events)
  double p_stop = 0.0;             ///< stop_prob[1] + ... + stop_prob[K], summed as array_sum does
};

/// The outcome of the rule upper[1..K] at the event probability THETA, from the given engine: exactly, or
/// from kReplicates simulated trials drawing one deviate per patient until the trial ends (the fast walk
/// gives the counts and stream position of the plain one). Returns 0, or 1 for THETA outside (0, 1), 2 for
/// K outside 1..255, 4 for a count below 1, in which case *out is untouched and no deviate is drawn. For a
/// rule that stops at every stage k where upper[k] <= k and whose counts do not fall, stop_prob and p_stop
/// are the up_prob and the sum CrossingProb gives for it (with no lower stops).
int RuleCrossingProbWith(CrossingEngine engine, RuleOutcome *out, double THETA, int K, const int upper[]);

/// RuleCrossingProbWith for the engine in use, after calling the crossing observer as CrossingProb does.
int RuleCrossingProb(RuleOutcome *out, double THETA, int K, const int upper[]);

// ---- The distribution of (Y, N) -----------------------------------------------
// Y is the number of events and N the number of patients when a trial ends.

/// Lists the stopping points the boundaries allow, with their probabilities: lower stops (Y = lower[k],
/// N = k), then upper stops (Y = upper[k], N = k), each by stage, then end points (Y = y, N = K) by count.
/// The outputs hold at least 3K+1 elements; yn_count[1..3] receive the number of points in each group.
/// Returns the index of the last listed point.
int yn_dstn(double y_val[], double n_val[], double yn_prob[], int yn_count[], const double lo_prob[],
            const double up_prob[], const double end_prob[], const int lower[], const int upper[], int K);

/// Weighted mean (mv[1]) and population variance (mv[2]) of x[first..last] with weights w, divided by the
/// weight total; sums in extended precision. The range must not be empty and the total must be positive.
void meanvar(double mv[], const double x[], const double w[], int first, int last);

// ---- Vector arithmetic over the inclusive index range lo..hi -------------------
// Nothing is read or written when lo > hi. Element-wise routines read element i of
// their inputs before writing element i of z, so z may be one of the inputs.

/// x[lo] + ... + x[hi], accumulated in extended precision; 0 for an empty range.
double array_sum(const double x[], int lo, int hi);

/// cum[i] = x[lo] + ... + x[i] (cum may be x); returns the total, 0 for an empty range.
double array_csum(double cum[], const double x[], int lo, int hi);

/// The sum of x[i] * y[i], accumulated in extended precision; 0 for an empty range.
double array_dot(const double x[], const double y[], int lo, int hi);

/// z[i] = x[i] + y[i].
void array_plus(double z[], const double x[], const double y[], int lo, int hi);

/// z[i] = x[i] - y[i].
void array_minus(double z[], const double x[], const double y[], int lo, int hi);

/// z[i] = x[i] * y[i].
void array_mul(double z[], const double x[], const double y[], int lo, int hi);

/// z[i] = x[i] / y[i].
void array_div(double z[], const double x[], const double y[], int lo, int hi);

/// z[i] = x[i] + c.
void array_plusc(double z[], const double x[], double c, int lo, int hi);

/// z[i] = x[i] * c.
void array_mulc(double z[], const double x[], double c, int lo, int hi);

// ---- A pair of correlated binary outcomes -------------------------------------

/// Parameters of a pair of binary outcomes with P(first = 1) = p1, P(second = 1) = p2 and odds ratio psi.
struct BinaryPairParameters {
  double reserved;  // not read by cond_mv
  double p1;
  double p2;
  double psi;
};

/// For i = 0..K: mean and variance of the second outcome's proportion among n[i] subjects, given that x[i] of
/// them had the first outcome. Returns 0.
int cond_mv(double mean[], double var[], const double x[], const double n[], int K,
            const BinaryPairParameters *par);

/// The correlation of a pair of binary outcomes with probabilities p1, p2 and odds ratio psi.
double psi2cor(double p1, double p2, double psi);
