// Binomial arithmetic: log-factorials, single probabilities, whole rows of
// probabilities, and the tables of probabilities and upper tails for one
// event probability and every stage 1..255.
#pragma once

#include <memory>

#include "contmon/limits.h"

namespace contmon {

/// ln n! for 0 <= n <= 255, NaN otherwise. The table is filled once per process, thread-safely.
double ilfact(int n);

/// ln P(Y = y) by the bare log-factorial formula, without special cases.
double un_checked_bin_log_pdf(int y, int n, double p);

/// P(Y = y) for Y ~ Binomial(n, p), with exact answers at p = 0, p = 1 and n = 0.
double bin_pdf(int y, int n, double p);

/// Writes the Binomial(n, p) row into row[0..n] for 0 < p < 1 (closed form for n <= 3); returns 0.
int init_bin2(double row[], double p, int n);

/// The binomial probabilities P(S_i = j) and the normalised upper tails P(S_i >= j) / P(S_i >= 0) for one
/// event probability, stages i = 1..255, counts j = 0..i; the tail at j = 0 is exactly 1. Each call that
/// needs them builds its own.
class BinomialTables {
 public:
  /// The tables for THETA in [0, 1].
  explicit BinomialTables(double THETA);

  /// The event probability the tables are for.
  double theta() const { return theta_; }

  /// P(S_i = j), 1 <= i <= 255, 0 <= j <= i.
  double prob(int i, int j) const { return prob_[offset(i) + j]; }

  /// P(S_i >= j) normalised, 1 <= i <= 255, 0 <= j <= i.
  double surv(int i, int j) const { return surv_[offset(i) + j]; }

 private:
  static int offset(int i) { return i * (i + 1) / 2; }
  double theta_;
  std::unique_ptr<double[]> prob_;
  std::unique_ptr<double[]> surv_;
};

}  // namespace contmon
