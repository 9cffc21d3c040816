// The operating-characteristics table: one row per event probability, for
// the user's THETA and a grid of hundredths in steps of 5.
#include <cmath>
#include <cstdio>

#include "bndry/bndry.h"
#include "driver/driver_internal.h"

namespace {

constexpr int kGridStep = 5;    // hundredths
constexpr int kGridLimit = 99;  // the last grid value is 95 hundredths
constexpr int kScale = 100;
constexpr double kOnGridTolerance = 1e-10;

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
  const oc_summary s = summary(THETA, K, lower, upper);
  std::printf("%-8.2f", THETA);
  std::printf("%-8.3f", s.phi_star);
  std::printf("%-8.2f%-8.2f", s.mean_y, s.sd_y);
  std::printf("%-8.2f%-8.2f", s.mean_n, s.sd_n);
  std::printf("%-8.2f%-8.2f", s.mean_yn, s.sd_yn);
  std::printf("\n");
}

void table_print(double THETA, int K, const int upper[]) {
  // A lower boundary that never stops a trial.
  CheckedBuffer<int> no_lower = checked_buffer<int>(static_cast<std::size_t>(K > 0 ? K : 0) + 1);
  for (int k = 0; k <= K; ++k) no_lower[k] = -1;

  for (const char *label : {"THETA", "PHI*", "E[Y]", "SD[Y]", "E[N]", "SD[N]", "E[Y/N]", "SD[Y/N]"}) {
    std::printf("%-8s", label);
  }
  std::printf("\n\n");

  double p[kMaxTableRows];
  const int rows = table_event_probabilities(THETA, p);
  for (int row = 0; row < rows; ++row) table_print1(p[row], K, no_lower.get(), upper);

  std::printf("\n");
  std::printf("Defintions: \n");
  std::printf("  Y    = the number of events, random, between 0 and N\n");
  std::printf("  N    = the number of patients, random, between 1 and K\n");
  std::printf("  PHI* = the actual probability of early stopping (hitting the boundary)\n");
  std::printf("  E[ ]   denotes the expected value (mean)\n");
  std::printf("  SD[ ]  denotes the standard deviation\n");
  std::printf("\n");
}
