// The list of candidate pointwise levels searched by the level bisection:
// the upper-tail values that matter below PHI, sorted, without duplicates,
// turned into midpoints and cut after the first level at or above PHI.
#include "bndry/bndry_internal.h"

double *alpha_val = nullptr;
int alpha_siz = 0;
int alpha_n = 0;

namespace {

void append_candidate(double value) {
  if (alpha_n == alpha_siz) {
    alpha_siz = alpha_siz == 0 ? 1 : 2 * alpha_siz;
    alpha_val =
        static_cast<double *>(erealloc(alpha_val, static_cast<std::size_t>(alpha_siz) * sizeof(double)));
  }
  alpha_val[alpha_n++] = value;
}

// Packs the distinct values of the sorted v[0..n-1] to the front; returns how many there are.
int remove_duplicates(double v[], int n) {
  int kept = 0;
  for (int p = 0; p < n; ++p)
    if (kept == 0 || v[p] != v[kept - 1]) v[kept++] = v[p];
  return kept;
}

}  // namespace

int shell_sort_first_increment(int n) {
  int h = 1;
  while (h <= (n - 1) / 9) h = 3 * h + 1;
  return h;
}

void shell_sort(double v[], int n) {
  for (int h = shell_sort_first_increment(n); h > 0; h /= 3) {
    for (int p = h; p < n; ++p) {
      double value = v[p];
      int q = p;
      while (q >= h && v[q - h] > value) {
        v[q] = v[q - h];
        q -= h;
      }
      v[q] = value;
    }
  }
}

void midpoints(double v[], int n) {
  for (int k = 0; k <= n - 2; ++k) v[k] = (v[k + 1] + v[k]) * 0.5;
}

void FindAlpha(double PHI, int K) {
  for (int i = 1; i <= K; ++i) {
    for (int j = i; j >= 0; --j) {
      append_candidate(bin_surv[i][j]);
      if (bin_surv[i][j] >= PHI) break;
    }
  }
  shell_sort(alpha_val, alpha_n);
  alpha_n = remove_duplicates(alpha_val, alpha_n);
  midpoints(alpha_val, alpha_n);
  for (int j = 0; j < alpha_n; ++j) {
    if (alpha_val[j] >= PHI) {
      alpha_n = j + 1;
      break;
    }
  }
}

void release_candidates() {
  std::free(alpha_val);
  alpha_val = nullptr;
  alpha_siz = 0;
  alpha_n = 0;
}
