"""Continuous monitoring rules for a single-arm trial with a binary outcome.

At each look the running count of events is compared with an upper boundary and the trial stops when it
reaches it. :func:`design` finds the boundary for K, THETA, PHI and a shape (or takes the shape's rule at a
constant); :func:`compare` designs several shapes side by side; :func:`find_k` searches for the sample size
that gives a power; :func:`evaluate` and :func:`read_boundary` take a rule you already have. Every figure and
text comes from the contmon library, so that it equals the command line's.

    >>> import contmon
    >>> rule = contmon.design(40, 0.2, 0.1)
    >>> rule.decision_table[0]
    (3, 4, 3)
"""

from __future__ import annotations

import html
import importlib
import json
import numbers
import os
import time
from typing import Any, Dict, Iterable, List, Optional, Tuple, Union

from . import _core
from ._core import DesignError

__all__ = ["Comparison", "DesignError", "Rule", "SampleSizeSearch", "compare", "design", "evaluate", "find_k",
           "read_boundary", "__version__"]
__version__: str = _core.version

Rates = Union[str, Iterable[float], None]
Looks = Union[str, Iterable[int], None]
Moment = Tuple[str, str]
PathLike = Union[str, "os.PathLike[str]"]

_INT_MIN, _INT_MAX = -(2**31), 2**31 - 1
_MAX_STAGES = 255
_DAYS = ("Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun")
_MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def _whole(name: str, value: object) -> int:
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    return int(value)


def _c_int(name: str, value: object) -> int:
    """A whole number for the library, out-of-range values held at the ends of a C int (all invalid there)."""
    return min(max(_whole(name, value), _INT_MIN), _INT_MAX)


def _real(name: str, value: object) -> float:
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    return float(value)


def _probability(name: str, value: object) -> float:
    """THETA or PHI; one outside (0, 1) raises the command line's message for it as Python writes it."""
    p = _real(name.lower(), value)
    if not 0.0 < p < 1.0:
        _core.parse_probability(name, repr(p))
        raise _error(name.lower(), f"invalid {name} {p!r}: {name} is a probability between 0 and 1")
    return p


def _error(field: str, message: str) -> DesignError:
    error = DesignError(message)
    error.field = field
    return error


def _option(option: str, field: str, value: object) -> int:
    """--cohort, --start or --min-events, read as the command line reads them: 1 to 255."""
    n = _whole(field, value)
    if not 1 <= n <= _MAX_STAGES:
        raise _error(field, f"invalid {option} '{n}': give a whole number from 1 to {_MAX_STAGES}")
    return n


def _alternative(value: object, theta: float) -> Optional[float]:
    """P1 (--alternative): a probability above THETA."""
    if value is None:
        return None
    p1 = _real("alternative", value)
    if not 0.0 < p1 < 1.0:
        try:
            _core.parse_probability("P1", repr(p1))
        except DesignError as error:
            raise _error("alternative", f"--alternative: {error}") from None
    if not p1 > theta:
        raise _error("alternative", f"--alternative P1 = {p1!r} is not above THETA = {theta!r}: P1 is an "
                                    "unacceptable event probability, higher than THETA")
    return p1


def _accrual(accrual: object, window: object) -> Optional[Tuple[float, float]]:
    """--accrual A and --window TAU, given both or neither; each a positive finite time."""
    if (accrual is None) != (window is None):
        given, needed = ("accrual", "window TAU") if accrual is not None else ("window", "accrual A")
        raise _error(given, f"--{given} needs --{needed}: patients enter over A time units and each outcome is "
                            "known TAU after entry")
    if accrual is None:
        return None
    times = []
    for option, value in (("--accrual", accrual), ("--window", window)):
        t = _real(option[2:], value)
        if not (0.0 < t < float("inf")):
            _core.parse_duration(option, repr(t))
            raise _error(option[2:], f"invalid {option} {t!r}: give a positive time")
        times.append(t)
    return times[0], times[1]


