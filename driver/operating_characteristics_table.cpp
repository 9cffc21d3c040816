// The operating-characteristics table: one row per event probability, for
// the user's THETA and a grid of hundredths in steps of 5, or for the rates
// a run asks for.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bndry/bndry.h"
#include "driver/driver_internal.h"

namespace {

constexpr int kGridStep = 5;    // hundredths
constexpr int kGridLimit = 99;  // the last grid value is 95 hundredths
constexpr int kScale = 100;
constexpr double kOnGridTolerance = 1e-10;
constexpr int kColumnWidth = 8;

// A lower boundary that never stops a trial, for stages 0..K.
CheckedBuffer<int> no_lower_boundary(int K) {
  CheckedBuffer<int> lower = checked_buffer<int>(static_cast<std::size_t>(K > 0 ? K : 0) + 1);
  for (int k = 0; k <= K; ++k) lower[k] = -1;
  return lower;
}

void print_row(double THETA, const oc_summary &s, int decimals) {
  std::printf("%-*.*f", std::max(kColumnWidth, decimals + 3), decimals, THETA);
  std::printf("%-8.3f", s.phi_star);
  std::printf("%-8.2f%-8.2f", s.mean_y, s.sd_y);
  std::printf("%-8.2f%-8.2f", s.mean_n, s.sd_n);
  std::printf("%-8.2f%-8.2f", s.mean_yn, s.sd_yn);
  std::printf("\n");
}

}  // namespace

int round_up(int n, int m) {
  if (m == 0) return n;  // no multiple to round to
  const int q = n / m;
  const int r = n % m;
  return r == 0 ? n : (q + 1) * m;
}

int table_event_probabilities(double THETA, double p[kMaxTableRows]) {
  // The product is formed in extended precision: 0.21 (stored slightly below 0.21) gives 20, not 21.
  const long double scaled = THETA * static_cast<long double>(kScale);
  // Truncation to int is defined only within its range (and not for NaN); the program tabulates THETA in
  // (0, 1) only, so the bound matters to no real input.
  const int t = std::fabs(scaled) < 1e9L ? static_cast<int>(scaled) : 0;
  const int start = round_up(t, kGridStep);

  int rows = 0;
  if (std::fabs(THETA - static_cast<double>(start) / kScale) > kOnGridTolerance) p[rows++] = THETA;
  for (int g = start; g <= kGridLimit; g += kGridStep) {
    if (g > 0) p[rows++] = static_cast<double>(g) / kScale;
  }
  return rows;
}

void table_print1(double THETA, int K, const int lower[], const int upper[]) {
  print_row(THETA, summary(THETA, K, lower, upper), 2);
}

std::vector<oc_summary> table_summaries(const std::vector<double> &p, int K, const int upper[],
                                        void (*before_row)(void *context, std::size_t row), void *context) {
  const CheckedBuffer<int> no_lower = no_lower_boundary(K);
  std::vector<oc_summary> rows;
  rows.reserve(p.size());
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (before_row != nullptr) before_row(context, i);
    rows.push_back(summary(p[i], K, no_lower.get(), upper));
  }
  return rows;
}

void print_table(const std::vector<double> &p, const std::vector<oc_summary> &rows, int decimals) {
  std::printf("%-*s", std::max(kColumnWidth, decimals + 3), "THETA");
  for (const char *label : {"PHI*", "E[Y]", "SD[Y]", "E[N]", "SD[N]", "E[Y/N]", "SD[Y/N]"}) {
    std::printf("%-8s", label);
  }
  std::printf("\n\n");

  for (std::size_t row = 0; row < rows.size(); ++row) print_row(p[row], rows[row], decimals);

  std::printf("\n");
  std::printf("Defintions: \n");
  std::printf("  Y    = the number of events, random, between 0 and N\n");
  std::printf("  N    = the number of patients, random, between 1 and K\n");
  std::printf("  PHI* = the actual probability of early stopping (hitting the boundary)\n");
  std::printf("  E[ ]   denotes the expected value (mean)\n");
  std::printf("  SD[ ]  denotes the standard deviation\n");
  std::printf("\n");
}

void table_print(double THETA, int K, const int upper[]) {
  double p[kMaxTableRows];
  const std::vector<double> rows(p, p + table_event_probabilities(THETA, p));
  print_table(rows, table_summaries(rows, K, upper), 2);
}

int rate_decimals(const std::vector<double> &p) {
  constexpr int kMost = 9;
  int decimals = 2;
  for (double rate : p) {
    while (decimals < kMost) {
      const double scaled = rate * std::pow(10.0, decimals);
      if (std::fabs(scaled - std::round(scaled)) < 1e-6) break;
      ++decimals;
    }
  }
  return decimals;
}

std::vector<double> report_rows(const ReportOptions &options, double THETA, std::size_t *alternative_row) {
  std::vector<double> rows = options.rates;
  const bool default_rows = rows.empty();
  if (default_rows) {
    double p[kMaxTableRows];
    rows.assign(p, p + table_event_probabilities(THETA, p));
  }
  if (!options.alternative) return rows;
  const double P1 = *options.alternative;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (std::fabs(rows[i] - P1) <= kOnGridTolerance) {
      *alternative_row = i;
      return rows;
    }
  }
  std::size_t at = rows.size();
  if (default_rows) {
    // After THETA's own row, the grid ascends.
    at = !rows.empty() && rows[0] == THETA ? 1 : 0;
    while (at < rows.size() && rows[at] < P1) ++at;
  }
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), P1);
  *alternative_row = at;
  return rows;
}
