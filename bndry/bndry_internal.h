// Routines and state private to the bndry module, exposed for its tests.
#pragma once

#include "bndry/bndry.h"

/// Number of rows and of columns of the binomial tables (stages 0..255).
inline constexpr int kTableSize = kMaxStages + 1;

/// bin_prob[i][j] = P(S_i = j) for the event probability of the last fill.
extern double bin_prob[kTableSize][kTableSize];

/// bin_surv[i][j] = normalised upper tail P(S_i >= j) of row i of bin_prob; bin_surv[i][0] = 1.
extern double bin_surv[kTableSize][kTableSize];

/// Cache key: rows of the last complete fill, -1 while the tables are empty.
extern int bin_prob_max_m;

/// Cache key: event probability of the last complete fill, -1.0 while the tables are empty.
extern double bin_prob_theta;

/// ln P(Y = y) by the bare log-factorial formula, without special cases.
double un_checked_bin_log_pdf(int y, int n, double p);

/// Writes the Binomial(n, p) row into row[0..n] for 0 < p < 1 (closed form for n <= 3); returns 0.
int init_bin2(double row[], double p, int n);

/// Fills rows 1..m of prob and surv for THETA unless already valid; 1 for m or THETA out of range.
int init_bin(double prob[][kTableSize], double surv[][kTableSize], double THETA, int m);