def _simulation(method: str, trials: object, seed: object) -> Tuple[Optional[int], Optional[int]]:
    """--trials N and --seed S, which only a simulation takes, read as the command line reads them."""
    values: List[Optional[int]] = []
    for name, value, low, high in (("trials", trials, _core.fewest_trials, _core.most_trials),
                                   ("seed", seed, 0, _core.most_seed)):
        if value is None:
            values.append(None)
            continue
        n = _whole(name, value)
        if method != "simulation":
            raise _error(name, f"{name} sets the simulation, and this run computes exactly: give "
                               "method=\"simulation\"")
        if not low <= n <= high:
            raise _error(name, f"invalid --{name} '{n}': give a whole number from {low} to {high}")
        values.append(n)
    return values[0], values[1]


def _constant(value: object) -> Optional[float]:
    """--constant C: a finite number (the shape decides its range)."""
    if value is None:
        return None
    c = _real("constant", value)
    if c != c or c in (float("inf"), float("-inf")):
        _core.parse_number("--constant", repr(c))
        raise _error("constant", f"invalid --constant {c!r}: give a finite number")
    return c


def _schedule(K: object, theta: object, looks: Looks, cohort: Optional[int], start: Optional[int],
              min_events: int) -> Tuple[str, float, Optional[str], int, int, int]:
    """K, THETA and the schedule's options as the library takes them."""
    return (str(_whole("K", K)), _probability("THETA", theta), _looks_text(looks),
            0 if cohort is None else _option("--cohort", "cohort", cohort),
            0 if start is None else _option("--start", "start", start),
            _option("--min-events", "min_events", min_events))


def _text(name: str, value: object) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    return value


def _list(name: str, value: object) -> List[object]:
    if isinstance(value, (str, bytes)) or not isinstance(value, Iterable):
        raise TypeError(f"{name} must be a list, not {type(value).__name__}")
    return list(value)


def _rates(value: object) -> List[float]:
    """The rates of a list, or of the command line's --rates text ("0.1:0.5:0.1,0.7"); a list is read as
    that text, so that its faults have the command line's messages."""
    if value is None:
        return []
    if not isinstance(value, str):
        rates = [_real("rates", rate) for rate in _list("rates", value)]
        if not rates:
            return []
        value = ",".join(repr(rate) for rate in rates)
    return list(_core.parse_rates(value))


def _looks_text(value: object) -> Optional[str]:
    """The looks as the command line's --looks text, whose faults the library words."""
    if value is None:
        return None
    if isinstance(value, str):
        return value
    return ",".join(str(_whole("looks", look)) for look in _list("looks", value))


def _now() -> Moment:
    """The moment of a run as the outputs print it: local time in asctime's layout, and UTC in ISO 8601."""
    seconds = time.time()
    t = time.localtime(seconds)
    date = (f"{_DAYS[t.tm_wday]} {_MONTHS[t.tm_mon - 1]} {t.tm_mday:2d} "
            f"{t.tm_hour:02d}:{t.tm_min:02d}:{t.tm_sec:02d} {t.tm_year}")
    return date, time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds))


