// Public interface of the cross2s module: the crossing engine, which turns
// an event probability and a pair of boundaries into probabilities of
// stopping at each stage, and the label naming how it does so.
//
// The engine is chosen at link time: each program links exactly one engine
// source, which defines method_name (and the crossing routines).
#pragma once

/// The label of the crossing engine linked into this program, e.g. "Simulation-based".
extern const char *const method_name;

/// Returns method_name.
const char *method();
