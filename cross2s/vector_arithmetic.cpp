// Arithmetic on double vectors over an inclusive index range. Sums and dot
// products accumulate in extended precision and are rounded to double only
// when stored or returned.
#include "cross2s/cross2s.h"

double array_sum(const double x[], int lo, int hi) {
  long double s = 0.0L;
  for (int i = lo; i <= hi; ++i) s += x[i];
  return static_cast<double>(s);
}

double array_csum(double cum[], const double x[], int lo, int hi) {
  long double s = 0.0L;
  for (int i = lo; i <= hi; ++i) {
    s += x[i];
    cum[i] = static_cast<double>(s);
  }
  return static_cast<double>(s);
}

double array_dot(const double x[], const double y[], int lo, int hi) {
  long double s = 0.0L;
  for (int i = lo; i <= hi; ++i) s += static_cast<long double>(x[i]) * y[i];
  return static_cast<double>(s);
}

void array_plus(double z[], const double x[], const double y[], int lo, int hi) {
  for (int i = lo; i <= hi; ++i) z[i] = x[i] + y[i];
}

void array_minus(double z[], const double x[], const double y[], int lo, int hi) {
  for (int i = lo; i <= hi; ++i) z[i] = x[i] - y[i];
}

void array_mul(double z[], const double x[], const double y[], int lo, int hi) {
  for (int i = lo; i <= hi; ++i) z[i] = x[i] * y[i];
}

void array_div(double z[], const double x[], const double y[], int lo, int hi) {
  for (int i = lo; i <= hi; ++i) z[i] = x[i] / y[i];
}

// One loop serves both the in-place and the separate-array case: element i is
// read before it is written.
void array_plusc(double z[], const double x[], double c, int lo, int hi) {
  for (int i = lo; i <= hi; ++i) z[i] = x[i] + c;
}

void array_mulc(double z[], const double x[], double c, int lo, int hi) {
  for (int i = lo; i <= hi; ++i) z[i] = x[i] * c;
}
