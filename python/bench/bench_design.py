#!/usr/bin/env python3
"""Time per call of contmon.design(255, 0.05, 0.1), computed exactly (the target is under 20 ms).

    python python/bench/bench_design.py [CALLS]
"""
import statistics
import sys
import time

import contmon


def main() -> None:
    calls = int(sys.argv[1]) if len(sys.argv) > 1 else 50
    contmon.design(255, 0.05, 0.1)  # loads and warms up
    times = []
    for _ in range(calls):
        started = time.perf_counter()
        contmon.design(255, 0.05, 0.1)
        times.append((time.perf_counter() - started) * 1000)
    print(f"contmon.design(255, 0.05, 0.1), {calls} calls: median {statistics.median(times):.1f} ms, "
          f"fastest {min(times):.1f} ms, slowest {max(times):.1f} ms")


if __name__ == "__main__":
    main()
