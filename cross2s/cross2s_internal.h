// Routines private to the cross2s module, exposed for its engines and tests.
#pragma once

#include "cross2s/cross2s.h"

/// Number of trials in one simulation.
inline constexpr int kReplicates = 1000000;

/// The code of the first input rule of CrossingProb that THETA, K and the boundaries violate, or 0.
int check_crossing_input(double THETA, int K, const int lower[], const int upper[]);

/// Estimates the crossing probabilities from kReplicates simulated trials, drawing one RanUni deviate per
/// simulated stage; assumes input that check_crossing_input accepts.
void proceed(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K, const int lower[],
             const int upper[]);
