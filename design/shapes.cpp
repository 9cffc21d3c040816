// Boundary shapes: how a constant c gives the stopping count at each look,
// and the exact constants at which those counts change.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "bndry/bndry_internal.h"
#include "design/design_internal.h"

namespace {

// The shortest text that reads back as x.
std::string number_text(double x) {
  char text[40];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, x);
    if (std::strtod(text, nullptr) == x) break;
  }
  return text;
}

// The continued fraction of I_x(a, b) * a / (x^a (1 - x)^b / B(a, b)), by the modified Lentz method. It
// converges quickly for x < (a + 1) / (a + b + 2).
double beta_fraction(double a, double b, double x) {
  const double tiny = 1e-300;
  auto guard = [tiny](double v) { return std::fabs(v) < tiny ? tiny : v; };
  double c = 1.0;
  double d = 1.0 / guard(1.0 - (a + b) * x / (a + 1.0));
  double h = d;
  for (int m = 1; m <= 1000; ++m) {
    const double twice = 2.0 * m;
    // The even term m (b - m) x / ((a + 2m - 1)(a + 2m)), then the odd one.
    double term = m * (b - m) * x / ((a + twice - 1.0) * (a + twice));
    d = 1.0 / guard(1.0 + term * d);
    c = guard(1.0 + term / c);
    h *= d * c;
    term = -(a + m) * (a + b + m) * x / ((a + twice) * (a + twice + 1.0));
    d = 1.0 / guard(1.0 + term * d);
    c = guard(1.0 + term / c);
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1.0) < 1e-15) break;
  }
  return h;
}

// Keys that order the doubles: consecutive doubles have consecutive keys, and -0 and +0 share key 0.
std::int64_t order_key(double x) {
  std::int64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
}

double from_order_key(std::int64_t key) {
  const std::int64_t bits = key < 0 ? std::numeric_limits<std::int64_t>::min() - key : key;
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// The key `step` keys below (down) or above from, not beyond the keys of -inf and +inf; unsigned arithmetic
// keeps the differences of keys from overflowing.
std::int64_t moved_key(std::int64_t from, std::uint64_t step, bool down) {
  const std::int64_t end = order_key(down ? -HUGE_VAL : HUGE_VAL);
  const std::uint64_t room = down ? static_cast<std::uint64_t>(from) - static_cast<std::uint64_t>(end)
                                  : static_cast<std::uint64_t>(end) - static_cast<std::uint64_t>(from);
  if (step >= room) return end;
  return static_cast<std::int64_t>(down ? static_cast<std::uint64_t>(from) - step
                                        : static_cast<std::uint64_t>(from) + step);
}

// The largest double c with a + c * w <= v as the counts compute it (w > 0): ceil(a + c w) > v exactly
// for c above it. Starts from the quotient and corrects its rounding by a bracket on the order keys.
double ceiling_threshold(double a, double w, double v) {
  auto above = [&](std::int64_t key) { return a + from_order_key(key) * w > v; };
  const std::int64_t start = std::clamp(order_key((v - a) / w), order_key(-HUGE_VAL), order_key(HUGE_VAL));
  std::int64_t lo = start, hi = start;
  const bool start_above = above(start);
  for (std::uint64_t step = 1; above(lo) || !above(hi);
       step = step > UINT64_MAX / 2 ? UINT64_MAX : 2 * step) {
    if (start_above)
      lo = moved_key(start, step, true);
    else
      hi = moved_key(start, step, false);
  }
  // Invariant: not above at lo, above at hi.
  while (static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo) > 1) {
    const std::int64_t mid =
        lo + static_cast<std::int64_t>((static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo)) / 2);
    (above(mid) ? hi : lo) = mid;
  }
  return from_order_key(lo);
}

// x log(x / d), 0 for x = 0.
double x_log_ratio(double x, double d) { return x == 0.0 ? 0.0 : x * std::log(x / d); }

}  // namespace

bool valid_table_input(const Design &design) {
  if (!(design.K >= 1 && design.K <= kMaxStages && design.theta > 0.0 && design.theta < 1.0)) return false;
  int previous = 0;
  for (int n : design.looks) {
    if (n <= previous || n > design.K) return false;
    previous = n;
  }
  return design.looks.empty() || previous == design.K;
}

double beta_upper_tail(double a, double b, double x) {
  if (!(x > 0.0)) return 1.0;
  if (!(x < 1.0)) return 0.0;
  const double log_front =
      a * std::log(x) + b * std::log1p(-x) - (std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b));
  const double front = std::exp(log_front);
  if (x < (a + 1.0) / (a + b + 2.0)) return 1.0 - front * beta_fraction(a, b, x) / a;
  // P(X > x) = I_{1-x}(b, a), from the fraction that converges on this side.
  return front * beta_fraction(b, a, 1.0 - x) / b;
}

