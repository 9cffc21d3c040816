// Routines private to the driver module, exposed for its tests.
#pragma once

#include "driver/driver.h"

/// The most rows a table can have: one for THETA and 19 grid values.
inline constexpr int kMaxTableRows = 20;

/// The event probabilities of the table's rows for THETA, in printing order; returns their number.
int table_event_probabilities(double THETA, double p[kMaxTableRows]);