class Rule:
    """A stopping rule with its operating characteristics: a calibrated design or a rule given.

    Its attributes are named as the keys of the command line's JSON, and ``to_dict()`` is that JSON.
    """

    def __init__(self, analysis: _core.Analysis, _moment: Optional[Moment] = None) -> None:
        if not isinstance(analysis, _core.Analysis):
            raise TypeError("a Rule comes from contmon.design, contmon.evaluate or contmon.read_boundary")
        self._analysis = analysis
        self._date, self._timestamp = _moment or _now()
        self._json = analysis.json(self._date, self._timestamp)
        self._dict: Dict[str, Any] = json.loads(self._json)

    # ---- The command line's JSON ------------------------------------------------------------------

    @property
    def boundary(self) -> List[Tuple[int, int]]:
        """The stopping count b at each look n, as (n, b)."""
        return [(row["n"], row["b"]) for row in self._dict["boundary"]]

    @property
    def decision_table(self) -> List[Tuple[int, int, int]]:
        """The rule condensed: (from, to, b), stop at looks from..to when the events reach b."""
        return [(row["from"], row["to"], row["b"]) for row in self._dict["decision_table"]]

    @property
    def phi_star(self) -> Optional[float]:
        """The probability of stopping at THETA (None when THETA is not known)."""
        value: Optional[float] = self._dict["phi_star"]
        return value

    @property
    def phi_star_exact(self) -> Optional[float]:
        """For a simulated design, its rule's probability of stopping at THETA computed exactly; else None."""
        value: Optional[float] = self._dict.get("phi_star_exact")
        return value

    @property
    def constant(self) -> Optional[float]:
        """The constant c of the calibrated shape (for pocock the pointwise level); None for a rule given."""
        value: Optional[float] = self._dict["constant"]
        return value

    @property
    def neighbour(self) -> Optional[Dict[str, float]]:
        """The next more aggressive candidate, {"constant", "phi_star"}, or None."""
        value = self._dict["neighbour"]
        return dict(value) if value is not None else None

    @property
    def sentence(self) -> str:
        """The rule in one sentence for a protocol."""
        value: str = self._dict["sentence"]
        return value

    @property
    def method(self) -> str:
        """"exact" or "simulation"."""
        value: str = self._dict["method"]
        return value

    @property
    def design(self) -> Optional[str]:
        """The command line's arguments that give the design back; None for a rule given."""
        value: Optional[str] = self._dict["design"]
        return value

    def oc(self, rates: Rates = None) -> List[Dict[str, Optional[float]]]:
        """The operating characteristics, one dict per rate with the JSON's keys.

        rates: a list, or the command line's --rates text; None gives the table's default rows.
        """
        if rates is None:
            rows: List[Dict[str, Optional[float]]] = self._dict["oc"]
        else:
            other = self._analysis.with_rates(_rates(rates))
            rows = json.loads(other.json(self._date, self._timestamp))["oc"]
        return [dict(row) for row in rows]

    def looks_table(self, rate: Optional[float] = None) -> List[Dict[str, Any]]:
        """The figures of every look: n, b and p_stop_at_look, the probability of stopping exactly there, at
        THETA (or at rate, one of the table's rows; P1 with an alternative)."""
        rows = self._dict["oc"]
        if rate is None:
            index = self._dict["theta_row"]
            if index is None:
                raise ValueError("the table has no row at THETA: give one of its rates")
        else:
            matches = [i for i, row in enumerate(rows) if abs(row["rate"] - _real("rate", rate)) <= 1e-10]
            if not matches:
                raise ValueError(f"no row at rate {rate!r}: give one of {[row['rate'] for row in rows]}")
            index = matches[0]
        at_look = rows[index]["p_stop_at_look"]
        return [{"n": entry["n"], "b": entry["b"], "p_stop_at_look": p}
                for entry, p in zip(self._dict["boundary"], at_look)]

    def oc_frame(self, rates: Rates = None) -> Any:
        """The operating characteristics as a pandas DataFrame (needs pandas)."""
        try:
            pandas = importlib.import_module("pandas")
        except ImportError as error:
            raise ImportError("Rule.oc_frame needs pandas; Rule.oc gives the same rows as dicts") from error
        return pandas.DataFrame(self.oc(rates))

    def to_dict(self) -> Dict[str, Any]:
        """The command line's JSON document as a dict."""
        return json.loads(self._json)  # type: ignore[no-any-return]

    def to_json(self) -> str:
        """The command line's JSON document, indented by 2."""
        return self._json

    # ---- Other outputs ---------------------------------------------------------------------------

    def svg(self) -> str:
        """The SVG picture: the boundary and the operating-characteristic curves."""
        return self._analysis.svg(self._date, self._timestamp)

    def report_html(self) -> str:
        """The self-contained HTML report page."""
        return self._analysis.html(self._date, self._timestamp)

    def report_text(self) -> str:
        """The text report, as the command line prints it."""
        return self._analysis.text(self._date, self._timestamp)

    def to_csv(self) -> str:
        """The operating-characteristics table as CSV with a header row."""
        return self._analysis.csv()

    def boundary_file(self) -> str:
        """The text of the boundary file, which reads back with read_boundary (and --evaluate)."""
        return self._analysis.boundary_file(self._analysis.program)

    def write_boundary(self, path: PathLike) -> None:
        """Writes the boundary file to path."""
        with open(path, "w", encoding="utf-8", newline="") as file:
            file.write(self.boundary_file())

    # ---- Display ---------------------------------------------------------------------------------

    def __repr__(self) -> str:
        d = self._dict
        what = f"design {d['design']!r}" if d["design"] is not None else f"rule K={d['inputs']['K']}"
        if d.get("constant_fixed"):
            what += f" at the constant {d['constant']:.6g}"
        phi_star = "" if d["phi_star"] is None else f", phi_star={d['phi_star']:.4g}"
        return f"<contmon.Rule {what}{phi_star}, {len(d['decision_table'])} rows, {d['method']}>"

    def __str__(self) -> str:
        rows = self.decision_table
        if not rows:
            return self.sentence + "\n"
        width = len(str(rows[-1][1]))
        looks = [f"{first:>{width}}" + (f" to {last:>{width}}" if last != first else "") for first, last, _ in rows]
        column = max(len("looks"), *(len(text) for text in looks))
        lines = ["Stop the trial when the events reach b:", f"  {'looks':<{column}}  {'b':>3}"]
        lines += [f"  {text:<{column}}  {count:>3}" for text, (_, _, count) in zip(looks, rows)]
        return "\n".join(lines) + "\n"

    def _repr_html_(self) -> str:
        d = self._dict
        e = html.escape
        heading = (f"contmon design <code>{e(d['design'])}</code>" if d["design"] is not None
                   else f"contmon rule, K = {d['inputs']['K']}")
        facts = [f"method: {e(d['method'])}"]
        if d["phi_star"] is not None:
            facts.append(f"PHI* = {d['phi_star']:.6g}")
        if d["constant"] is not None:
            facts.append(f"constant = {d['constant']:.6g}")
        rows = "".join(
            f"<tr><td>{first}</td><td>{last}</td><td>{count}</td></tr>" for first, last, count in self.decision_table)
        return (f"<div class=\"contmon-rule\"><p><b>{heading}</b> ({e(', '.join(facts))})</p>"
                f"<p>{e(d['sentence'])}</p>"
                "<table><thead><tr><th>from look</th><th>to look</th><th>stop at events</th></tr></thead>"
                f"<tbody>{rows}</tbody></table>{self.svg()}</div>")


