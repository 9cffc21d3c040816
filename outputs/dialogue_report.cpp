// The dialogue's report, as it has always read: the results of the Pocock
// search after every patient, the boundary, and the operating-characteristics
// table with its definitions (the odd spelling of its heading included).
#include <algorithm>

#include "outputs/outputs_internal.h"

namespace contmon {

std::string dialogue_results(const Design &design, const Calibration &calibration) {
  std::string text = format_string("K     = %d \n", design.K);
  text += format_string("THETA = %g \n", design.theta);
  text += format_string("PHI   = %g \n", design.phi);
  text += format_string("PHI*  = %g ", calibration.phi_star);
  text += "= the actual probability of hitting the upper boundary\n";
  text += format_string("ALPHA = %g ", calibration.constant);
  text += "= the pointwise stopping probability\n";
  text += "\nThe upper boundary is:\n";
  const Rule &rule = calibration.rule;
  for (std::size_t i = 0; i < rule.looks.size(); ++i)
    text += format_string("b[%d] = %d \n", rule.looks[i], std::min(rule.counts[i], rule.looks[i] + 1));
  return text + "\n";
}

std::string dialogue_table(const std::vector<OcRow> &rows) {
  std::string text;
  for (const char *label : {"THETA", "PHI*", "E[Y]", "SD[Y]", "E[N]", "SD[N]", "E[Y/N]", "SD[Y/N]"})
    text += format_string("%-8s", label);
  text += "\n\n";
  for (const OcRow &row : rows) {
    text += format_string("%-8.2f%-8.3f", row.rate, row.p_stop);
    text += format_string("%-8.2f%-8.2f", row.mean_y, row.sd_y);
    text += format_string("%-8.2f%-8.2f", row.mean_n, row.sd_n);
    text += format_string("%-8.2f%-8.2f\n", row.mean_proportion, row.sd_proportion);
  }
  text += "\n";
  text += "Defintions: \n";
  text += "  Y    = the number of events, random, between 0 and N\n";
  text += "  N    = the number of patients, random, between 1 and K\n";
  text += "  PHI* = the actual probability of early stopping (hitting the boundary)\n";
  text += "  E[ ]   denotes the expected value (mean)\n";
  text += "  SD[ ]  denotes the standard deviation\n";
  return text + "\n";
}

}  // namespace contmon
