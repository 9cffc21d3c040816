// The crossing engine of a run: the program's default (fixed by the default
// engine source linked into it) unless the run chose another. CrossingProb
// is the one entry through which the search and the table reach an engine.
#include <optional>

#include "cross2s/cross2s_internal.h"
#include "ranuni/ranuni.h"

namespace {

std::optional<CrossingEngine> selected_engine;
void (*crossing_observer)(void *context) = nullptr;
void *crossing_observer_context = nullptr;

}  // namespace

void SetCrossingEngine(CrossingEngine engine) { selected_engine = engine; }

CrossingEngine crossing_engine() { return selected_engine.value_or(default_crossing_engine); }

const char *method() { return crossing_engine() == CrossingEngine::kExact ? "Exact" : "Simulation-based"; }

void SetCrossingObserver(void (*observer)(void *context), void *context) {
  crossing_observer = observer;
  crossing_observer_context = context;
}

int CrossingProb(double lo_prob[], double up_prob[], double end_prob[], double THETA, int K,
                 const int lower[], const int upper[]) {
  if (crossing_observer != nullptr) crossing_observer(crossing_observer_context);
  const CrossingEngine engine = crossing_engine();
  if (engine == CrossingEngine::kExact)
    return ExactCrossingProb(lo_prob, up_prob, end_prob, THETA, K, lower, upper);
  const int code = check_crossing_input(THETA, K, lower, upper);
  if (code != 0) return code;
  if (engine == CrossingEngine::kPlainSimulation)
    proceed(lo_prob, up_prob, end_prob, THETA, K, lower, upper);
  else
    proceed_fast(lo_prob, up_prob, end_prob, THETA, K, lower, upper, RanGeneratorThreads());
  return 0;
}

int RuleCrossingProb(RuleOutcome *out, double THETA, int K, const int upper[]) {
  if (crossing_observer != nullptr) crossing_observer(crossing_observer_context);
  return RuleCrossingProbWith(crossing_engine(), out, THETA, K, upper);
}
