"""Bad values raise DesignError with the command line's message, wrong types TypeError, and nothing else
escapes: a table of each, and a property test over random designs."""
import json
import math

import pytest
from hypothesis import HealthCheck, event, given, settings
from hypothesis import strategies as st

import contmon

# NAME (errors.json, the message contmon-exact prints): the module's call with the same values.
REFUSED = {
    "K_zero": lambda: contmon.design(0, 0.2, 0.1),
    "K_above": lambda: contmon.design(256, 0.2, 0.1),
    "K_huge": lambda: contmon.design(99999999999, 0.2, 0.1),
    "theta_percent": lambda: contmon.design(40, 1.5, 0.1),
    "theta_zero": lambda: contmon.design(40, 0.0, 0.1),
    "phi_one": lambda: contmon.design(40, 0.2, 1.0),
    "phi_nan": lambda: contmon.design(40, 0.2, math.nan),
    "shape_unknown": lambda: contmon.design(40, 0.2, 0.1, shape="foo"),
    "shape_wt": lambda: contmon.design(40, 0.2, 0.1, shape="wt:0.7"),
    "shape_sprt": lambda: contmon.design(40, 0.2, 0.1, shape="sprt:0.1"),
    "shape_bayes": lambda: contmon.design(40, 0.2, 0.1, shape="bayes:0,1"),
    "looks_beyond": lambda: contmon.design(40, 0.2, 0.1, looks=[5, 50]),
    "looks_text": lambda: contmon.design(40, 0.2, 0.1, looks="5,x"),
    "looks_before_start": lambda: contmon.design(40, 0.2, 0.1, looks=[5, 40], start=10),
    "cohort_above": lambda: contmon.design(40, 0.2, 0.1, cohort=50),
    "cohort_zero": lambda: contmon.design(40, 0.2, 0.1, cohort=0),
    "start_above": lambda: contmon.design(40, 0.2, 0.1, start=41),
    "min_events_above": lambda: contmon.design(40, 0.2, 0.1, min_events=41),
    "min_events_zero": lambda: contmon.design(40, 0.2, 0.1, min_events=0),
    "rates_above": lambda: contmon.design(40, 0.2, 0.1).oc([0.2, 1.2]),
    "rates_range": lambda: contmon.design(40, 0.2, 0.1).oc("0.5:0.1:0.1"),
    "file_cut": lambda: contmon.read_boundary("rule_cut.dat"),
    "file_count": lambda: contmon.read_boundary("rule_bad.txt", rates=[0.2]),
}


@pytest.mark.parametrize("name", sorted(REFUSED))
def test_bad_values_raise_the_command_lines_message(reference, name):
    expected = json.loads((reference / "errors.json").read_text(encoding="utf-8"))[name]
    with pytest.raises(contmon.DesignError) as raised:
        REFUSED[name]()
    assert str(raised.value) == expected
    assert isinstance(raised.value, ValueError)
    assert raised.value.field


@pytest.mark.parametrize("call, words", [
    (lambda: contmon.evaluate([2, 3, 4], looks=[10, 5, 20], rates=[0.2]), "must ascend"),
    (lambda: contmon.evaluate([2, 3, 4], looks=[5, 10], rates=[0.2]), "one stopping count for each look"),
    (lambda: contmon.evaluate([2, 0], rates=[0.2]), "is not at least 1"),
    (lambda: contmon.evaluate([], rates=[0.2]), "K = 0"),
    (lambda: contmon.evaluate([1] * 256, rates=[0.2]), "K = 256"),
    (lambda: contmon.evaluate([2, 3], looks=[5, 300], rates=[0.2]), "K = 300 is not a whole number from 1 to 255"),
    (lambda: contmon.evaluate([2, 3], looks=[5, 2**40], rates=[0.2]), "is not a whole number from 1 to 255"),
    (lambda: contmon.evaluate([2, 3]), "no THETA"),
    (lambda: contmon.evaluate([2, 3], phi=1.5, rates=[0.2]), "invalid PHI '1.5'"),
    (lambda: contmon.design(40, 0.2, 0.1, method="bootstrap"), "invalid method"),
    (lambda: contmon.design(40, 0.2, 0.1, looks=[]), "--looks"),
    (lambda: contmon.design(40, 0.2, 0.1, start=10**30), "--start"),
])
def test_bad_values_of_the_module_alone(call, words):
    with pytest.raises(contmon.DesignError, match=words.replace(".", r"\.").replace("(", r"\(")):
        call()


