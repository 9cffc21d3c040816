// Public interface of the driver module: the console dialogue, the
// operating-characteristics table and the boundary file.
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

// ---- Boundary file ----------------------------------------------------------------

/// The name of the boundary file, written in the current directory.
inline constexpr const char *kBoundaryFileName = "_bndry_.dat";

/// Writes the contents of the boundary file for b[1..K] to fp.
void write_boundary_file(std::FILE *fp, const char *progname, const int *b, double ALPHA, double PHIstar,
                         int K, double THETA, double PHI);

/// Creates the boundary file and writes b[1..K] to it; does nothing for K <= 0 or when the file cannot be
/// opened (open_file reports that on standard error).
void ivec_print2(const char *progname, const int *b, double ALPHA, double PHIstar, int K, double THETA,
                 double PHI);
