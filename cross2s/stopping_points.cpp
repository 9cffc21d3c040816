// The reachable stopping points of a monitored trial and the joint
// distribution of (Y, N), the events and patients observed when it ends.
#include <algorithm>

#include "bndry/bndry.h"
#include "cross2s/cross2s_internal.h"

int mark_l(int lo_flag[], int end_flag[], const int lower[], int K) {
  for (int k = 1; k <= K; ++k) lo_flag[k] = 1;
  lo_flag[0] = 0;

  // Stages before the first lower boundary value stop nobody.
  int first = 1;
  while (first <= K && lower[first] < 0) lo_flag[first++] = 0;

  // A stage whose value does not exceed that of an earlier possible stage is unreachable:
  // a trial that passed the earlier stage already has more events than that value.
  for (int i = first; i <= K; ++i) {
    if (lo_flag[i] == 0) continue;
    for (int j = i + 1; j <= K && lower[j] <= lower[i]; ++j) lo_flag[j] = 0;
  }

  // A trial that passed the last possible lower stop has more than its value in events.
  int last = K;
  while (last >= 1 && lo_flag[last] == 0) --last;
  if (last >= 1 && lower[last] >= 0) {
    for (int y = std::min(lower[last], K); y >= 0; --y) end_flag[y] = 0;
  }
  return 0;
}

int mark_u(int up_flag[], int end_flag[], const int upper[], int K) {
  for (int k = 1; k <= K; ++k) up_flag[k] = 1;
  up_flag[0] = 0;

  // After k patients the count is at most k.
  int first = 1;
  while (first <= K && upper[first] > first) up_flag[first++] = 0;

  // From a possible stage i the count gains at most one per stage, so a later value at least
  // upper[i] + (j - i) cannot be met by a trial that passed stage i.
  for (int i = first; i <= K; ++i) {
    if (up_flag[i] == 0) continue;
    for (int j = i + 1; j <= K && upper[j] >= upper[i] + (j - i); ++j) up_flag[j] = 0;
  }

  // A trial that passed the last possible upper stop k has at most upper[k] - 1 events there
  // and at most upper[k] - 1 + (K - k) at the end.
  int last = K;
  while (last >= 1 && up_flag[last] == 0) --last;
  if (last >= 1) {
    for (int y = std::max(upper[last] + (K - last), 0); y <= K; ++y) end_flag[y] = 0;
  }
  return 0;
}

int mark(int lo_flag[], int up_flag[], int end_flag[], const int lower[], const int upper[], int K) {
  if (K <= 0) return 0;
  for (int y = 0; y <= K; ++y) end_flag[y] = 1;
  mark_l(lo_flag, end_flag, lower, K);
  mark_u(up_flag, end_flag, upper, K);
  return 0;
}

int yn_dstn(double y_val[], double n_val[], double yn_prob[], int yn_count[], const double lo_prob[],
            const double up_prob[], const double end_prob[], const int lower[], const int upper[], int K) {
  const std::size_t flags = static_cast<std::size_t>(std::max(K, 0)) + 1;
  CheckedBuffer<int> lo_flag = checked_buffer<int>(flags);
  CheckedBuffer<int> up_flag = checked_buffer<int>(flags);
  CheckedBuffer<int> end_flag = checked_buffer<int>(flags);
  mark(lo_flag.get(), up_flag.get(), end_flag.get(), lower, upper, K);

  int last = -1;
  auto list = [&](int y, int n, double p) {
    ++last;
    y_val[last] = y;
    n_val[last] = n;
    yn_prob[last] = p;
  };
  int lower_stops = 0;
  int upper_stops = 0;
  int end_points = 0;
  for (int k = 1; k <= K; ++k) {
    if (lo_flag[k] == 1) {
      list(lower[k], k, lo_prob[k]);
      ++lower_stops;
    }
  }
  for (int k = 1; k <= K; ++k) {
    if (up_flag[k] == 1) {
      list(upper[k], k, up_prob[k]);
      ++upper_stops;
    }
  }
  for (int y = 0; y <= K; ++y) {
    if (end_flag[y] == 1) {
      list(y, K, end_prob[y]);
      ++end_points;
    }
  }
  yn_count[1] = lower_stops;
  yn_count[2] = upper_stops;
  yn_count[3] = end_points;
  return last;
}
