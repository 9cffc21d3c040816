"""The GIL is released while the library computes, and Ctrl-C stops a long run."""
import signal
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import pytest

import contmon


def without_date(rule):
    return {key: value for key, value in rule.to_dict().items() if key != "date"}


def test_two_threads_give_the_serial_results():
    calls = [
        lambda: contmon.design(200, 0.1, 0.1, shape="obf"),
        lambda: contmon.design(150, 0.3, 0.05, shape="wt:0.25", cohort=3, start=12),
        lambda: contmon.design(40, 0.2, 0.1, method="simulation"),
        lambda: contmon.evaluate([3, 5, 8], looks=[10, 20, 30], theta=0.15, method="simulation"),
    ]
    serial = [without_date(call()) for call in calls]
    with ThreadPoolExecutor(2) as pool:
        parallel = list(pool.map(lambda call: without_date(call()), calls))
    assert parallel == serial


def test_threads_sharing_one_rule_draw_the_same_picture():
    rule = contmon.design(120, 0.2, 0.1, shape="obf")
    with ThreadPoolExecutor(4) as pool:
        pictures = list(pool.map(lambda _: rule.svg(), range(4)))
        rows = list(pool.map(lambda rates: rule.oc(rates), [[0.1, 0.3], [0.5]] * 2))
    assert pictures == [contmon.design(120, 0.2, 0.1, shape="obf").svg()] * 4
    assert rows == [rule.oc([0.1, 0.3]), rule.oc([0.5])] * 2


def test_python_runs_while_a_design_computes():
    # A thread holding the GIL through the call would stop the main thread's loop for the whole call.
    done = threading.Event()
    span = []

    def compute():
        started = time.perf_counter()
        contmon.design(80, 0.2, 0.1, method="simulation")
        span.append(time.perf_counter() - started)
        done.set()

    worker = threading.Thread(target=compute)
    ticks = [time.perf_counter()]
    worker.start()
    while not done.is_set():
        time.sleep(0.001)
        ticks.append(time.perf_counter())
    worker.join()
    longest_gap = max(later - earlier for earlier, later in zip(ticks, ticks[1:]))
    assert span[0] > 0.2
    assert longest_gap < span[0] / 4, (longest_gap, span[0])


INTERRUPTED = r"""
import os, sys, threading, contmon
print("ready", flush=True)
try:
    CALL
except KeyboardInterrupt:
    print("interrupted", len(os.listdir("/proc/self/task")), threading.active_count(), flush=True)
    sys.exit(0)
print("finished", flush=True)
"""


@pytest.mark.parametrize("call", [
    'contmon.design(255, 0.05, 0.1, method="simulation")',
    'contmon.compare(255, 0.05, 0.1, ["pocock", "obf"], method="simulation")',
])
def test_ctrl_c_stops_a_long_simulation_within_a_second(call):
    child = subprocess.Popen([sys.executable, "-c", INTERRUPTED.replace("CALL", call)], stdout=subprocess.PIPE,
                             text=True)
    try:
        assert child.stdout.readline() == "ready\n"
        time.sleep(0.5)  # well into a run of several seconds
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        answer = child.stdout.readline()
        elapsed = time.monotonic() - sent
        assert child.wait(timeout=30) == 0
    finally:
        child.kill()
        child.wait()
    # KeyboardInterrupt, and no thread left but the main one, neither the library's nor Python's.
    assert answer.split() == ["interrupted", "1", "1"]
    assert elapsed < 1.0, elapsed
