// Boundary shapes: how a constant c gives the stopping count at each look,
// and the exact constants at which those counts change.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>

#include "core/text.h"
#include "design/design_internal.h"
#include "design/parse.h"

namespace contmon {

namespace {

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

// log(1 + t) - t for |t| <= 1/2, without the cancellation of the difference: with w = t / (2 + t),
// log(1 + t) = 2 atanh(w) = 2 (w + w^3/3 + w^5/5 + ...) and t = 2w + t w, so the difference is
// 2 w^3 (1/3 + w^2/5 + ...) - t w, whose series in w^2 <= 1/9 has converged after 20 terms.
double log1p_minus(double t) {
  const double w = t / (2.0 + t), w2 = w * w;
  double sum = 0.0, power = 1.0;
  for (int k = 0; k < 20; ++k, power *= w2) sum += power / (2 * k + 3);
  return 2.0 * w * w2 * sum - t * w;
}

// lgamma(z) - ((z - 1/2) log z - z + log(2 pi) / 2), the remainder of Stirling's formula: from its asymptotic
// series for z >= 10 (the first term left out is below 1e-15 there), else from lgamma, which is small there.
double stirling_remainder(double z) {
  const double half_log_2pi = 0.5 * std::log(2.0 * std::numbers::pi);
  if (z < 10.0) return std::lgamma(z) - ((z - 0.5) * std::log(z) - z + half_log_2pi);
  // 1/(12 z) - 1/(360 z^3) + 1/(1260 z^5) - 1/(1680 z^7) + 1/(1188 z^9) - 691/(360360 z^11)
  const double r = 1.0 / z, r2 = r * r;
  double sum = -691.0 / 360360;
  for (double c : {1.0 / 1188, -1.0 / 1680, 1.0 / 1260, -1.0 / 360, 1.0 / 12}) sum = c + r2 * sum;
  return r * sum;
}

// From this a + b on, log(x^a (1 - x)^b / B(a, b)) is taken around the mean a / (a + b) instead of from
// lgamma: the lgamma of a and of a + b are each near a log a, and their difference loses about a + b
// rounding steps (1e-9 of the tail at a = b = 1e6). Below it the direct form loses under 1e-12, and ordinary
// priors keep their figures to the last bit.
constexpr double kCentredFront = 1000.0;

// log(x^a (1 - x)^b / B(a, b)) for a + b >= kCentredFront. With s = a + b and D = x s - a, exactly
//   a log(x s / a) + b log((1 - x) s / b) + log(a^a b^b / (s^s B(a, b)))
// = a g(D / a) + b g(-D / b) + (log(a b / s) - log(2 pi)) / 2 + r(s) - r(a) - r(b),
// g(t) = log(1 + t) - t <= 0 and r the Stirling remainder: the linear parts a (D / a) and b (-D / b) cancel
// exactly, and what is left has no large terms of opposite sign. D keeps its relative precision: the fused
// product with the rounded s, corrected by the rounding of s.
double centred_log_front(double a, double b, double x) {
  const double s = a + b;
  const double s_error = a >= b ? b - (s - a) : a - (s - b);  // a + b - s, exactly
  const double D = std::fma(x, s, -a) + x * s_error;
  const double u = D / a, v = -D / b;
  // Far from the mean g is no difference of near numbers: a g(u) = a log(x s / a) - D from log x, which keeps
  // the digits that 1 + u, near 0 when x is far below the mean, would lose (and u may overflow for a tiny a);
  // the same for b.
  const double a_part =
      std::fabs(u) <= 0.5 ? a * log1p_minus(u) : a * (std::log(x) + std::log(s) - std::log(a)) - D;
  const double b_part =
      std::fabs(v) <= 0.5 ? b * log1p_minus(v) : b * (std::log1p(-x) + std::log(s) - std::log(b)) + D;
  const double spread = 0.5 * (std::log(a) + std::log(b) - std::log(s) - std::log(2.0 * std::numbers::pi));
  return a_part + b_part + spread + stirling_remainder(s) - stirling_remainder(a) - stirling_remainder(b);
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

// log(x / d) for x, d > 0; from the two logarithms when x / d overflows, as it does for a theta below about
// 1e-308 (the statistics of sprt and maxsprt would be infinite, and so the constant reported).
double log_quotient(double x, double d) {
  const double quotient = x / d;
  return std::isinf(quotient) ? std::log(x) - std::log(d) : std::log(quotient);
}

// x log(x / d), 0 for x = 0.
double x_log_ratio(double x, double d) { return x == 0.0 ? 0.0 : x * log_quotient(x, d); }

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
      a + b >= kCentredFront
          ? centred_log_front(a, b, x)
          : a * std::log(x) + b * std::log1p(-x) - (std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b));
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

// ---- The shapes as the command line names them -------------------------------------------------------

namespace {

// The prior Beta(A, B) of bayes. The statistic after n events in n patients, P(p > theta) under
// Beta(A + n, B), falls short of 1 by about B theta^(A + n) / (A + n); for a small B those of the first looks
// come within the calibration's 1e-12 of 1 (or round to it), and the rules that stop on runs of events merge
// with the rule that never stops (bayes:1,1e-10 with K = 40, THETA = 0.2, PHI = 0.1 never stopped, though
// exact arithmetic gives a rule with PHI* = 0.04). From B = 1e-3 on the rules agree with exact arithmetic for
// PHI down to about 1e-4 (about 1e-10 for B = 1). A needs no such bound: the statistic at 0 events decides no
// count, every count being at least 1. Both at most 1e4: beyond, the continued fraction for a prior with one
// small and one large parameter loses precision in proportion to their ratio (some 1e-11 of the tail at 1e6,
// 1e-13 at 1e4).
constexpr double kLeastPriorB = 1e-3, kMostPrior = 1e4;

bool valid_prior(const double v[]) {
  return v[0] > 0.0 && v[0] <= kMostPrior && v[1] >= kLeastPriorB && v[1] <= kMostPrior;
}

// The least distance of P1 above theta for sprt. The statistic is y E - (n - y) F, E = log(P1 / theta) and
// F = log((1 - theta) / (1 - P1)), and the calibration takes statistics within 1e-12 of each other for one.
// As P1 approaches theta, with e = E + F = logit(P1) - logit(theta), the statistic tends to e (y - n theta):
// two counts with the same y - n theta (THETA = 0.2: y, and y + 1 five looks later) are then told apart only
// by about e^2 / 4 or more. e >= 1e-4 keeps them at least 2.5e-9 apart; at e = 1e-6 the calibration already
// chose other rules than exact arithmetic, and at e = 1e-12 none that stops. For theta near 0 (or 1), F (or
// E), the change from one look to the next at the same count, vanishes even when e does not: each of E and F
// must be at least 1e-10 (THETA = 1e-9 with F = 1e-12 chose other rules; 3e-12 was still right).
constexpr double kSprtLeastLogOdds = 1e-4, kSprtLeastStep = 1e-10;

// The least P1 - theta that sprt accepts: the largest of the distances at which e, E and F reach their
// bounds.
double sprt_least_distance(double theta) {
  const double odds = std::expm1(kSprtLeastLogOdds);
  return std::max({theta * (1.0 - theta) * odds / (1.0 + theta * odds), theta * std::expm1(kSprtLeastStep),
                   -(1.0 - theta) * std::expm1(-kSprtLeastStep)});
}

// One shape: its name and parameters as --shape writes them, the range each parameter must lie in, and the
// message that says how to write it.
struct ShapeEntry {
  ShapeKind kind;
  const char *name;
  const char *placeholders;           // the parameters as the list of shapes names them, ":A,B"
  int parameters;                     // numbers after "name:", separated by commas
  double Shape::*fields[4];           // where they go
  const char *keys[4];                // their names in the JSON
  bool (*valid)(const double values[]);
  const char *form;                   // how to write it, for a message
};

bool is_probability(double v) { return v > 0.0 && v < 1.0; }

constexpr ShapeEntry kShapes[] = {
    {ShapeKind::kPocock, "pocock", "", 0, {}, {}, nullptr, "pocock takes no parameters"},
    {ShapeKind::kObf, "obf", "", 0, {}, {}, nullptr, "obf takes no parameters"},
    {ShapeKind::kWangTsiatis, "wt", ":DELTA", 1, {&Shape::delta}, {"delta"},
     [](const double v[]) { return v[0] >= 0.0 && v[0] <= 0.5; },
     "write wt:DELTA with DELTA from 0 to 0.5, as wt:0.25"},
    {ShapeKind::kBayes, "bayes", ":A,B", 2, {&Shape::prior_a, &Shape::prior_b}, {"a", "b"},
     valid_prior,
     "write bayes:A,B with the prior Beta(A, B), A above 0 and B from 0.001, both at most 1e4, as bayes:1,1"},
    {ShapeKind::kSprt, "sprt", ":P1", 1, {&Shape::p1}, {"p1"}, [](const double v[]) { return is_probability(v[0]); },
     "write sprt:P1 with P1 the unacceptable event probability, above THETA and below 1, as sprt:0.4"},
    {ShapeKind::kMaxSprt, "maxsprt", "", 0, {}, {}, nullptr, "maxsprt takes no parameters"},
    {ShapeKind::kChenChaloner, "cc", ":A,B,P1,NU", 4, {&Shape::prior_a, &Shape::prior_b, &Shape::p1, &Shape::nu},
     {"a", "b", "p1", "nu"},
     [](const double v[]) { return valid_prior(v) && is_probability(v[2]) && is_probability(v[3]); },
     "write cc:A,B,P1,NU with the prior Beta(A, B) (A above 0 and B from 0.001, both at most 1e4), P1 the "
     "unacceptable event probability (above THETA, below 1) and NU the posterior probability above P1 that a "
     "stop also needs (between 0 and 1), as cc:1,1,0.4,0.6"},
};

const ShapeEntry &entry_of(ShapeKind kind) {
  for (const ShapeEntry &entry : kShapes)
    if (entry.kind == kind) return entry;
  return kShapes[0];
}

// The parameters after "name:", split at commas; false when there are not exactly `count` numbers.
bool read_parameters(std::string_view text, int count, double values[]) {
  std::size_t start = 0;
  for (int i = 0; i < count; ++i) {
    const std::size_t comma = text.find(',', start);
    const bool last = i + 1 == count;
    if (last != (comma == std::string_view::npos)) return false;
    if (!read_decimal(text.substr(start, last ? std::string_view::npos : comma - start), &values[i])) return false;
    start = comma + 1;
  }
  return true;
}

}  // namespace

std::string read_shape(std::string_view text, Shape *shape) {
  const std::string prefix = "invalid --shape " + in_quotes(text) + ": ";
  const std::size_t colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  for (const ShapeEntry &entry : kShapes) {
    if (name != entry.name) continue;
    double values[4] = {};
    const bool has_parameters = colon != std::string_view::npos;
    if (entry.parameters == 0 ? has_parameters
                             : !has_parameters || !read_parameters(text.substr(colon + 1), entry.parameters, values) ||
                                   !entry.valid(values))
      return prefix + entry.form;
    Shape result;
    result.kind = entry.kind;
    for (int i = 0; i < entry.parameters; ++i) result.*entry.fields[i] = values[i];
    *shape = result;
    return "";
  }
  std::string names;
  for (const ShapeEntry &entry : kShapes) {
    if (!names.empty()) names += &entry == &kShapes[std::size(kShapes) - 1] ? " or " : ", ";
    names += entry.name;
    names += entry.placeholders;
  }
  return prefix + "the shapes are " + names;
}

std::string shape_fault(const Shape &shape, double theta) {
  const ShapeEntry &entry = entry_of(shape.kind);
  double values[4] = {};
  for (int i = 0; i < entry.parameters; ++i) values[i] = shape.*entry.fields[i];
  if (entry.parameters > 0 && !entry.valid(values))
    return "invalid --shape " + in_quotes(shape_argument(shape)) + ": " + entry.form;
  if (shape.kind == ShapeKind::kChenChaloner && !(shape.p1 > theta))
    return "--shape " + shape_argument(shape) + ": P1 = " + shortest(shape.p1) + " must be above THETA = " +
           shortest(theta) + ": it is the unacceptable event probability the posterior must also exceed";
  if (shape.kind != ShapeKind::kSprt) return "";
  const std::string head =
      "--shape sprt:" + shortest(shape.p1) + ": P1 must be above THETA = " + shortest(theta);
  if (!(shape.p1 > theta))
    return head + ": it is the unacceptable event probability the test tells from THETA";
  // The distance named is a short number just above the least, so that THETA plus it is accepted.
  const double least = sprt_least_distance(theta);
  if (shape.p1 - theta < least)
    return head + " by at least " + shortest(simplest_in(least * (1.0 + 1e-5), least * 1.01)) +
           ": nearer, each patient moves the log likelihood ratio so little that rounding merges distinct"
           " stopping rules";
  return "";
}

Shape parse_shape(std::string_view text) {
  Shape shape;
  const std::string fault = read_shape(text, &shape);
  if (!fault.empty()) throw Error("shape", fault);
  return shape;
}

std::string shape_name(const Shape &shape) { return entry_of(shape.kind).name; }

std::vector<std::pair<std::string, double>> shape_parameters(const Shape &shape) {
  const ShapeEntry &entry = entry_of(shape.kind);
  std::vector<std::pair<std::string, double>> parameters;
  for (int i = 0; i < entry.parameters; ++i) parameters.emplace_back(entry.keys[i], shape.*entry.fields[i]);
  return parameters;
}

std::string shape_argument(const Shape &shape) {
  std::string text = shape_name(shape);
  const char *separator = ":";
  for (const auto &[key, value] : shape_parameters(shape)) {
    text += separator;
    text += shortest(value);
    separator = ",";
  }
  return text;
}

std::string shape_words(const Shape &shape) {
  switch (shape.kind) {
    case ShapeKind::kPocock:
      return "Pocock boundary (the same pointwise level at every look)";
    case ShapeKind::kObf:
      return "O'Brien-Fleming boundary";
    case ShapeKind::kWangTsiatis:
      return "Wang-Tsiatis boundary with DELTA = " + shortest(shape.delta);
    case ShapeKind::kBayes:
      return "Bayesian posterior boundary with prior Beta(" + shortest(shape.prior_a) + ", " +
             shortest(shape.prior_b) + ")";
    case ShapeKind::kSprt:
      return "SPRT boundary against P1 = " + shortest(shape.p1);
    case ShapeKind::kMaxSprt:
      return "maximised SPRT boundary";
    case ShapeKind::kChenChaloner:
      return "Chen-Chaloner boundary with prior Beta(" + shortest(shape.prior_a) + ", " + shortest(shape.prior_b) +
             "), stopping only when also P(p > " + shortest(shape.p1) + ") >= " + shortest(shape.nu);
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
    tables_ = std::make_unique<BinomialTables>(theta);
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
      } else if (shape.kind == ShapeKind::kChenChaloner) {
        // The tail above P1 rises with y: below the first y whose tail reaches NU no c stops.
        if (beta_upper_tail(shape.prior_a + y, shape.prior_b + (n - y), shape.p1) >= shape.nu)
          value = beta_upper_tail(shape.prior_a + y, shape.prior_b + (n - y), theta);
      } else if (shape.kind == ShapeKind::kSprt) {
        value = y * log_quotient(shape.p1, theta) + (n - y) * std::log((1.0 - shape.p1) / (1.0 - theta));
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
    // One more than the largest count whose tail exceeds the level.
    if (c >= 1.0) return 0;
    if (!(c > 0.0)) return K_ + 1;  // a level of 0 never stops
    int j = n;
    while (c >= tables_->surv(n, j)) --j;
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
  std::vector<int> result(looks_.size());
  for (std::size_t i = 0; i < looks_.size(); ++i)
    result[i] = std::min(std::max(raw_count(static_cast<int>(i), c), floor_), K_ + 1);
  return result;
}

std::vector<double> ShapeTable::thresholds() const {
  std::vector<double> result;
  for (std::size_t i = 0; i < looks_.size(); ++i) {
    const int n = looks_[i];
    // The count is at least y exactly when the key exceeds the threshold for y; y runs over M + 1 .. n + 1.
    if (pocock_) {
      // Count >= j + 1 while the level is below the tail at j.
      for (int j = floor_; j <= n; ++j) result.push_back(-tables_->surv(n, j));
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

}  // namespace contmon
