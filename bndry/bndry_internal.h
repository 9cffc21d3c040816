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

// ---- Candidate levels --------------------------------------------------------

/// The candidate levels alpha_val[0..alpha_n-1]; null when the list is empty.
extern double *alpha_val;

/// Capacity of alpha_val in entries; 0 when the list is empty.
extern int alpha_siz;

/// Number of candidate levels in use.
extern int alpha_n;

/// The first Shell sort increment (1, 4, 13, 40, ...) for n entries: the first greater than (n-1)/9.
int shell_sort_first_increment(int n);

/// Sorts v[0..n-1] into ascending order by Shell sort with the increments 1, 4, 13, 40, ...
void shell_sort(double v[], int n);

/// Appends the candidate levels for PHI and stages 1..K to the (empty) list, from the tails in bin_surv.
void FindAlpha(double PHI, int K);

/// Frees the candidate list and leaves it empty.
void release_candidates();

// ---- The level search ---------------------------------------------------------

/// Writes lower[1..K] = -1 (no lower stop); returns K+1 (1 when K < 1).
int init_lb(int lower[], int K);

/// The estimated probability of hitting the boundary of level, built into upper: 0 for level <= 0, 1 for
/// level >= 1 without simulating; NaN with *err set to the failure code when the boundary or simulation
/// fails.
double p_hit_upper(int *err, const int lower[], int upper[], int K, double THETA, double level);

/// Bisects the (non-empty) candidate list for the largest level whose estimate is at most PHI; writes alpha
/// and PHIstar. Returns 0 or the failure code of the first estimate that failed (nothing written).
int SolveAlpha(double alpha[2], double *PHIstar, int K, double THETA, double PHI);
