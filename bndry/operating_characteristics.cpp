// Operating characteristics of a fixed pair of boundaries at one event
// probability: PHI* and the moments of Y, N and Y/N at the end of a trial.
#include <cmath>
#include <cstdlib>

#include "bndry/bndry.h"
#include "cross2s/cross2s.h"

oc_summary summary(double THETA, int K, const int lower[], const int upper[]) {
  const std::size_t stages = static_cast<std::size_t>(K > 0 ? K : 0) + 1;
  const std::size_t points = 3 * static_cast<std::size_t>(K > 0 ? K : 0) + 1;
  CheckedBuffer<double> lo_prob = checked_buffer<double>(stages);
  CheckedBuffer<double> up_prob = checked_buffer<double>(stages);
  CheckedBuffer<double> end_prob = checked_buffer<double>(stages);
  CheckedBuffer<double> y_val = checked_buffer<double>(points);
  CheckedBuffer<double> n_val = checked_buffer<double>(points);
  CheckedBuffer<double> yn_ratio = checked_buffer<double>(points);
  CheckedBuffer<double> yn_prob = checked_buffer<double>(points);

  if (CrossingProb(lo_prob.get(), up_prob.get(), end_prob.get(), THETA, K, lower, upper) != 0) std::exit(1);

  int yn_count[4] = {0, 0, 0, 0};
  const int last = yn_dstn(y_val.get(), n_val.get(), yn_prob.get(), yn_count, lo_prob.get(), up_prob.get(),
                           end_prob.get(), lower, upper, K);
  array_div(yn_ratio.get(), y_val.get(), n_val.get(), 0, last);

  double ratio_mv[3];
  double y_mv[3];
  double n_mv[3];
  meanvar(ratio_mv, yn_ratio.get(), yn_prob.get(), 0, last);
  meanvar(y_mv, y_val.get(), yn_prob.get(), 0, last);
  meanvar(n_mv, n_val.get(), yn_prob.get(), 0, last);

  oc_summary s;
  s.mean_y = y_mv[1];
  s.sd_y = std::sqrt(y_mv[2]);
  s.mean_n = n_mv[1];
  s.sd_n = std::sqrt(n_mv[2]);
  s.mean_yn = ratio_mv[1];
  s.sd_yn = std::sqrt(ratio_mv[2]);
  s.phi_star = array_sum(up_prob.get(), 1, K);
  return s;
}
