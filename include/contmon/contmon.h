// contmon: the design of a single-arm trial's monitoring rule with a binary
// outcome, as a library. At each look the running count of events is compared
// with an upper boundary and the trial stops when it reaches it; design()
// finds the boundary for K, THETA, PHI and a shape, characteristics() gives
// what a rule does at any event probability, report() runs a whole analysis,
// and the writers turn it into text, JSON, CSV, Markdown, SVG, HTML or a
// boundary file. Nothing here prints, reads standard input or exits.
//
//   contmon::Design d;
//   d.K = 40; d.theta = 0.2; d.phi = 0.1;
//   contmon::Calibration c = contmon::design(d);          // exact by default
//   std::string json = contmon::to_json(contmon::report({d}));
#pragma once

#include "contmon/design.h"   // IWYU pragma: export
#include "contmon/error.h"    // IWYU pragma: export
#include "contmon/limits.h"   // IWYU pragma: export
#include "contmon/random.h"   // IWYU pragma: export
#include "contmon/report.h"   // IWYU pragma: export
#include "contmon/version.h"  // IWYU pragma: export
#include "contmon/writers.h"  // IWYU pragma: export
