// Operating characteristics of a rule at one event probability: how often it
// stops, and the moments of N, Y and Y/N when a trial ends.
#include <cmath>
#include <vector>

#include "cross2s/cross2s_internal.h"
#include "design/design.h"

namespace {

// Calls visit(N, Y, probability) for every way a trial can end: a stop at stage k with y events, or the
// end of stage K with y events.
template <class Visit>
void for_each_end(const RuleOutcome &out, Visit visit) {
  const int K = out.K;
  const auto width = static_cast<std::size_t>(K) + 1;
  for (int k = 1; k <= K; ++k)
    for (int y = 0; y <= k; ++y) {
      const double p = out.stop_joint[static_cast<std::size_t>(k) * width + static_cast<std::size_t>(y)];
      if (p != 0.0) visit(k, y, p);
    }
  for (int y = 0; y <= K; ++y) {
    const double p = out.end_prob[static_cast<std::size_t>(y)];
    if (p != 0.0) visit(K, y, p);
  }
}

// The figures of a row from the outcome of the rule at its rate; population moments, sums in extended
// precision, divided by the total probability.
OcRow figures(CrossingEngine engine, const RuleOutcome &out, double rate) {
  OcRow r;
  r.rate = rate;
  r.p_stop = out.p_stop;
  long double before_last = 0.0L;
  for (int k = 1; k < out.K; ++k) before_last += out.stop_prob[static_cast<std::size_t>(k)];
  r.p_stop_before_last = static_cast<double>(before_last);

  long double total = 0.0L, sum_n = 0.0L, sum_y = 0.0L, sum_ratio = 0.0L;
  for_each_end(out, [&](int n, int y, double p) {
    total += p;
    sum_n += static_cast<long double>(p) * n;
    sum_y += static_cast<long double>(p) * y;
    sum_ratio += static_cast<long double>(p) * (static_cast<double>(y) / n);
  });
  const long double mean_n = sum_n / total, mean_y = sum_y / total, mean_ratio = sum_ratio / total;
  long double square_n = 0.0L, square_y = 0.0L, square_ratio = 0.0L;
  for_each_end(out, [&](int n, int y, double p) {
    const long double dn = n - mean_n, dy = y - mean_y, dr = static_cast<double>(y) / n - mean_ratio;
    square_n += p * (dn * dn);
    square_y += p * (dy * dy);
    square_ratio += p * (dr * dr);
  });
  r.mean_n = static_cast<double>(mean_n);
  r.sd_n = std::sqrt(static_cast<double>(square_n / total));
  r.mean_y = static_cast<double>(mean_y);
  r.sd_y = std::sqrt(static_cast<double>(square_y / total));
  r.mean_proportion = static_cast<double>(mean_ratio);
  r.sd_proportion = std::sqrt(static_cast<double>(square_ratio / total));

  if (engine == CrossingEngine::kExact) {
    r.se_p_stop = r.se_mean_n = std::nan("");
  } else {
    const double trials = kReplicates;
    r.se_p_stop = std::sqrt(r.p_stop * (1.0 - r.p_stop) / trials);
    r.se_mean_n = r.sd_n / std::sqrt(trials);
  }
  return r;
}

}  // namespace

int rule_oc_with(CrossingEngine engine, const Rule &rule, double rate, OcRow *row) {
  const std::vector<int> upper = stage_boundary(rule);
  RuleOutcome out;
  const int code = RuleCrossingProbWith(engine, &out, rate, rule.K, upper.data());
  if (code != 0) return code;
  *row = figures(engine, out, rate);
  return 0;
}

// Through RuleCrossingProb, which calls the crossing observer as the search's estimates do.
int rule_oc(const Rule &rule, double rate, OcRow *row) {
  const std::vector<int> upper = stage_boundary(rule);
  RuleOutcome out;
  const int code = RuleCrossingProb(&out, rate, rule.K, upper.data());
  if (code != 0) return code;
  *row = figures(crossing_engine(), out, rate);
  return 0;
}
