"""Continuous monitoring rules for a single-arm trial with a binary outcome.

At each look the running count of events is compared with an upper boundary and the trial stops when it
reaches it. :func:`design` finds the boundary for K, THETA, PHI and a shape; :func:`evaluate` and
:func:`read_boundary` take a rule you already have. Every figure and text comes from the contmon library,
so that it equals the command line's.

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

__all__ = ["DesignError", "Rule", "design", "evaluate", "read_boundary", "__version__"]
__version__: str = _core.version

Rates = Union[str, Iterable[float], None]
Looks = Union[str, Iterable[int], None]
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


def _now() -> Tuple[str, str]:
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

    def __init__(self, analysis: _core.Analysis) -> None:
        if not isinstance(analysis, _core.Analysis):
            raise TypeError("a Rule comes from contmon.design, contmon.evaluate or contmon.read_boundary")
        self._analysis = analysis
        self._date, self._timestamp = _now()
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


def design(K: int, theta: float, phi: float, *, shape: str = "pocock", looks: Looks = None,
           cohort: Optional[int] = None, start: Optional[int] = None, min_events: int = 1,
           method: str = "exact") -> Rule:
    """Calibrates a design as the command line does: ``contmon.design(40, 0.2, 0.1)`` is ``contmon-exact 40 0.2 0.1``.

    shape: pocock, obf, wt:DELTA, bayes:A,B, sprt:P1 or maxsprt. looks: a list or the --looks text
    ("5:40:5"); cohort: a look every cohort patients; start: no look before this patient; min_events: every
    stopping count at least this. method: "exact" or "simulation" (a million trials from the default seed).
    Raises DesignError (a ValueError) with the command line's message for an invalid value.
    """
    K_text = str(_whole("K", K))
    theta, phi = _probability("THETA", theta), _probability("PHI", phi)
    shape, looks_text, method = _text("shape", shape), _looks_text(looks), _text("method", method)
    analysis = _core.design(
        K_text, theta, phi, shape, looks_text,
        0 if cohort is None else _option("--cohort", "cohort", cohort),
        0 if start is None else _option("--start", "start", start),
        _option("--min-events", "min_events", min_events), method, [])
    return Rule(analysis)


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
