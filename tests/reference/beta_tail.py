#!/usr/bin/env python3
"""Reference values of P(X > x), X ~ Beta(a, b), for the test BetaUpperTail.ExtremePriorsAgainstHighPrecision
in tests/design_shapes_test.cpp, at priors near the ends of the range bayes:A,B accepts. Prints its C++ rows
{a, b, x, tail}: run `python3 tests/reference/beta_tail.py` and paste them.

The tail comes from the series I_x(a, b) = x^a (1 - x)^b / (a B(a, b)) sum_k (a + b)_k / (a + 1)_k x^k,
whose terms are all positive, taken on the side (x with a, b or 1 - x with b, a) where it is shorter; a tail
from the complement 1 - I is recomputed with more digits until the subtraction leaves at least 20. Each value
is computed starting at 60 and at 90 digits with mpmath, and the two must agree to 30.
"""
import mpmath

# (a, b, x, what it is): the posterior Beta(A + y, B + n - y) of y events in n patients at x = THETA.
CASES = [
    (10025, 10015, 0.5, "A = B = 1e4: 25 events of 40"),
    (10200, 10055, 0.5, "A = B = 1e4: 200 events of 255"),
    (10100, 3155, 0.762, "A = 1e4, B = 3000: 100 events of 255, near the mean"),
    (4, 10253, 3e-4, "A = 1, B = 1e4: 3 events of 255, near the mean"),
    (40, 10020, 0.004, "A = 20, B = 1e4: 20 events of 40"),
    (10040, 0.001, 0.9999, "A = 1e4, B = 0.001: 40 events of 40"),
    (2, 0.001, 0.2, "A = 1, B = 0.001: 1 event of 1"),
    (5e-324, 1000, 1e-4, "A = 2^-1074, B = 960: 0 events of 40"),
    (744, 256, 0.74, "a + b = 1000, the first sum whose front is centred"),
    (743.5, 256, 0.74, "a + b = 999.5, the last from lgamma"),
]


def series(a, b, x):
    """I_x(a, b) from the series, of at most a million terms."""
    front = mpmath.exp(a * mpmath.log(x) + b * mpmath.log1p(-x) - mpmath.log(mpmath.beta(a, b))) / a
    total, term, k = mpmath.mpf(1), mpmath.mpf(1), 0
    while k < 10**6:
        term *= (a + b + k) / (a + 1 + k) * x
        k += 1
        total += term
        if term < total * mpmath.eps and (a + b + k) * x < a + 1 + k:
            return front * total
    raise RuntimeError("the series of I_%s(%s, %s) needs more than a million terms" % (x, a, b))


def length(a, b, x):
    """About how many terms the series of I_x(a, b) takes: they grow while (a + b + k) x > a + 1 + k, then
    fall by a factor that tends to x."""
    return max(0, ((a + b) * x - (a + 1)) / (1 - x)) + mpmath.mp.dps * mpmath.log(10) / -mpmath.log(x)


def tail(a, b, x):
    a, b, x = mpmath.mpf(a), mpmath.mpf(b), mpmath.mpf(x)
    if length(a, b, x) <= length(b, a, 1 - x):
        digits = mpmath.mp.dps
        while True:  # the complement loses the digits of the leading nines of I: again with twice the digits
            with mpmath.workdps(digits):
                value = 1 - series(a, b, x)
            if value > mpmath.mpf(10) ** (20 - digits):
                return value
            digits *= 2
    return series(b, a, 1 - x)


def main():
    for a, b, x, what in CASES:
        values = []
        for digits in (60, 90):
            with mpmath.workdps(digits):
                values.append(tail(a, b, x))
        with mpmath.workdps(90):
            assert abs(values[0] - values[1]) <= abs(values[1]) * mpmath.mpf(10) ** -30, (a, b, x)
        tail_text = mpmath.nstr(values[1], 17, min_fixed=-4, max_fixed=1)
        print("      {%r, %r, %r, %s},  // %s" % (a, b, x, tail_text, what))


if __name__ == "__main__":
    main()
