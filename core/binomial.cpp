// Log-factorials, binomial probabilities and rows.
#include <cmath>

#include "core/binomial.h"

namespace contmon {

namespace {

constexpr int kMaxFactorial = 255;

double not_a_number() { return std::sqrt(-1.0); }

// ln k! for k = 0..255.
struct LogFactorials {
  double lf[kMaxFactorial + 1];
  LogFactorials() {
    lf[0] = 0.0;
    lf[1] = 0.0;
    for (int i = 2; i <= kMaxFactorial; ++i) lf[i] = lf[i - 1] + std::log(static_cast<double>(i));
  }
};

}  // namespace

double ilfact(int n) {
  if (n < 0 || n > kMaxFactorial) return not_a_number();
  static const LogFactorials table;  // filled on the first lookup in range, once, whatever the threads
  return table.lf[n];
}

double un_checked_bin_log_pdf(int y, int n, double p) {
  // n - y is formed in a wider type: for any ints it is exact, and a difference
  // outside the int range is outside the table too.
  long long n_minus_y = static_cast<long long>(n) - y;
  int table_index = n_minus_y >= 0 && n_minus_y <= kMaxFactorial ? static_cast<int>(n_minus_y) : -1;
  double a = y * std::log(p);
  double b = static_cast<double>(n_minus_y) * std::log(1.0 - p);
  double t = a + b;
  double u = ilfact(n) + t;
  double w = ilfact(table_index) + ilfact(y);
  return u - w;
}

double bin_pdf(int y, int n, double p) {
  if (n < 0) return not_a_number();
  if (p < 0.0 || p > 1.0) return not_a_number();
  if (n == 0 || p == 0.0) return y == 0 ? 1.0 : 0.0;
  if (p == 1.0) return y == n ? 1.0 : 0.0;
  if (y < 0 || y > n) return 0.0;
  double log_pdf = un_checked_bin_log_pdf(y, n, p);
  return std::exp(log_pdf);
}

namespace {

// Fills row[0..n] outward from the rounded mean m with the ratio
// P(i+1)/P(i) = ((n - i) r) / (i + 1), r = p / (1 - p).
void fill_row_from_mean(double row[], int n, double p) {
  // m = trunc(n p + 0.5), kept within 0..n; the bounds also keep arguments the
  // callers never pass (p outside [0, 1], or NaN) from writing outside row[0..n].
  double shifted = n * p + 0.5;
  int m = 0;
  if (shifted >= n)
    m = n;
  else if (shifted >= 0.0)
    m = static_cast<int>(shifted);
  double r = p / (1.0 - p);
  row[m] = bin_pdf(m, n, p);
  for (int i = m; i < n; ++i) {
    double f = ((n - i) * r) / (i + 1);
    row[i + 1] = row[i] * f;
  }
  for (int i = m - 1; i >= 0; --i) {
    double f = ((n - i) * r) / (i + 1);
    row[i] = row[i + 1] / f;
  }
}

}  // namespace

int init_bin2(double row[], double p, int n) {
  double q = 1.0 - p;
  switch (n) {
    case 1:
      row[0] = q;
      row[1] = p;
      break;
    case 2:
      row[0] = q * q;
      row[1] = q * (p + p);
      row[2] = p * p;
      break;
    case 3:
      row[0] = (q * q) * q;
      row[1] = ((3 * p) * q) * q;
      row[2] = ((3 * p) * p) * q;
      row[3] = (p * p) * p;
      break;
    default:
      if (n >= 0) fill_row_from_mean(row, n, p);
      break;
  }
  return 0;
}

}  // namespace contmon
