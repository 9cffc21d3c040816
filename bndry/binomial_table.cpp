// The binomial probability and upper-tail tables for one event probability,
// cached under (number of rows, event probability).
#include "bndry/bndry_internal.h"

double bin_prob[kTableSize][kTableSize];
double bin_surv[kTableSize][kTableSize];
int bin_prob_max_m = -1;
double bin_prob_theta = -1.0;

int init_bin(double prob[][kTableSize], double surv[][kTableSize], double THETA, int m) {
  if (m < 1 || m > kMaxStages) return 1;
  if (!(THETA >= 0.0 && THETA <= 1.0)) return 1;  // a NaN is refused too
  if (m == bin_prob_max_m && THETA == bin_prob_theta) return 0;

  for (int i = 1; i <= m; ++i) {
    double *row = prob[i];
    if (THETA == 0.0) {
      row[0] = 1.0;
      for (int j = 1; j <= i; ++j) row[j] = 0.0;
    } else if (THETA == 1.0) {
      for (int j = 0; j < i; ++j) row[j] = 0.0;
      row[i] = 1.0;
    } else {
      init_bin2(row, THETA, i);
    }

    double *tail = surv[i];
    double s = 0.0;
    for (int j = i; j >= 0; --j) {
      s = s + row[j];
      tail[j] = s;
    }
    // Dividing by the row total makes every tail row start at exactly 1.
    for (int j = i; j >= 1; --j) tail[j] = tail[j] / tail[0];
    tail[0] = 1.0;
  }

  bin_prob_theta = THETA;
  bin_prob_max_m = m;
  return 0;
}
