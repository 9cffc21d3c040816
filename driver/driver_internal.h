// Routines private to the driver module, exposed for its tests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bndry/bndry.h"
#include "driver/driver.h"

/// The most rows a table can have: one for THETA and 19 grid values.
inline constexpr int kMaxTableRows = 20;

/// Prints the message of a search that failed on standard output; returns the exit status, 1.
int report_search_failure();

/// Warns on standard error that no boundary that stops keeps the probability of stopping at THETA at or
/// below PHI, so the boundary reported never stops.
void warn_never_stops(const std::string &program, double PHI, double THETA);

/// The event probabilities of the table's rows for THETA, in printing order; returns their number.
int table_event_probabilities(double THETA, double p[kMaxTableRows]);

/// ReadData on the stream in: reads and validates K, THETA and PHI, storing each as soon as it is read;
/// prints the message for the first invalid value and calls fatal_exit(1).
void read_data(std::FILE *in, int *K, double *THETA, double *PHI);

/// The table's figures at the event probabilities p, in order, for the upper boundary b[1..K]: one crossing
/// computation each; before_row(i), when given, is called before row i.
std::vector<oc_summary> table_summaries(const std::vector<double> &p, int K, const int upper[],
                                        void (*before_row)(void *context, std::size_t row) = nullptr,
                                        void *context = nullptr);

/// Prints the table: header, one row per event probability p[i] with the figures rows[i] and the probability
/// shown to `decimals` decimals (2 to 9), then the definitions block.
void print_table(const std::vector<double> &p, const std::vector<oc_summary> &rows, int decimals);

/// The rows of a run's table: the rates asked for, else the default rows for THETA; with an alternative P1,
/// also P1 unless a row has it already: among the default rows in ascending order, else last. Stores the
/// index of P1's row in *alternative_row.
std::vector<double> report_rows(const ReportOptions &options, double THETA, std::size_t *alternative_row);
