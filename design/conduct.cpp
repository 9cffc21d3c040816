// Trial conduct under uniform accrual: patients keep entering while earlier
// ones await their outcomes, so a trial that stops at look n has enrolled the
// patients who entered by the time the n-th outcome became known.
//
// With entry times U(1) < ... < U(K), the order statistics of K uniform times
// on [0, A], the n-th outcome is known at U(n) + TAU. The stop depends on the
// outcomes alone, not on the entry times, so each figure is a sum over the
// stage k of the stop (or the end at K) of P(stop at k) times a conditional
// mean that depends on k only:
//   E[U(k)] = A k / (K + 1);
//   patients pending at k: those among the K - k later entries within TAU of
//   U(k). The spacing U(k + m) - U(k) has the law of U(m), and
//   P(U(m) <= TAU) = P(B >= m) for B ~ Binomial(K, min(TAU / A, 1)), so the
//   mean number pending is the sum over m = 1..K-k of P(B >= m), that is
//   E[min(B, K - k)];
//   events among them: each has an event with the true probability.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/extended.h"
#include "core/text.h"
#include "design/design_internal.h"

namespace contmon {

namespace {

// E[min(B, K - k)] for k = 0..K, B ~ Binomial(K, x). The law of B is built one patient at a time from sums
// and products only, so that it is the same on every machine.
std::vector<double> mean_pending(int K, double x) {
  std::vector<double> law{1.0};
  for (int i = 0; i < K; ++i) {
    std::vector<double> next(law.size() + 1, 0.0);
    for (std::size_t j = 0; j < law.size(); ++j) {
      next[j] += law[j] * (1.0 - x);
      next[j + 1] += law[j] * x;
    }
    law = std::move(next);
  }
  std::vector<double> pending(static_cast<std::size_t>(K) + 1, 0.0);
  for (int k = 0; k <= K; ++k) {
    Extended sum = 0.0;
    for (int j = 1; j <= K; ++j) sum += Extended(law[static_cast<std::size_t>(j)]) * Extended(std::min(j, K - k));
    pending[static_cast<std::size_t>(k)] = static_cast<double>(sum);
  }
  return pending;
}

void check_time(const char *field, const char *option, double value) {
  if (!(value > 0.0 && std::isfinite(value)))
    throw Error(field, format_string("invalid %s %s: give a positive number of time units", option,
                                     shortest(value).c_str()));
}

}  // namespace

std::vector<OcRow> conduct(const Rule &rule, const std::vector<double> &rates, const Accrual &accrual,
                           const RunControl &control) {
  check_time("accrual", "--accrual", accrual.period);
  check_time("window", "--window", accrual.window);
  check_rule(rule);
  for (double rate : rates)
    if (!(rate > 0.0 && rate < 1.0))
      throw Error("rates", "invalid rate " + shortest(rate) + ": a rate is a probability between 0 and 1");
  const int K = rule.K;
  const double x = std::min(accrual.window / accrual.period, 1.0);
  const std::vector<double> pending = mean_pending(K, x);
  CallProgress progress(control, static_cast<double>(rates.size()), "trial conduct");
  Evaluator evaluator(Method{}, nullptr, progress);
  const std::vector<int> upper = stage_boundary(rule);
  std::vector<OcRow> rows;
  for (double rate : rates) {
    const RuleOutcome out = evaluator.outcome(upper, K, rate);
    OcRow row = outcome_figures(out, rate, 0);
    Extended end = 0.0;
    for (double p : out.end_prob) end += p;
    // The trial ends at stage k with probability stop_prob[k], or at K having run its course.
    Extended enrolled = end * Extended(K), time = end * Extended(accrual.period * K / (K + 1) + accrual.window),
             pending_events = 0.0;
    for (int k = 1; k <= K; ++k) {
      const Extended p = out.stop_prob[static_cast<std::size_t>(k)];
      const double waiting = pending[static_cast<std::size_t>(k)];
      enrolled += p * Extended(k + waiting);
      time += p * Extended(accrual.period * k / (K + 1) + accrual.window);
      pending_events += p * Extended(waiting);
    }
    row.mean_enrolled = static_cast<double>(enrolled);
    row.mean_calendar_time = static_cast<double>(time);
    row.mean_events_with_pending = static_cast<double>(Extended(row.mean_y) + Extended(rate) * pending_events);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace contmon
