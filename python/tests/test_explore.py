"""Exploring designs against the programs' outputs (make_reference.py): comparisons of shapes, the search for
the sample size, a fixed constant, trial conduct under accrual and a simulation's trials and seed."""
import json
import math
import re

import pytest

import contmon

COMPARED = ["pocock", "obf", "bayes:1,1", "cc:1,1,0.4,0.5"]

# NAME (reference/NAME.json): the module's call that gives the same analysis.
RULES = {
    "constant": lambda: contmon.design(40, 0.2, None, shape="bayes:1,1", constant=0.9),
    "constant_phi": lambda: contmon.design(40, 0.2, 0.1, constant=0.01, cohort=4),
    "accrual": lambda: contmon.design(40, 0.2, 0.1, shape="cc:1,1,0.4,0.5", accrual=365, window=28,
                                      alternative=0.4),
    "simulation_seed": lambda: contmon.design(30, 0.2, 0.1, shape="obf", cohort=3, method="simulation",
                                              trials=20000, seed=7),
}
SIMULATED = ["obf", "wt:0.25", "sprt:0.45"]
COMPARISONS = {
    "compare": (COMPARED, lambda: contmon.compare(40, 0.2, 0.1, COMPARED, cohort=5, alternative=0.4)),
    "compare_simulation": (SIMULATED, lambda: contmon.compare(30, 0.2, 0.1, tuple(SIMULATED), looks="10:30:10",
                                                              method="simulation", trials=5000, seed=11)),
}
SEARCHES = {
    "find_k": lambda: contmon.find_k(40, 0.2, 0.1, power=0.5, alternative=0.4, cohort=5),
    "find_k_short": lambda: contmon.find_k(20, 0.2, 0.1, shape="obf", alternative=0.3, power=0.9),
}
SEARCH_KEYS = ("power_target", "smallest_k", "stable_k", "best_k", "search")


def undated(document):
    """The document without its moment of the run, in every design of a comparison."""
    document = {key: value for key, value in document.items() if key != "date"}
    if "designs" in document:
        document["designs"] = [undated(one) for one in document["designs"]]
    return document


def stored(folder, name):
    return json.loads((folder / f"{name}.json").read_text(encoding="utf-8"))


@pytest.mark.parametrize("name", sorted(RULES))
def test_new_design_options_give_the_programs_json(reference, name):
    rule = RULES[name]()
    expected = stored(reference, name)
    assert undated(rule.to_dict()) == undated(expected)
    assert rule.phi_star_exact == expected.get("phi_star_exact")
    assert rule.oc() == expected["oc"]


def test_a_simulation_takes_its_trials_and_seed():
    rule = RULES["simulation_seed"]()
    document = rule.to_dict()
    assert (document["trials"], document["seed"]) == (20000, 7)
    # The exact probability of the simulated boundary is the exact design's figure for the same rule.
    exact = contmon.evaluate([b for _, b in rule.boundary], looks=[n for n, _ in rule.boundary], theta=0.2, phi=0.1)
    assert rule.phi_star_exact == exact.oc([0.2])[0]["p_stop"] != rule.phi_star
    other = contmon.design(30, 0.2, 0.1, shape="obf", cohort=3, method="simulation", trials=20000, seed=8)
    assert other.oc()[0]["p_stop"] != rule.oc()[0]["p_stop"]


def test_a_calibrated_constant_given_back_gives_the_same_rule():
    calibrated = contmon.design(40, 0.2, 0.1, shape="obf", cohort=4)
    fixed = contmon.design(40, 0.2, 0.1, shape="obf", cohort=4, constant=calibrated.constant)
    assert fixed.boundary == calibrated.boundary and fixed.phi_star == calibrated.phi_star
    assert fixed.to_dict()["within_phi"] is True and fixed.neighbour is None
    assert f"at the constant {calibrated.constant:.6g}," in repr(fixed) and "constant" not in repr(calibrated)
    assert RULES["constant"]().to_dict()["within_phi"] is None  # PHI left out