@pytest.mark.parametrize("call", [
    lambda: contmon.design("40", 0.2, 0.1),
    lambda: contmon.design(40.0, 0.2, 0.1),
    lambda: contmon.design(True, 0.2, 0.1),
    lambda: contmon.design(40, "0.2", 0.1),
    lambda: contmon.design(40, 0.2, None),
    lambda: contmon.design(40, 0.2, 0.1, shape=None),
    lambda: contmon.design(40, 0.2, 0.1, looks=[5.5, 40]),
    lambda: contmon.design(40, 0.2, 0.1, looks=40),
    lambda: contmon.design(40, 0.2, 0.1, cohort=2.0),
    lambda: contmon.design(40, 0.2, 0.1, method=1),
    lambda: contmon.design(40, 0.2, 0.1, 5),
    lambda: contmon.evaluate("234", rates=[0.2]),
    lambda: contmon.evaluate([2, 3], rates=0.2),
    lambda: contmon.evaluate([2, None], rates=[0.2]),
    lambda: contmon.read_boundary(3),
    lambda: contmon.Rule(None),
])
def test_wrong_types_raise_type_error(call):
    with pytest.raises(TypeError):
        call()


VALID_SHAPES = st.one_of(
    st.sampled_from(["pocock", "obf", "maxsprt"]),
    st.builds("wt:{}".format, st.floats(0.0, 0.5)),
    st.builds("bayes:{},{}".format, st.floats(0.01, 20), st.floats(0.01, 20)),
    st.builds("sprt:{}".format, st.floats(0.3, 0.99)),
)
# For one field of a design, values of every kind, most of them faults.
FAULTS = {
    "K": st.one_of(st.integers(-2, 300), st.just(2**70)),
    "theta": st.one_of(st.floats(), st.sampled_from([0.0, 1.0, -0.1])),
    "phi": st.one_of(st.floats(), st.sampled_from([0.0, 1.0, 2.0])),
    "shape": st.one_of(st.text(max_size=10), st.sampled_from(["", "POCOCK", "wt:", "wt:-0.1", "bayes:1", "sprt:x"]),
                       st.builds("bayes:{},{}".format, st.floats(), st.floats())),
    "looks": st.one_of(st.lists(st.integers(-2, 300), max_size=8), st.text(max_size=8)),
    "cohort": st.integers(-3, 300),
    "start": st.integers(-3, 300),
    "min_events": st.integers(-3, 300),
}


@st.composite
def designs(draw):
    """A valid design (a schedule of looks, or cohorts from a start, or every patient), or one with a fault."""
    K = draw(st.integers(1, 60))
    design = {"K": K, "theta": draw(st.floats(0.02, 0.5)), "phi": draw(st.floats(0.01, 0.3)),
              "shape": draw(VALID_SHAPES), "min_events": draw(st.integers(1, min(K, 3)))}
    schedule = draw(st.sampled_from(["every", "looks", "cohort"]))
    if schedule == "looks":
        design["looks"] = draw(st.lists(st.integers(1, K), max_size=6)) + [K]
    elif schedule == "cohort":
        design["cohort"] = draw(st.integers(1, K))
        design["start"] = draw(st.one_of(st.none(), st.integers(1, K)))
    fault = draw(st.sampled_from([None, None, None, *FAULTS]))
    if fault is not None:
        design[fault] = draw(FAULTS[fault])
    return design


@settings(max_examples=100, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(designs())
def test_random_designs_give_a_rule_or_a_design_error(design):
    try:
        rule = contmon.design(**design)
    except contmon.DesignError as error:
        assert str(error) and "\n" not in str(error)
        event(f"refused: {error.field}")
        return
    event("a rule")
    document = rule.to_dict()
    looks = document["inputs"]["looks"]
    assert [n for n, _ in rule.boundary] == looks and looks[-1] == design["K"]
    assert all(b >= design["min_events"] for _, b in rule.boundary)
    if not document["never_stops"]:
        assert rule.phi_star <= design["phi"]
    if rule.neighbour is not None:
        assert rule.neighbour["phi_star"] > design["phi"]
