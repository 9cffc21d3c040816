#!/usr/bin/env python3
"""Two designs computed one after the other, then in two threads at once: with the GIL released while the
library computes, two threads on two free cores take about the time of one design.

    python python/bench/bench_threads.py
"""
import time
from concurrent.futures import ThreadPoolExecutor

import contmon


def one() -> None:
    for _ in range(20):
        contmon.design(255, 0.05, 0.1)


def main() -> None:
    one()
    started = time.perf_counter()
    one()
    single = time.perf_counter() - started
    started = time.perf_counter()
    one()
    one()
    serial = time.perf_counter() - started
    with ThreadPoolExecutor(2) as pool:
        started, cpu = time.perf_counter(), time.process_time()
        for future in [pool.submit(one), pool.submit(one)]:
            future.result()
        threads, cpu = time.perf_counter() - started, time.process_time() - cpu
    # Processor time over elapsed time: near 2 when both threads compute at once, at most 1 if they took turns.
    print(f"20 designs of K = 255: {single:.3f} s; twice in turn: {serial:.3f} s; "
          f"twice in two threads: {threads:.3f} s ({threads / single:.2f} times one, "
          f"{cpu / threads:.2f} cores busy)")


if __name__ == "__main__":
    main()