def design(K: int, theta: float, phi: Optional[float], *, shape: str = "pocock", looks: Looks = None,
           cohort: Optional[int] = None, start: Optional[int] = None, min_events: int = 1,
           method: str = "exact", constant: Optional[float] = None, alternative: Optional[float] = None,
           accrual: Optional[float] = None, window: Optional[float] = None, trials: Optional[int] = None,
           seed: Optional[int] = None) -> Rule:
    """Calibrates a design as the command line does: ``contmon.design(40, 0.2, 0.1)`` is ``contmon-exact 40 0.2 0.1``.

    shape: pocock, obf, wt:DELTA, bayes:A,B, sprt:P1, maxsprt or cc:A,B,P1,NU. looks: a list or the --looks
    text ("5:40:5"); cohort: a look every cohort patients; start: no look before this patient; min_events:
    every stopping count at least this. method: "exact" or "simulation" (a million trials from the default
    seed; trials and seed change them). constant: the shape's rule at this constant instead of calibrating
    it (--constant; phi may then be None). alternative: P1 (--alternative), whose row the table adds.
    accrual and window: patients enter over accrual time units and each outcome is known window units after
    entry (--accrual A --window TAU, given together); the rows add the figures of trial conduct.
    Raises DesignError (a ValueError) with the command line's message for an invalid value.
    """
    K_text, theta, looks_text, cohort_n, start_n, min_n = _schedule(K, theta, looks, cohort, start, min_events)
    c = _constant(constant)
    if phi is None and c is None:
        raise TypeError("phi must be a number (it may be None only with a constant)")
    phi_value = None if phi is None else _probability("PHI", phi)
    shape, method = _text("shape", shape), _text("method", method)
    times = _accrual(accrual, window)
    p1 = _alternative(alternative, theta)
    trials_n, seed_n = _simulation(method, trials, seed)
    analysis = _core.design(K_text, theta, phi_value, shape, looks_text, cohort_n, start_n, min_n, method,
                            trials_n, seed_n, [], c, p1, times)
    return Rule(analysis)


