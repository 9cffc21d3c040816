// Public interface of the driver module: the console dialogue, the report
// of a run, the operating-characteristics table and the boundary file.
#pragma once

#include <cstdio>
#include <optional>
#include <vector>

/// Prints the banner, the method line and the definitions block on out; for another design than the original
/// (Pocock after every patient) the banner names no shape or schedule.
void print_banner(std::FILE *out, bool original_design = true);

/// Prints the input prompt on out.
void print_prompt(std::FILE *out);

/// Reads K, THETA and PHI from standard input, storing each as soon as it is read;
/// prints the message for the first invalid value and ends with status 1.
void ReadData(int *K, double *THETA, double *PHI);

// ---- The report of a run ----------------------------------------------------------

/// The name of the boundary file, written in the current directory unless a run names another.
inline constexpr const char *kBoundaryFileName = "_bndry_.dat";

/// What a run prints and writes besides the boundary and its table.
struct ReportOptions {
  const char *boundary_file = kBoundaryFileName;  ///< where the boundary file goes; null: nowhere
  std::vector<double> rates;                      ///< the table's event probabilities; empty: the default rows
  std::optional<double> alternative;              ///< P1: a line with the power there, and a row in the table
};

/// Runs the boundary search for K, THETA and PHI with the engine in use and prints the report on standard
/// output: the results, the boundary, the table, the boundary file's fate and the date. Shows progress on a
/// terminal's standard error. Returns the exit status: 0, or 1 when the search failed (nothing printed but
/// its message) or the boundary file could not be written (the report complete).
int run_report(const ReportOptions &options, int K, double THETA, double PHI, const char *progname);

// ---- A run with arguments ----------------------------------------------------------

struct RunRequest;

/// Runs what the command line asked for, after the engine has been chosen: the dialogue when K THETA PHI
/// were not given, the calibration of the design or the evaluation of a rule file, the operating
/// characteristics, the boundary file, the report in the chosen format, the picture and the report page.
/// Returns the exit status.
int run_with_arguments(const RunRequest &request, const char *argv0);

// ---- Operating-characteristics table -------------------------------------------

/// Prints the table for the upper boundary b[1..K] on standard output: header, a row for THETA unless it is
/// on the grid, rows for 0.05, 0.10, ..., 0.95 from THETA's truncated hundredths rounded up to a multiple
/// of 5, and the definitions block. Each row runs one crossing simulation.
void table_print(double THETA, int K, const int upper[]);

/// Prints one table row for the event probability THETA and the given boundaries.
void table_print1(double THETA, int K, const int lower[], const int upper[]);

/// The decimals (2 to 9) that show every probability of p: 2 for hundredths, 3 for 0.125, ...
int rate_decimals(const std::vector<double> &p);

/// n rounded up to a multiple of m (quotient and remainder truncated toward zero); n itself when m is 0.
int round_up(int n, int m);

// ---- Boundary file ----------------------------------------------------------------

/// Writes the contents of the boundary file for b[1..K] to fp; the constant's line names it constant_label
/// (at most five characters: "ALPHA" for a Pocock boundary, "c" for another shape).
void write_boundary_file(std::FILE *fp, const char *progname, const int *b, double ALPHA, double PHIstar,
                         int K, double THETA, double PHI, const char *constant_label = "ALPHA");

/// Writes the boundary file for b[1..K] to the file name, replacing any earlier one whole (open_replacement).
/// Returns 0, or EOF when it could not be written, which has been reported on standard error.
int save_boundary_file(const char *name, const char *progname, const int *b, double ALPHA, double PHIstar, int K,
                       double THETA, double PHI, const char *constant_label = "ALPHA");

/// Writes the boundary file for b[1..K] to _bndry_.dat as save_boundary_file does; does nothing for K <= 0.
void ivec_print2(const char *progname, const int *b, double ALPHA, double PHIstar, int K, double THETA,
                 double PHI);
