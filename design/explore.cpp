// Exploring designs beyond one calibration: the rule of a fixed constant, the
// smallest sample size with enough power, and the exact interval for the
// event probability that a stop at a look implies.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/text.h"
#include "design/design_internal.h"

namespace contmon {

std::vector<int> schedule_for(int K, const Schedule &schedule) {
  std::vector<int> list;
  for (int look : schedule.list)
    if (look <= K) list.push_back(look);
  // A cohort longer than K leaves K as the only look.
  return schedule_looks(K, list, std::min(schedule.cohort, K), schedule.start);
}

Calibration fixed_design(const Design &design, double constant, const Method &method, const RunControl &control) {
  check_design(design);
  check_method(method);
  const ShapeKind kind = design.shape.kind;
  const bool probability =
      kind == ShapeKind::kPocock || kind == ShapeKind::kBayes || kind == ShapeKind::kChenChaloner;
  if (probability ? !(constant > 0.0 && constant < 1.0) : !std::isfinite(constant))
    throw Error("constant", "invalid --constant " + shortest(constant) + ": for the shape " +
                                shape_name(design.shape) +
                                (probability ? " the constant is a probability, between 0 and 1"
                                             : " the constant is a finite number"));
  Calibration c;
  c.fixed = true;
  c.constant = constant;
  c.rule = Rule{design.K, design_looks(design), shape_counts(design, constant)};
  c.never_stops = true;
  for (std::size_t i = 0; i < c.rule.looks.size(); ++i)
    if (c.rule.counts[i] <= c.rule.looks[i]) c.never_stops = false;
  CallProgress progress(control, 2.0, "evaluating the rule", method.trials);
  RandomStream seeded(method.seed);
  Evaluator evaluator(method, control.stream != nullptr ? control.stream : &seeded, progress);
  const std::vector<int> upper = stage_boundary(c.rule);
  const RuleOutcome out = evaluator.outcome(upper, design.K, design.theta);
  c.at_theta = outcome_figures(out, design.theta, evaluator.trials());
  add_look_figures(*c.at_theta, out, c.rule.looks);
  c.phi_star = out.p_stop;
  c.phi_star_exact = evaluator.trials() > 0 ? exact_p_stop(upper, design.K, design.theta) : c.phi_star;
  return c;
}

SampleSizeSearch find_sample_size(const Design &design, const Schedule &schedule, double alternative, double power,
                                  const RunControl &control) {
  check_design(design);
  if (!(alternative > design.theta && alternative < 1.0))
    throw Error("alternative", "--alternative P1 = " + shortest(alternative) + " is not above THETA = " +
                                   shortest(design.theta) + ": P1 is an unacceptable event probability, higher than THETA");
  if (!(power > 0.0 && power < 1.0))
    throw Error("power", "invalid --find-k " + shortest(power) + ": the power is a probability between 0 and 1");
  SampleSizeSearch search;
  const int first = std::max(1, schedule.start);
  CallProgress progress(control, design.K - first + 1.0, "searching for the sample size");
  double best = -1.0;
  for (int k = first; k <= design.K; ++k) {
    Design d = design;
    d.K = k;
    d.looks = schedule_for(k, schedule);
    d.min_events = std::min(design.min_events, k);
    const Calibration c = contmon::design(d);
    const std::vector<int> upper = stage_boundary(c.rule);
    RuleOutcome at_alternative;
    rule_crossing(Engine::kExact, &at_alternative, alternative, k, upper.data());
    const OcRow row = outcome_figures(at_alternative, alternative, 0);
    SampleSizeStep step;
    step.K = k;
    step.constant = c.constant;
    step.phi_star = c.phi_star;
    step.power = row.p_stop;
    step.mean_n_theta = c.at_theta ? c.at_theta->mean_n : static_cast<double>(k);
    step.mean_n_alternative = row.mean_n;
    step.never_stops = c.never_stops;
    search.steps.push_back(step);
    if (step.power > best) best = step.power, search.best_k = k;
    if (step.power >= power && !search.smallest_k) search.smallest_k = k;
    progress.step();
  }
  for (auto it = search.steps.rbegin(); it != search.steps.rend() && it->power >= power; ++it) search.stable_k = it->K;
  return search;
}

namespace {

// P(Binomial(n, p) >= y) for 0 < p < 1 and 1 <= y <= n, with P(Y = y), from sums, products and quotients
// only, so that it is the same double on every machine (the interval is printed to the last digit): the
// terms relative to the one at the mode, the largest, so that none overflows and those that underflow do
// not matter against the sum.
struct Tail {
  double tail = 0.0;  // P(Y >= y)
  double at = 0.0;    // P(Y = y)
};

Tail binomial_upper_tail(int n, double p, int y) {
  const int mode = std::min(n, static_cast<int>((n + 1) * p));
  const double odds = p / (1.0 - p);
  double total = 1.0, tail = mode >= y ? 1.0 : 0.0, at = mode == y ? 1.0 : 0.0;
  double term = 1.0;
  for (int k = mode; k < n; ++k) {  // t(k + 1) = t(k) (n - k) / (k + 1) p / (1 - p)
    term = term * ((n - k) / (k + 1.0)) * odds;
    total += term;
    if (k + 1 >= y) tail += term;
    if (k + 1 == y) at = term;
  }
  term = 1.0;
  for (int k = mode; k > 0; --k) {
    term = term * (k / (n - k + 1.0)) / odds;
    total += term;
    if (k - 1 >= y) tail += term;
    if (k - 1 == y) at = term;
  }
  return {tail / total, at / total};
}

// The p in (0, 1) at which P(Binomial(n, p) >= y) equals target: Newton's steps on the tail, whose slope is
// y P(Y = y) / p, kept inside a bracket that bisection narrows when a step would leave it; to within a few
// units in the last place.
double tail_root(int n, int y, double target) {
  double lo = 0.0, hi = 1.0, p = static_cast<double>(y) / n;
  if (p >= 1.0) p = 0.5;
  for (int i = 0; i < 200; ++i) {
    const Tail t = binomial_upper_tail(n, p, y);
    if (t.tail == target) return p;
    (t.tail < target ? lo : hi) = p;
    const double slope = y * t.at / p;
    double next = p - (t.tail - target) / slope;
    if (!(next > lo && next < hi)) next = lo + (hi - lo) / 2;
    if (std::fabs(next - p) <= 4e-16 * p || hi - lo <= 4e-16 * hi) return next;
    p = next;
  }
  return p;
}

}  // namespace

std::pair<double, double> clopper_pearson(int y, int n, double level) {
  if (n < 1 || y < 0 || y > n || !(level > 0.0 && level < 1.0))
    throw Error("interval", format_string("no interval for %d events in %d patients at level %s", y, n,
                                          shortest(level).c_str()));
  const double tail = (1.0 - level) / 2;
  // Lower end: the p with P(Y >= y) = tail; upper end: the p with P(Y <= y) = tail, P(Y >= y + 1) = 1 - tail.
  const double low = y == 0 ? 0.0 : tail_root(n, y, tail);
  const double high = y == n ? 1.0 : tail_root(n, y + 1, 1.0 - tail);
  return {low, high};
}

}  // namespace contmon
