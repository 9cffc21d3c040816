// The binomial probability and upper-tail tables for one event probability.
#include "core/binomial.h"

namespace contmon {

BinomialTables::BinomialTables(double THETA)
    : theta_(THETA),
      prob_(new double[static_cast<std::size_t>(offset(kMaxStages + 1))]),
      surv_(new double[static_cast<std::size_t>(offset(kMaxStages + 1))]) {
  for (int i = 1; i <= kMaxStages; ++i) {
    double *row = prob_.get() + offset(i);
    if (THETA == 0.0) {
      row[0] = 1.0;
      for (int j = 1; j <= i; ++j) row[j] = 0.0;
    } else if (THETA == 1.0) {
      for (int j = 0; j < i; ++j) row[j] = 0.0;
      row[i] = 1.0;
    } else {
      init_bin2(row, THETA, i);
    }

    double *tail = surv_.get() + offset(i);
    double s = 0.0;
    for (int j = i; j >= 0; --j) {
      s = s + row[j];
      tail[j] = s;
    }
    // Dividing by the row total makes every tail row start at exactly 1.
    for (int j = i; j >= 1; --j) tail[j] = tail[j] / tail[0];
    tail[0] = 1.0;
  }
}

}  // namespace contmon