double simplest_in(double lo, double hi) {
  const double mid = lo + (hi - lo) / 2.0;
  const double span = std::max(std::fabs(lo), std::fabs(hi));
  // From a power of ten above span < 2^binary = 10^(0.30103 binary), in integers: no rounding of log10.
  int binary = 0;
  std::frexp(span, &binary);
  for (int e = binary * 30103 / 100000 + 2; e > -330; --e) {
    char text[40];
    std::snprintf(text, sizeof text, "1e%d", e);
    const double unit = std::strtod(text, nullptr);
    if (std::fabs(mid / unit) > 1e15) break;  // factors stay exact integers in a double
    // Multiples k 10^e, read from their decimal text: the one nearest the middle, the largest at most hi and
    // the smallest above lo, each give or take one for the rounding of the quotients.
    const double guesses[] = {std::round(mid / unit), std::floor(hi / unit), std::floor(lo / unit) + 1.0};
    double best = std::nan("");
    for (double guess : guesses) {
      for (int step = -1; step <= 1; ++step) {
        std::snprintf(text, sizeof text, "%.0fe%d", guess + step, e);
        const double value = std::strtod(text, nullptr);
        if (!(value > lo && value <= hi)) continue;
        const double distance = std::fabs(value - mid), best_distance = std::fabs(best - mid);
        if (std::isnan(best) || distance < best_distance || (distance == best_distance && value > best))
          best = value;
      }
    }
    if (!std::isnan(best)) return best == 0.0 ? 0.0 : best;  // no -0
  }
  return hi;
}

std::string shape_argument(const Shape &shape) {
  switch (shape.kind) {
    case ShapeKind::kPocock:
      return "pocock";
    case ShapeKind::kObf:
      return "obf";
    case ShapeKind::kWangTsiatis:
      return std::string("wt:") + number_text(shape.delta);
    case ShapeKind::kBayes:
      return std::string("bayes:") + number_text(shape.prior_a) + "," + number_text(shape.prior_b);
    case ShapeKind::kSprt:
      return std::string("sprt:") + number_text(shape.p1);
    case ShapeKind::kMaxSprt:
      return "maxsprt";
  }
  return "";
}

std::string shape_words(const Shape &shape) {
  switch (shape.kind) {
    case ShapeKind::kPocock:
      return "Pocock boundary (the same pointwise level at every look)";
    case ShapeKind::kObf:
      return "O'Brien-Fleming boundary";
    case ShapeKind::kWangTsiatis:
      return std::string("Wang-Tsiatis boundary with DELTA = ") + number_text(shape.delta);
    case ShapeKind::kBayes:
      return std::string("Bayesian posterior boundary with prior Beta(") + number_text(shape.prior_a) + ", " +
             number_text(shape.prior_b) + ")";
    case ShapeKind::kSprt:
      return std::string("SPRT boundary against P1 = ") + number_text(shape.p1);
    case ShapeKind::kMaxSprt:
      return "maximised SPRT boundary";
  }
  return "";
}

std::vector<int> design_looks(const Design &design) {
  if (!design.looks.empty()) return design.looks;
  std::vector<int> looks;
  for (int n = 1; n <= design.K; ++n) looks.push_back(n);
  return looks;
}

bool is_default_design(const Design &design) {
  if (design.shape.kind != ShapeKind::kPocock || design.min_events > 1) return false;
  const std::vector<int> looks = design_looks(design);
  for (std::size_t i = 0; i < looks.size(); ++i)
    if (looks[i] != static_cast<int>(i) + 1) return false;
  return static_cast<int>(looks.size()) == design.K;
}

std::vector<int> stage_boundary(const Rule &rule) {
  std::vector<int> stages(static_cast<std::size_t>(std::max(rule.K, 0)) + 1, rule.K + 1);
  stages[0] = 0;
  for (std::size_t i = 0; i < rule.looks.size() && i < rule.counts.size(); ++i) {
    const int n = rule.looks[i];
    if (n >= 1 && n <= rule.K) stages[static_cast<std::size_t>(n)] = std::min(rule.counts[i], rule.K + 1);
  }
  return stages;
}

std::vector<int> shape_counts(const Design &design, double c) {
  if (!valid_table_input(design)) return {};  // no counts for a design without valid looks
  return ShapeTable(design).counts(c);
}

