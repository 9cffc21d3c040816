// Routines private to the driver module, exposed for its tests.
#pragma once

#include "driver/driver.h"

/// The most rows a table can have: one for THETA and 19 grid values.
inline constexpr int kMaxTableRows = 20;

/// The event probabilities of the table's rows for THETA, in printing order; returns their number.
int table_event_probabilities(double THETA, double p[kMaxTableRows]);

/// ReadData on the stream in: reads and validates K, THETA and PHI, storing each as soon as it is read;
/// prints the message for the first invalid value and calls fatal_exit(1).
void read_data(std::FILE *in, int *K, double *THETA, double *PHI);
