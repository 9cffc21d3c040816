// Operating characteristics of small boundaries worked out by hand: every
// point (Y, N) where a trial can stop or end, with its probability written
// out from the tree of outcomes, and the seven figures of a table row.
#pragma once

#include <cmath>
#include <vector>

/// A point where a trial stops or ends: Y events among N patients, with its probability.
struct HandPoint {
  double y;
  double n;
  double prob;
};

/// The seven figures of a table row, in the order they are printed.
struct HandFigures {
  double phi_star, mean_y, sd_y, mean_n, sd_n, mean_yn, sd_yn;
};

/// The figures of a row from the points and the probability of stopping at the upper boundary.
inline HandFigures hand_figures(const std::vector<HandPoint> &points, double phi_star) {
  auto moments = [&](auto value, double &mean, double &sd) {
    double m = 0.0, m2 = 0.0;
    for (const HandPoint &pt : points) {
      m += pt.prob * value(pt);
      m2 += pt.prob * value(pt) * value(pt);
    }
    mean = m;
    sd = std::sqrt(std::fmax(m2 - m * m, 0.0));
  };
  HandFigures f{};
  f.phi_star = phi_star;
  moments([](const HandPoint &pt) { return pt.y; }, f.mean_y, f.sd_y);
  moments([](const HandPoint &pt) { return pt.n; }, f.mean_n, f.sd_n);
  moments([](const HandPoint &pt) { return pt.y / pt.n; }, f.mean_yn, f.sd_yn);
  return f;
}

/// K = 1, upper boundary (1): the first patient decides; an event stops the trial.
inline HandFigures single_stage_figures(double p) { return hand_figures({{1, 1, p}, {0, 1, 1 - p}}, p); }

/// K = 2, upper boundary (2, 3): nobody stops, so Y ~ Binomial(2, p) and N = 2.
inline HandFigures unreachable_two_stage_figures(double p) {
  const double q = 1 - p;
  return hand_figures({{0, 2, q * q}, {1, 2, 2 * p * q}, {2, 2, p * p}}, 0.0);
}

/// K = 4, upper boundary (2, 2, 3, 3), outcomes written as sequences of 1 (event) and 0:
/// - stop at stage 2 with Y = 2: 11.. (p^2);
/// - stage 3 stops nobody: a count of 3 after three patients needs 11 first;
/// - stop at stage 4 with Y = 3: 1011 and 0111 (2 p^3 q);
/// - end with Y = 0: 0000 (q^4); Y = 1: 1000, 0100, 0010, 0001 (4 p q^3);
///   Y = 2: 1010, 1001, 0110, 0101, 0011 (5 p^2 q^2); Y = 3 and 4 only via a stop.
inline HandFigures four_stage_figures(double p) {
  const double q = 1 - p;
  const double stop2 = p * p, stop4 = 2 * p * p * p * q;
  return hand_figures({{2, 2, stop2},
                       {3, 4, stop4},
                       {0, 4, q * q * q * q},
                       {1, 4, 4 * p * q * q * q},
                       {2, 4, 5 * p * p * q * q}},
                      stop2 + stop4);
}

/// The boundary of four_stage_figures, indexed 1..4.
inline const std::vector<int> kFourStageBoundary = {0, 2, 2, 3, 3};