@pytest.mark.parametrize("name", sorted(COMPARISONS))
def test_a_comparison_is_the_programs(reference, name):
    shapes, call = COMPARISONS[name]
    comparison = call()
    expected = stored(reference, name)
    assert undated(comparison.to_dict()) == undated(expected)
    assert json.loads(comparison.to_json()) == comparison.to_dict()
    assert [undated(rule.to_dict()) for rule in comparison.designs] == [undated(d) for d in expected["designs"]]
    # The table's rows hold each design's figures: the constant, PHI*, the power and E[N] at P1 and THETA.
    assert [row["shape"] for row in comparison.rows] == shapes
    for row, document in zip(comparison.rows, expected["designs"]):
        assert (row["constant"], row["phi_star"]) == (document["constant"], document["phi_star"])
        assert row["mean_n_theta"] == document["oc"][document["theta_row"]]["mean_n"]
        at_p1 = document["alternative_row"]
        if at_p1 is None:
            assert row["power"] is row["mean_n_alternative"] is None
        else:
            assert row["power"] == document["oc"][at_p1]["p_stop"]
            assert row["mean_n_alternative"] == document["oc"][at_p1]["mean_n"]
        stops = [n for n, b in ((e["n"], e["b"]) for e in document["boundary"]) if b <= n]
        assert row["first_stop"] == (stops[0] if stops else 0)
        assert row["count_at_K"] == document["boundary"][-1]["b"]


@pytest.mark.parametrize("options", [
    {"accrual": 200, "window": 30, "alternative": 0.45, "start": 6},
    {"method": "simulation", "trials": 2000, "seed": 3, "looks": [8, 16]},
])
def test_each_design_compared_is_the_design_of_its_shape(options):
    shapes = ["sprt:0.45", "maxsprt", "wt:0.5"]
    comparison = contmon.compare(24, 0.25, 0.1, shapes, min_events=2, **options)
    alone = [contmon.design(24, 0.25, 0.1, shape=shape, min_events=2, **options) for shape in shapes]
    assert [undated(rule.to_dict()) for rule in comparison.designs] == [undated(rule.to_dict()) for rule in alone]


def test_a_comparisons_other_outputs_are_the_programs(reference):
    comparison = COMPARISONS["compare"][1]()
    assert comparison.to_csv() == (reference / "compare.csv").read_text(encoding="utf-8")
    text = (reference / "compare.txt").read_text(encoding="utf-8")
    assert str(comparison) in text and "Comparison of the shapes" in str(comparison)
    assert comparison.svg() == (reference / "compare.svg").read_text(encoding="utf-8")

    def undated_page(page):
        return re.sub(r'<p class="meta">[^<]*?\xb7', '<p class="meta">DATE \xb7', page)

    assert undated_page(comparison.report_html()) == undated_page(
        (reference / "compare.html").read_text(encoding="utf-8"))
    page = comparison._repr_html_()
    assert page.count("<tr><td>") == len(COMPARED) and comparison.svg() in page
    assert repr(comparison) == f"<contmon.Comparison of {', '.join(COMPARED)}>"


@pytest.mark.parametrize("name", sorted(SEARCHES))
def test_a_search_for_the_sample_size_is_the_programs(reference, name):
    search = SEARCHES[name]()
    expected = stored(reference, name)
    assert undated(search.to_dict()) == undated(expected)
    assert (search.smallest_k, search.stable_k, search.best_k) == (
        expected["smallest_k"], expected["stable_k"], expected["best_k"])
    assert search.steps == expected["search"]
    # The rule is the report of the K found (the smallest reaching the power, else the best), without the search.
    assert search.rule.to_dict()["inputs"]["K"] == (search.smallest_k or search.best_k)
    assert undated(search.rule.to_dict()) == {key: value for key, value in undated(expected).items()
                                              if key not in SEARCH_KEYS}
    assert str(search) in (reference / f"{name}.txt").read_text(encoding="utf-8")


