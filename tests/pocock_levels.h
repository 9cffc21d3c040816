// The candidate levels of the Pocock boundary after every patient, computed here from the binomial tails, for
// the tests that follow the calibration's search step by step.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/binomial.h"

/// The upper tails P(S_n >= j) that matter below PHI (j from n down to the first tail at or above PHI), sorted
/// without repeats, each replaced by the midpoint to the next, cut after the first level at or above PHI.
inline std::vector<double> pocock_levels(const contmon::BinomialTables &tables, int K, double phi) {
  std::vector<double> v;
  for (int n = 1; n <= K; ++n) {
    for (int j = n; j >= 0; --j) {
      v.push_back(tables.surv(n, j));
      if (tables.surv(n, j) >= phi) break;
    }
  }
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  for (std::size_t k = 0; k + 1 < v.size(); ++k) v[k] = (v[k + 1] + v[k]) * 0.5;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] >= phi) {
      v.resize(i + 1);
      break;
    }
  }
  return v;
}
