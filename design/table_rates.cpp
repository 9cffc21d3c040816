// The rows of an operating-characteristics table: the user's THETA and a grid
// of hundredths in steps of 5, or the rates a run asks for, with P1's row.
#include <cmath>

#include "contmon/report.h"
#include "core/extended.h"

namespace contmon {

namespace {

constexpr int kGridStep = 5;    // hundredths
constexpr int kGridLimit = 99;  // the last grid value is 95 hundredths
constexpr int kScale = 100;
constexpr double kOnGridTolerance = 1e-10;

// n rounded up to a multiple of m (quotient and remainder truncated toward zero).
int round_up(int n, int m) {
  const int q = n / m;
  const int r = n % m;
  return r == 0 ? n : (q + 1) * m;
}

}  // namespace

std::vector<double> default_rates(double THETA) {
  // The product is formed in extended precision: 0.21 (stored slightly below 0.21) gives 20, not 21.
  // Truncation to int is defined only within its range (and not for NaN); THETA lies in (0, 1).
  const int t = std::fabs(THETA) < 1e7 ? static_cast<int>(Extended(THETA) * Extended(kScale)) : 0;
  const int start = round_up(t, kGridStep);

  std::vector<double> p;
  if (std::fabs(THETA - static_cast<double>(start) / kScale) > kOnGridTolerance) p.push_back(THETA);
  for (int g = start; g <= kGridLimit; g += kGridStep) {
    if (g > 0) p.push_back(static_cast<double>(g) / kScale);
  }
  return p;
}

std::vector<double> table_rates(const std::vector<double> &rates, double theta, const std::optional<double> &alternative,
                                std::size_t *alternative_row) {
  std::vector<double> rows = rates;
  const bool default_rows = rows.empty();
  if (default_rows) {
    rows = default_rates(theta);
    // A THETA within 1e-10 of 0 is not a grid value either: its row comes first all the same.
    if (rows.empty() || std::fabs(rows[0] - theta) > kOnGridTolerance) rows.insert(rows.begin(), theta);
  }
  if (!alternative) return rows;
  const double P1 = *alternative;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (std::fabs(rows[i] - P1) <= kOnGridTolerance) {
      *alternative_row = i;
      return rows;
    }
  }
  std::size_t at = rows.size();
  if (default_rows) {
    // After THETA's own row, the grid ascends.
    at = !rows.empty() && rows[0] == theta ? 1 : 0;
    while (at < rows.size() && rows[at] < P1) ++at;
  }
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), P1);
  *alternative_row = at;
  return rows;
}

}  // namespace contmon
