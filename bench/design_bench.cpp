// Cost of a design with the exact method at K = 255: the calibration of each
// shape, at every patient and in cohorts of 5 from patient 20, followed by 20
// rows of operating characteristics of the rule it chose.
#include <benchmark/benchmark.h>

#include <vector>

#include "contmon/design.h"

namespace contmon {
namespace {

Shape shape_of(int index) {
  Shape s;
  switch (index) {
    case 0:
      s.kind = ShapeKind::kPocock;
      break;
    case 1:
      s.kind = ShapeKind::kObf;
      break;
    case 2:
      s.kind = ShapeKind::kWangTsiatis, s.delta = 0.25;
      break;
    case 3:
      s.kind = ShapeKind::kBayes, s.prior_a = 0.5, s.prior_b = 2.0;
      break;
    case 4:
      s.kind = ShapeKind::kSprt, s.p1 = 0.25;
      break;
    default:
      s.kind = ShapeKind::kMaxSprt;
      break;
  }
  return s;
}

void BM_CalibrationAndTwentyRows(benchmark::State &state) {
  Design d;
  d.K = 255;
  d.theta = 0.1;
  d.phi = 0.1;
  d.shape = shape_of(static_cast<int>(state.range(0)));
  if (state.range(1) == 1)
    for (int n = 20; n <= 255; n += 5) d.looks.push_back(n);  // 255 is among them
  state.SetLabel(shape_argument(d.shape) + (d.looks.empty() ? " every patient" : " cohorts"));
  std::vector<double> rates;
  for (int row = 1; row <= 20; ++row) rates.push_back(0.01 * row);
  const Method exact{MethodKind::kExact};
  for (auto _ : state) {
    const Calibration c = design(d, exact);
    benchmark::DoNotOptimize(characteristics(c.rule, rates, exact));
  }
}
BENCHMARK(BM_CalibrationAndTwentyRows)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace contmon
