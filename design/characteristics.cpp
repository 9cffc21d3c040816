// Operating characteristics of a rule at event probabilities: how often it
// stops, and the moments of N, Y and Y/N when a trial ends; and the progress
// and the engine of a call.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "core/extended.h"
#include "core/generator.h"
#include "core/text.h"
#include "design/design_internal.h"

namespace contmon {

namespace {

// Calls visit(N, Y, probability) for every way a trial can end: a stop at stage k with y events, or the
// end of stage K with y events.
template <class Visit>
void for_each_end(const RuleOutcome &out, Visit visit) {
  const int K = out.K;
  for (const Stop &stop : out.stops) visit(stop.k, stop.y, stop.p);
  for (int y = 0; y <= K; ++y) {
    const double p = out.end_prob[static_cast<std::size_t>(y)];
    if (p != 0.0) visit(K, y, p);
  }
}

}  // namespace

OcRow outcome_figures(const RuleOutcome &out, double rate, int trials) {
  // Population moments, sums in extended precision, divided by the total probability.
  OcRow r;
  r.rate = rate;
  r.p_stop = out.p_stop;
  Extended before_last = 0.0;
  for (int k = 1; k < out.K; ++k) before_last += out.stop_prob[static_cast<std::size_t>(k)];
  r.p_stop_before_last = std::min(static_cast<double>(before_last), 1.0);

  Extended total = 0.0, sum_n = 0.0, sum_y = 0.0, sum_ratio = 0.0;
  for_each_end(out, [&](int n, int y, double p) {
    total += p;
    sum_n += Extended(p) * Extended(n);
    sum_y += Extended(p) * Extended(y);
    sum_ratio += Extended(p) * Extended(static_cast<double>(y) / n);
  });
  const Extended mean_n = sum_n / total, mean_y = sum_y / total, mean_ratio = sum_ratio / total;
  Extended square_n = 0.0, square_y = 0.0, square_ratio = 0.0;
  for_each_end(out, [&](int n, int y, double p) {
    const Extended dn = Extended(n) - mean_n, dy = Extended(y) - mean_y,
                   dr = Extended(static_cast<double>(y) / n) - mean_ratio;
    square_n += Extended(p) * (dn * dn);
    square_y += Extended(p) * (dy * dy);
    square_ratio += Extended(p) * (dr * dr);
  });
  r.mean_n = static_cast<double>(mean_n);
  r.sd_n = std::sqrt(static_cast<double>(square_n / total));
  r.mean_y = static_cast<double>(mean_y);
  r.sd_y = std::sqrt(static_cast<double>(square_y / total));
  r.mean_proportion = static_cast<double>(mean_ratio);
  r.sd_proportion = std::sqrt(static_cast<double>(square_ratio / total));

  if (trials > 0) {
    r.se_p_stop = std::sqrt(r.p_stop * (1.0 - r.p_stop) / trials);
    r.se_mean_n = r.sd_n / std::sqrt(static_cast<double>(trials));
  } else {
    r.se_p_stop = r.se_mean_n = std::nan("");
  }
  return r;
}

void add_look_figures(OcRow &row, const RuleOutcome &out, const std::vector<int> &looks) {
  row.p_stop_at_look.clear();
  for (int n : looks)
    row.p_stop_at_look.push_back(n >= 1 && n <= out.K ? out.stop_prob[static_cast<std::size_t>(n)] : 0.0);
}

double exact_p_stop(const std::vector<int> &upper, int K, double rate) {
  RuleOutcome out;
  rule_crossing(Engine::kExact, &out, rate, K, upper.data(), {}, false);
  return out.p_stop;
}

Engine engine_of(MethodKind kind) {
  switch (kind) {
    case MethodKind::kSimulation:
      return Engine::kSimulation;
    case MethodKind::kPlainSimulation:
      return Engine::kPlainSimulation;
    case MethodKind::kExact:
      break;
  }
  return Engine::kExact;
}

// ---- Progress -------------------------------------------------------------------------------------------

CallProgress::CallProgress(const RunControl &control, double steps, std::string stage, int trials)
    : control_(control), trials_(std::max(trials, 1)) {
  checkpoint_ = [this] {
    within_ = std::min(within_ + static_cast<double>(kCheckpointTrials) / trials_, 1.0);
    report((done_ + within_) / steps_);
  };
  begin(steps, std::move(stage));
}

void CallProgress::begin(double steps, std::string stage) {
  stage_ = std::move(stage);
  done_ = 0.0;
  within_ = 0.0;
  steps_ = std::max(steps, 1.0);
  report(0.0);
}

void CallProgress::step() {
  done_ += 1.0;
  within_ = 0.0;
  report(std::min(done_ / steps_, 1.0));
}

void CallProgress::report(double fraction) {
  if (control_.progress && !control_.progress(std::min(fraction, 1.0), stage_)) throw Cancelled();
}

// ---- Evaluations ----------------------------------------------------------------------------------------

Evaluator::Evaluator(const Method &method, RandomStream *continued, CallProgress &progress)
    : engine_(engine_of(method.kind)),
      seed_(method.seed),
      trials_(method.trials),
      threads_(method.threads >= 0 ? std::min(method.threads, kMaxGeneratorThreads) : generator_threads_available()),
      continued_(continued),
      progress_(progress) {}

RuleOutcome Evaluator::outcome(const std::vector<int> &upper, int K, double rate, bool joint) {
  RandomStream fresh;
  if (continued_ == nullptr && engine_ != Engine::kExact) fresh.RanStart(seed_);
  Simulation simulation;
  simulation.stream = continued_ != nullptr ? continued_ : &fresh;
  simulation.generator_threads = threads_;
  simulation.trials = trials_;
  simulation.checkpoint = progress_.checkpoint();
  RuleOutcome out;
  if (rule_crossing(engine_, &out, rate, K, upper.data(), simulation, joint) != 0)
    throw Error("rates", "invalid rate " + shortest(rate) + ": a rate is a probability between 0 and 1");
  progress_.step();
  return out;
}

void check_method(const Method &method) {
  if (method.kind != MethodKind::kExact && (method.trials < kFewestTrials || method.trials > kMostTrials))
    throw Error("trials", format_string("invalid number of simulated trials %d: give a whole number from %d to %d",
                                        method.trials, kFewestTrials, kMostTrials));
}

std::vector<OcRow> characteristics(const Rule &rule, const std::vector<double> &rates, const Method &method,
                                   const RunControl &control) {
  check_rule(rule);
  check_method(method);
  for (double rate : rates)
    if (!(rate > 0.0 && rate < 1.0))
      throw Error("rates", "invalid rate " + shortest(rate) + ": a rate is a probability between 0 and 1");
  CallProgress progress(control, static_cast<double>(rates.size()), "operating characteristics", method.trials);
  Evaluator evaluator(method, control.stream, progress);
  const std::vector<int> upper = stage_boundary(rule);
  std::vector<OcRow> rows;
  rows.reserve(rates.size());
  for (double rate : rates) {
    const RuleOutcome out = evaluator.outcome(upper, rule.K, rate);
    rows.push_back(outcome_figures(out, rate, evaluator.trials()));
    add_look_figures(rows.back(), out, rule.looks);
  }
  return rows;
}

}  // namespace contmon