class Comparison:
    """Several shapes of one design, each calibrated: the command line's --shape given more than once.

    ``designs`` holds a Rule per shape, ``rows`` the comparison table, and ``to_dict()`` is the command
    line's JSON, {"designs": [...]}.
    """

    def __init__(self, comparison: _core.Comparison) -> None:
        if not isinstance(comparison, _core.Comparison):
            raise TypeError("a Comparison comes from contmon.compare")
        self._comparison = comparison
        self._date, self._timestamp = _now()
        self._json = comparison.json(self._date, self._timestamp)
        self.designs: List[Rule] = [Rule(one, (self._date, self._timestamp)) for one in comparison.designs]
        self.rows: List[Dict[str, Any]] = comparison.rows()
        """The comparison table: shape, constant, phi_star, power (at P1), mean_n_theta,
        mean_n_alternative, first_stop (0: never) and count_at_K; None where there is no alternative."""

    def to_dict(self) -> Dict[str, Any]:
        """The command line's JSON document as a dict."""
        return json.loads(self._json)  # type: ignore[no-any-return]

    def to_json(self) -> str:
        """The command line's JSON document, indented by 2."""
        return self._json

    def to_csv(self) -> str:
        """The designs' operating characteristics as CSV, with a leading column "shape"."""
        return self._comparison.csv()

    def svg(self) -> str:
        """The SVG picture overlaying the designs' boundaries and curves."""
        return self._comparison.svg(self._date, self._timestamp)

    def report_html(self) -> str:
        """The self-contained HTML report page of the comparison."""
        return self._comparison.html(self._date, self._timestamp)

    def __repr__(self) -> str:
        return f"<contmon.Comparison of {', '.join(row['shape'] for row in self.rows)}>"

    def __str__(self) -> str:
        return self._comparison.text(self._date, self._timestamp)

    def _repr_html_(self) -> str:
        e = html.escape
        columns = ("shape", "constant", "phi_star", "power", "mean_n_theta", "mean_n_alternative", "first_stop",
                   "count_at_K")

        def cell(value: Any) -> str:
            return "" if value is None else e(f"{value:.6g}" if isinstance(value, float) else str(value))

        head = "".join(f"<th>{e(name)}</th>" for name in columns)
        body = "".join("<tr>" + "".join(f"<td>{cell(row[name])}</td>" for name in columns) + "</tr>"
                       for row in self.rows)
        return (f"<div class=\"contmon-comparison\"><table><thead><tr>{head}</tr></thead><tbody>{body}</tbody>"
                f"</table>{self.svg()}</div>")


def compare(K: int, theta: float, phi: float, shapes: Iterable[str], *, looks: Looks = None,
            cohort: Optional[int] = None, start: Optional[int] = None, min_events: int = 1,
            alternative: Optional[float] = None, method: str = "exact", accrual: Optional[float] = None,
            window: Optional[float] = None, trials: Optional[int] = None, seed: Optional[int] = None) -> Comparison:
    """Designs each shape for the same K, THETA, PHI and looks and compares them, as the command line's
    --shape given several times: ``contmon.compare(40, 0.2, 0.1, ["pocock", "obf"])`` is
    ``contmon-exact --shape pocock --shape obf 40 0.2 0.1``. The other arguments are design()'s.
    """
    K_text, theta, looks_text, cohort_n, start_n, min_n = _schedule(K, theta, looks, cohort, start, min_events)
    phi = _probability("PHI", phi)
    shape_list = [_text("shapes", shape) for shape in _list("shapes", shapes)]
    if len(shape_list) < 2:
        raise _error("shapes", "a comparison needs at least two shapes; design() takes one")
    method = _text("method", method)
    times = _accrual(accrual, window)
    p1 = _alternative(alternative, theta)
    trials_n, seed_n = _simulation(method, trials, seed)
    return Comparison(_core.compare(K_text, theta, phi, shape_list, looks_text, cohort_n, start_n, min_n, method,
                                    trials_n, seed_n, p1, times))


