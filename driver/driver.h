// Public interface of the driver module: the console dialogue and the
// operating-characteristics table.
#pragma once

#include <cstdio>

/// Prints the banner, the method line and the definitions block on out.
void print_banner(std::FILE *out);

/// Prints the input prompt on out.
void print_prompt(std::FILE *out);

/// Reads K, THETA and PHI from standard input, storing each as soon as it is read;
/// prints the message for the first invalid value and ends with status 1.
void ReadData(int *K, double *THETA, double *PHI);

// ---- Operating-characteristics table -------------------------------------------

/// Prints the table for the upper boundary b[1..K] on standard output: header, a row for THETA unless it is
/// on the grid, rows for 0.05, 0.10, ..., 0.95 from THETA's truncated hundredths rounded up to a multiple
/// of 5, and the definitions block. Each row runs one crossing simulation.
void table_print(double THETA, int K, const int upper[]);

/// Prints one table row for the event probability THETA and the given boundaries.
void table_print1(double THETA, int K, const int lower[], const int upper[]);

/// n rounded up to a multiple of m (quotient and remainder truncated toward zero); n itself when m is 0.
int round_up(int n, int m);
