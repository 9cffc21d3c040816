// The report of a run once K, THETA and PHI are known: the boundary search,
// the results and the boundary, the operating-characteristics table, the
// boundary file and the closing lines.
#include <cstdio>
#include <string>

#include "bndry/bndry.h"
#include "cross2s/cross2s.h"
#include "driver/driver_internal.h"
#include "progress/progress.h"

namespace {

// The progress line of a run and what it counts.
struct RunProgress {
  ProgressLine line = ProgressLine::on_standard_error();
  std::string program;
  int levels_tried = 0;
  std::size_t rows = 0;
};

void count_level(void *context) {
  auto *progress = static_cast<RunProgress *>(context);
  ++progress->levels_tried;
  progress->line.show(progress->program + ": searching for the boundary, level " +
                      std::to_string(progress->levels_tried));
}

void count_row(void *context, std::size_t row) {
  auto *progress = static_cast<RunProgress *>(context);
  progress->line.show(progress->program + ": operating characteristics, row " + std::to_string(row + 1) +
                      " of " + std::to_string(progress->rows));
}

}  // namespace

int report_search_failure() {
  std::printf("Internal processing error\n");
  std::printf("Please report this error and the input parameters to the author\n");
  return 1;
}

void warn_never_stops(const std::string &program, double PHI, double THETA) {
  std::fprintf(stderr,
               "%s: warning: no boundary keeps the probability of stopping at or below PHI = %g when "
               "THETA = %g, so the boundary reported never stops the trial; choose a larger PHI or a "
               "larger K\n",
               program.c_str(), PHI, THETA);
}

int run_report(const ReportOptions &options, int K, double THETA, double PHI, const char *progname) {
  RunProgress progress;
  progress.program = program_name(progname);

  int upper[kMaxStages + 1];
  double alpha[2];
  double PHIstar = 0.0;
  SetCrossingObserver(count_level, &progress);
  const int search = FindBndry(upper, alpha, &PHIstar, K, THETA, PHI);
  SetCrossingObserver(nullptr, nullptr);
  progress.line.clear();
  if (search != 0) return report_search_failure();
  if (alpha[0] == 0.0) warn_never_stops(progress.program, PHI, THETA);

  std::size_t alternative_row = 0;
  const std::vector<double> rates = report_rows(options, THETA, &alternative_row);
  const int decimals = options.rates.empty() && !options.alternative ? 2 : rate_decimals(rates);
  progress.rows = rates.size();
  std::vector<oc_summary> rows;
  auto compute_rows = [&] {
    rows = table_summaries(rates, K, upper, count_row, &progress);
    progress.line.clear();
  };
  // The alternative's line comes before the table, from its row; without one, the results are printed
  // before the table is computed.
  if (options.alternative) compute_rows();

  std::printf("K     = %d \n", K);
  std::printf("THETA = %g \n", THETA);
  std::printf("PHI   = %g \n", PHI);
  std::printf("PHI*  = %g ", PHIstar);
  std::printf("= the actual probability of hitting the upper boundary\n");
  std::printf("ALPHA = %g ", alpha[0]);
  std::printf("= the pointwise stopping probability\n");
  if (options.alternative) {
    const oc_summary &power = rows[alternative_row];
    std::printf(
        "POWER = %g = the probability of stopping when the event probability is P1 = %g"
        " (E[N] = %g)\n",
        power.phi_star, *options.alternative, power.mean_n);
  }
  std::printf("\nThe upper boundary is:\n");
  ivec_print(stdout, upper, 1, K, "b");
  std::printf("\n");
  std::fflush(stdout);

  if (!options.alternative) compute_rows();
  print_table(rates, rows, decimals);

  int status = 0;
  std::printf("\n");
  std::fflush(stdout);  // before a boundary file that goes to the same terminal or pipe
  const char *file = options.boundary_file;
  if (file == nullptr) {
    std::printf("The boundary was not written to a file (--no-output).\n");
  } else if (save_boundary_file(file, progname, upper, alpha[0], PHIstar, K, THETA, PHI) == 0) {
    std::printf("The boundary has been written to file %s in a format\n", file);
    std::printf("appropriate for reading into other supplied programs (e.g. tolk3).\n");
  } else {
    std::printf("The boundary could not be written to file %s (the reason is on standard error).\n", file);
    status = 1;
  }

  printdatetime(stdout);
  std::printf("\n");
  return status;
}