@pytest.mark.parametrize("call, rate", [
    (lambda: contmon.design(40, 0.2, 0.1, cohort=5), None),
    (RULES["accrual"], 0.4),
    (RULES["simulation_seed"], None),
])
def test_looks_table_splits_the_probability_of_stopping(call, rate):
    rule = call()
    table = rule.looks_table(rate)
    assert [(row["n"], row["b"]) for row in table] == rule.boundary
    row = next(r for r in rule.oc() if r["rate"] == (0.2 if rate is None else rate))
    assert [entry["p_stop_at_look"] for entry in table] == row["p_stop_at_look"]
    assert math.isclose(sum(entry["p_stop_at_look"] for entry in table), row["p_stop"], rel_tol=1e-9)
    with pytest.raises(ValueError, match="no row at rate"):
        rule.looks_table(0.123)


# NAME (errors.json, the message contmon-exact prints): the module's call with the same values.
REFUSED = {
    "accrual_alone": lambda: contmon.design(40, 0.2, 0.1, accrual=365),
    "window_alone": lambda: contmon.design(40, 0.2, 0.1, window=28),
    "window_zero": lambda: contmon.design(40, 0.2, 0.1, accrual=365, window=0),
    "constant_pocock": lambda: contmon.design(40, 0.2, 0.1, constant=1.5),
    "constant_infinite": lambda: contmon.design(40, 0.2, None, constant=math.inf),
    "alternative_below": lambda: contmon.design(40, 0.2, 0.1, alternative=0.1),
    "alternative_percent": lambda: contmon.compare(40, 0.2, 0.1, ["pocock", "obf"], alternative=1.5),
    "find_k_power": lambda: contmon.find_k(40, 0.2, 0.1, alternative=0.4, power=1.5),
    "find_k_alternative": lambda: contmon.find_k(40, 0.2, 0.1, alternative=0.1, power=0.5),
    "trials_few": lambda: contmon.design(40, 0.2, 0.1, method="simulation", trials=10),
    "seed_above": lambda: contmon.design(40, 0.2, 0.1, method="simulation", seed=2**30),
    "compare_shape": lambda: contmon.compare(40, 0.2, 0.1, ["obf", "cc:1,1,0.1,0.5"]),
}


@pytest.mark.parametrize("name", sorted(REFUSED))
def test_bad_values_raise_the_command_lines_message(reference, name):
    expected = json.loads((reference / "errors.json").read_text(encoding="utf-8"))[name]
    with pytest.raises(contmon.DesignError) as raised:
        REFUSED[name]()
    assert str(raised.value) == expected
    assert raised.value.field


@pytest.mark.parametrize("call, error, words", [
    (lambda: contmon.find_k(40, 0.2, 0.1, alternative=0.4, power=0.5, method="simulation"), contmon.DesignError,
     "computes exactly"),
    (lambda: contmon.find_k(40, 0.2, 0.1, alternative=None, power=0.5), contmon.DesignError, "needs alternative"),
    (lambda: contmon.find_k(40, 0.2, 0.1, power=0.5), TypeError, "alternative"),
    (lambda: contmon.design(40, 0.2, 0.1, trials=5000), contmon.DesignError, "trials sets the simulation"),
    (lambda: contmon.compare(40, 0.2, 0.1, ["obf"]), contmon.DesignError, "at least two shapes"),
    (lambda: contmon.compare(40, 0.2, 0.1, "obf"), TypeError, "shapes must be a list"),
    (lambda: contmon.design(40, 0.2, None), TypeError, "only with a constant"),
    (lambda: contmon.design(40, 0.2, 0.1, accrual=-1, window=28), contmon.DesignError, "invalid --accrual '-1.0'"),
    (lambda: contmon.design(40, 0.2, 0.1, constant=0.5, shape="obf", phi_typo=1), TypeError, "phi_typo"),
])
def test_bad_values_of_the_new_options(call, error, words):
    with pytest.raises(error, match=words):
        call()
