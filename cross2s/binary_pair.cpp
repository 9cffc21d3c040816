// A pair of correlated binary outcomes described by their two probabilities
// and their odds ratio.
#include <cmath>

#include "cross2s/cross2s.h"

namespace {

// P(both outcomes are 1) for probabilities p1, p2 and odds ratio psi.
double both_events_probability(double p1, double p2, double psi) {
  if (psi == 1.0) return p1 * p2;
  double d = psi - 1.0;
  double s = 1.0 + d * (p1 + p2);
  return (s - std::sqrt(s * s - 4.0 * psi * d * p1 * p2)) * 0.5 / d;
}

}  // namespace

int cond_mv(double mean[], double var[], const double x[], const double n[], int K,
            const BinaryPairParameters *par) {
  const double p1 = par->p1;
  const double p2 = par->p2;
  const double p11 = both_events_probability(p1, p2, par->psi);
  const double a = p11 / p1;                 // P(second = 1 | first = 1)
  const double c = (p2 - p11) / (1.0 - p1);  // P(second = 1 | first = 0)
  for (int i = 0; i <= K; ++i) {
    double f = x[i] / n[i];
    mean[i] = f * a + (1.0 - f) * c;
    var[i] = (f * a * (1.0 - a) + (1.0 - f) * c * (1.0 - c)) / n[i];
  }
  return 0;
}

double psi2cor(double p1, double p2, double psi) {
  double p11 = both_events_probability(p1, p2, psi);
  return (p11 - p1 * p2) / std::sqrt(p1 * (1.0 - p1) * p2 * (1.0 - p2));
}