// ---- The table of a design -------------------------------------------------------------

ShapeTable::ShapeTable(const Design &design)
    : K_(design.K),
      theta_(design.theta),
      floor_(std::max(1, design.min_events)),
      pocock_(design.shape.kind == ShapeKind::kPocock),
      ceiling_(design.shape.kind == ShapeKind::kObf || design.shape.kind == ShapeKind::kWangTsiatis),
      looks_(design_looks(design)) {
  const Shape &shape = design.shape;
  const double theta = theta_;
  if (pocock_) {
    init_bin(bin_prob, bin_surv, theta, kMaxStages);
    return;
  }
  for (int n : looks_) {
    if (ceiling_) {
      a_.push_back(n * theta);
      // DELTA = 0 is O'Brien-Fleming's shape, computed the same way.
      if (shape.kind == ShapeKind::kObf || shape.delta == 0.0)
        w_.push_back(std::sqrt(K_ * theta * (1.0 - theta)));
      else
        w_.push_back(std::pow(static_cast<double>(n) / K_, shape.delta - 0.5) *
                     std::sqrt(n * theta * (1.0 - theta)));
      continue;
    }
    std::vector<double> f(static_cast<std::size_t>(n) + 1, std::nan(""));
    for (int y = 0; y <= n; ++y) {
      double &value = f[static_cast<std::size_t>(y)];
      if (shape.kind == ShapeKind::kBayes) {
        value = beta_upper_tail(shape.prior_a + y, shape.prior_b + (n - y), theta);
      } else if (shape.kind == ShapeKind::kSprt) {
        value = y * std::log(shape.p1 / theta) + (n - y) * std::log((1.0 - shape.p1) / (1.0 - theta));
      } else if (y >= n * theta) {  // maxsprt stops only at or above the expected count
        value = x_log_ratio(y, n * theta) + x_log_ratio(n - y, n * (1.0 - theta));
      }
    }
    f_.push_back(std::move(f));
  }
}

int ShapeTable::raw_count(int look, double c) const {
  const int n = looks_[static_cast<std::size_t>(look)];
  if (pocock_) {
    // As GetPointwiseBndry: one more than the largest count whose tail exceeds the level.
    if (c >= 1.0) return 0;
    if (!(c > 0.0)) return K_ + 1;  // a level of 0 never stops
    int j = n;
    while (c >= bin_surv[n][j]) --j;
    return j + 1;
  }
  if (ceiling_) {
    const double x = a_[static_cast<std::size_t>(look)] + c * w_[static_cast<std::size_t>(look)];
    if (!(x <= K_)) return K_ + 1;
    if (x <= 0.0) return 0;
    return static_cast<int>(std::ceil(x));
  }
  const std::vector<double> &f = f_[static_cast<std::size_t>(look)];
  for (int y = 0; y <= n; ++y)
    if (f[static_cast<std::size_t>(y)] >= c) return y;  // NaN (no stop there) never qualifies
  return n + 1;
}

std::vector<int> ShapeTable::counts(double c) const {
  if (pocock_) init_bin(bin_prob, bin_surv, theta_, kMaxStages);  // the tables may have been refilled
  std::vector<int> result(looks_.size());
  for (std::size_t i = 0; i < looks_.size(); ++i)
    result[i] = std::min(std::max(raw_count(static_cast<int>(i), c), floor_), K_ + 1);
  return result;
}

std::vector<double> ShapeTable::thresholds() const {
  if (pocock_) init_bin(bin_prob, bin_surv, theta_, kMaxStages);
  std::vector<double> result;
  for (std::size_t i = 0; i < looks_.size(); ++i) {
    const int n = looks_[i];
    // The count is at least y exactly when the key exceeds the threshold for y; y runs over M + 1 .. n + 1.
    if (pocock_) {
      // Count >= j + 1 while the level is below the tail at j.
      for (int j = floor_; j <= n; ++j) result.push_back(-bin_surv[n][j]);
    } else if (ceiling_) {
      for (int y = floor_ + 1; y <= n + 1; ++y) result.push_back(ceiling_threshold(a_[i], w_[i], y - 1.0));
    } else {
      // Count >= y while c exceeds every statistic below y: their running maximum.
      double highest = -HUGE_VAL;
      for (int y = 1; y <= n + 1; ++y) {
        const double value = f_[i][static_cast<std::size_t>(y - 1)];
        if (value > highest) highest = value;
        if (y > floor_ && highest > -HUGE_VAL) result.push_back(highest);
      }
    }
  }
  return result;
}
