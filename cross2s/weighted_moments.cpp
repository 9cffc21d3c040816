// Weighted mean and population variance, the moments of a discrete
// distribution given by its points and their (not necessarily normalised)
// probabilities.
#include "cross2s/cross2s.h"

void meanvar(double mv[], const double x[], const double w[], int first, int last) {
  long double W = 0.0L;
  long double S = 0.0L;
  for (int i = first; i <= last; ++i) {
    W += w[i];
    S += static_cast<long double>(w[i]) * x[i];
  }
  const long double mean = S / W;
  long double Q = 0.0L;
  for (int i = first; i <= last; ++i) {
    const long double d = x[i] - mean;
    Q += w[i] * (d * d);
  }
  mv[1] = static_cast<double>(mean);
  mv[2] = static_cast<double>(Q / W);
}
