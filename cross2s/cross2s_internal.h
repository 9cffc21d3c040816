// Routines private to the cross2s module, exposed for its engines and tests.
#pragma once

#include "cross2s/cross2s.h"

/// Number of trials in one simulation.
inline constexpr int kReplicates = kSimulatedTrials;

/// The code of the first input rule of CrossingProb that THETA, K and the boundaries violate, or 0.
int check_crossing_input(double THETA, int K, const int lower[], const int upper[]);

/// Estimates the crossing probabilities from kReplicates simulated trials, drawing one RanUni deviate per
/// simulated stage; assumes input that check_crossing_input accepts.
void proceed(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K, const int lower[],
             const int upper[]);

/// Does what proceed does, with the same counts and the same deviates consumed, from event bits read ahead of
/// the stream by `generator_threads` threads (0: by the caller's); assumes input that check_crossing_input
/// accepts.
void proceed_fast(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                  const int lower[], const int upper[], int generator_threads);

/// A count of trials as a probability: count / kReplicates formed in extended precision, rounded to double.
double count_to_probability(int count);

// ---- Reachable stopping points ---------------------------------------------------
// Flags are 1 for a possible point and 0 for an impossible one; element 0 of lo_flag and up_flag is 0.

/// Sets end_flag[0..K] to 1, then lets mark_l and mark_u flag the stops and clear end points. Returns 0;
/// touches nothing for K <= 0.
int mark(int lo_flag[], int up_flag[], int end_flag[], const int lower[], const int upper[], int K);

/// Flags the stages 1..K at which a stop at the lower boundary is possible and clears the end counts a
/// trial cannot have after the last of them. Returns 0.
int mark_l(int lo_flag[], int end_flag[], const int lower[], int K);

/// Flags the stages 1..K at which a stop at the upper boundary is possible and clears the end counts a
/// trial cannot reach after the last of them. Returns 0.
int mark_u(int up_flag[], int end_flag[], const int upper[], int K);

// ---- Rules checked at some stages only --------------------------------------------

/// Fills the outcome's probabilities (already sized for out->K) from counts of kReplicates trials: stops by
/// stage, stops by stage and count ([k * (K + 1) + y]) and ends by count.
void rule_counts_to_outcome(RuleOutcome *out, const int stop_count[], const int joint_count[],
                            const int end_count[]);

/// The simulation of RuleCrossingProbWith for kSimulation: the counts and stream consumption of the plain
/// simulation, from event bits read by `generator_threads` threads beside the caller's; out is sized.
void proceed_rule_fast(RuleOutcome *out, double THETA, int K, const int upper[], int generator_threads);
