// A whole analysis as the programs run it: the design calibrated (or a rule
// given), its operating characteristics at the table's rates, and what the
// writers need besides, in one value that every output format prints.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "contmon/design.h"

namespace contmon {

/// What to analyse.
struct ReportRequest {
  Design design;                      ///< K, theta, PHI, shape, looks, minimum events
  std::optional<Rule> rule;           ///< a rule to evaluate instead of calibrating the design
  bool has_theta = true;              ///< with a rule: theta is known
  bool has_phi = true;                ///< with a rule: PHI is known
  std::vector<double> rates;          ///< the table's rates; empty: the default rows for theta
  std::optional<double> alternative;  ///< P1: its row is added to the table unless it has one
  bool curve = false;                 ///< exact figures at 0.01, 0.02, ..., 0.99 for the pictures
  std::optional<Accrual> accrual;     ///< add the figures of trial conduct (conduct()) to every row
  std::optional<double> constant;     ///< use the shape's rule at this constant instead of calibrating
};

/// Everything an analysis found, as the writers print it.
struct Report {
  std::string program = "contmon";  ///< the program named in the outputs
  std::string version;              ///< the project version, e.g. "1.2"
  bool exact = false;               ///< exact figures; else simulated
  long long trials = 0;             ///< simulated trials per figure (simulation only)
  int seed = 0;                     ///< the generator's seed (simulation only)
  std::string date;                 ///< local date and time of the run as the text outputs print it
  std::string timestamp;            ///< the same moment in ISO 8601, UTC, e.g. "2026-12-09T21:00:00Z"

  Design design;  ///< K, theta, PHI, shape, looks, minimum events (for a rule: from the rule)
  std::optional<double> alternative;  ///< P1
  std::vector<double> rates;          ///< the rates asked for; empty: the default rows
  std::optional<Accrual> accrual;     ///< the rows hold the figures of trial conduct under it

  bool evaluated = false;  ///< the rule was given, not searched
  std::string rule_file;   ///< with evaluated: the file it came from, if any
  bool has_phi = true;     ///< PHI is known
  bool has_theta = true;   ///< theta is known

  Calibration calibration;  ///< the rule and, unless evaluated, its constant, PHI* and the neighbour

  std::vector<OcRow> oc;                       ///< the table's rows, in order
  std::optional<std::size_t> theta_row;        ///< the row at theta, when the table has one
  std::optional<std::size_t> alternative_row;  ///< the row at P1, with an alternative
  std::vector<OcRow> curve;                    ///< exact figures on a fine grid of rates, for the pictures

  bool by_look = false;               ///< the outputs add the figures of every look (a writer's choice)

  std::string boundary_file;          ///< where the boundary file went; empty: not written
  bool boundary_file_failed = false;  ///< it could not be written
};

/// Runs the analysis: calibrates the design (or takes the rule), then computes the table's rows at the
/// requested rates (or the default rows for theta), P1's row, and the curve. With a simulated method the row
/// at theta of a calibrated design is the evaluation that gave PHI*, and every other row starts from the
/// seed. The program, version and date are left for the caller.
Report report(const ReportRequest &request, const Method &method = {}, const RunControl &control = {});

/// The rates of the pictures' curve (ReportRequest::curve): 0.01, 0.02, ..., 0.99. Report::curve holds the
/// exact figures of the rule there, characteristics(rule, curve_rates()).
std::vector<double> curve_rates();

/// The rows of a table: the rates asked for, else the default rows for theta; with an alternative P1, also P1
/// unless a row has it already (within 1e-10): among the default rows in ascending order, else last. Stores
/// the index of P1's row in *alternative_row.
std::vector<double> table_rates(const std::vector<double> &rates, double theta, const std::optional<double> &alternative,
                                std::size_t *alternative_row);

}  // namespace contmon