class SampleSizeSearch:
    """The search for the smallest K whose design reaches a power at the alternative (--find-k POWER).

    ``to_dict()`` is the command line's JSON: the report of the K found with the search's keys added.
    """

    def __init__(self, search: _core.Search) -> None:
        if not isinstance(search, _core.Search):
            raise TypeError("a SampleSizeSearch comes from contmon.find_k")
        self._search = search
        self._date, self._timestamp = _now()
        self._json = search.json(self._date, self._timestamp)
        self.smallest_k: Optional[int] = search.smallest_k
        """The smallest K whose power reaches the target; None when none does."""
        self.stable_k: Optional[int] = search.stable_k
        """The smallest K from which every larger one reaches the target; None when none does."""
        self.best_k: int = search.best_k
        """The K of the highest power (the smallest of equals)."""
        self.steps: List[Dict[str, Any]] = json.loads(self._json)["search"]
        """One dict per K searched: K, constant, phi_star, power, mean_n_theta, mean_n_alternative."""
        self.rule = Rule(search.found, (self._date, self._timestamp))
        """The design of the K reported: smallest_k, else best_k."""

    def to_dict(self) -> Dict[str, Any]:
        """The command line's JSON document as a dict."""
        return json.loads(self._json)  # type: ignore[no-any-return]

    def to_json(self) -> str:
        """The command line's JSON document, indented by 2."""
        return self._json

    def __repr__(self) -> str:
        return (f"<contmon.SampleSizeSearch smallest_k={self.smallest_k}, stable_k={self.stable_k}, "
                f"best_k={self.best_k}>")

    def __str__(self) -> str:
        return self._search.text()


def find_k(K: int, theta: float, phi: float, *, power: float, alternative: Optional[float],
           shape: str = "pocock", looks: Looks = None, cohort: Optional[int] = None, start: Optional[int] = None,
           min_events: int = 1, method: str = "exact") -> SampleSizeSearch:
    """Designs every K' from 1 to K exactly and reports the smallest whose probability of stopping at the
    alternative P1 reaches power, as ``contmon-exact --alternative P1 --find-k POWER K THETA PHI``. The
    schedule (looks, cohort, start) is applied to each K'. The search is exact only.
    """
    K_text, theta, looks_text, cohort_n, start_n, min_n = _schedule(K, theta, looks, cohort, start, min_events)
    phi = _probability("PHI", phi)
    shape, method = _text("shape", shape), _text("method", method)
    if method != "exact":
        raise _error("method", "find_k computes exactly: give method=\"exact\"")
    if alternative is None:
        raise _error("alternative", "find_k needs alternative P1: the power is the probability of stopping at P1")
    p1 = _alternative(alternative, theta)
    assert p1 is not None
    target = _real("power", power)
    if not 0.0 < target < 1.0:
        try:
            _core.parse_probability("POWER", repr(target))
        except DesignError as error:
            raise _error("power", f"--find-k: {error}") from None
    return SampleSizeSearch(_core.find_k(K_text, theta, phi, shape, looks_text, cohort_n, start_n, min_n, p1,
                                         target))


def evaluate(b: Iterable[int], looks: Optional[Iterable[int]] = None, rates: Rates = None, method: str = "exact",
             *, theta: Optional[float] = None, phi: Optional[float] = None) -> Rule:
    """The operating characteristics of a rule given as its stopping counts b, one per look.

    looks: ascending, the last is K; None: a look after every patient (K = len(b)). rates: a list or the
    --rates text; without them the table has the default rows for theta, which must then be given.
    """
    counts = [_c_int("b", count) for count in _list("b", b)]
    look_list = None if looks is None else [_c_int("looks", look) for look in _list("looks", looks)]
    analysis = _core.evaluate(counts, look_list, None if theta is None else _probability("THETA", theta),
                              None if phi is None else _probability("PHI", phi), _rates(rates),
                              _text("method", method))
    return Rule(analysis)


def read_boundary(path: PathLike, *, rates: Rates = None, method: str = "exact") -> Rule:
    """The rule in a boundary file (the programs' own, or lines "n b"), with its figures at the rates.

    A boundary file gives THETA and PHI; a file of "n b" lines needs the rates.
    """
    if not isinstance(path, (str, os.PathLike)):
        raise TypeError(f"path must be a str or a path, not {type(path).__name__}")
    name = os.fsdecode(os.fspath(path))
    with open(path, "rb") as file:
        contents = file.read()
    return Rule(_core.read_rule(name, contents, _rates(rates), _text("method", method)))
