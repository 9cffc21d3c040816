#!/usr/bin/env python3
"""Writes the JSON the programs print for the cases the module's tests compare with.

    python/tests/make_reference.py BUILD_DIR [FOLDER]

BUILD_DIR holds contmon and contmon-exact (cmake --build BUILD_DIR --target contmon contmon-exact). Each
case NAME gives FOLDER/NAME.json (FOLDER: python/tests/reference, which is committed); the rule files it
evaluates are written there first, by the programs. The tests read another FOLDER named by the environment
variable CONTMON_REFERENCE.
"""
import json
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
REFERENCE = HERE / "reference"

# NAME: (program, arguments). Test_json.py has the module's call for each name.
CASES = {
    "pocock": ("contmon-exact", ["40", "0.2", "0.1"]),
    "pocock_k255": ("contmon-exact", ["255", "0.05", "0.1"]),
    "obf": ("contmon-exact", ["--shape", "obf", "30", "0.15", "0.1"]),
    "wt": ("contmon-exact", ["--shape", "wt:0.25", "50", "0.3", "0.05"]),
    "bayes": ("contmon-exact", ["--shape", "bayes:0.5,2", "45", "0.1", "0.1"]),
    "sprt": ("contmon-exact", ["--shape", "sprt:0.4", "35", "0.2", "0.1"]),
    "maxsprt": ("contmon-exact", ["--shape", "maxsprt", "60", "0.25", "0.1"]),
    "cohort_runin": ("contmon-exact", ["--shape", "obf", "--cohort", "5", "--start", "10", "--min-events", "3",
                                       "62", "0.1", "0.05"]),
    "looks": ("contmon-exact", ["--looks", "5:40:5,12", "40", "0.2", "0.1"]),
    "rates": ("contmon-exact", ["--rates", "0.05:0.5:0.15,0.9", "40", "0.2", "0.1"]),
    "simulation": ("contmon", ["30", "0.2", "0.1"]),
    "simulation_cohort": ("contmon", ["--shape", "wt:0.1", "--cohort", "4", "--start", "8", "40", "0.3", "0.1"]),
    "evaluate_file": ("contmon-exact", ["--evaluate", "rule_cohort.dat"]),
    "evaluate_plain": ("contmon-exact", ["--evaluate", "rule_plain.txt", "--rates", "0.1,0.3"]),
    "evaluate_plain_simulation": ("contmon", ["--evaluate", "rule_plain.txt", "--rates", "0.2"]),
    "compare": ("contmon-exact", ["--shape", "pocock", "--shape", "obf", "--shape", "bayes:1,1", "--shape",
                                  "cc:1,1,0.4,0.5", "--cohort", "5", "--alternative", "0.4", "40", "0.2", "0.1"]),
    "compare_simulation": ("contmon", ["--shape", "obf", "--shape", "wt:0.25", "--shape", "sprt:0.45",
                                       "--trials", "5000", "--seed", "11", "--looks", "10:30:10", "30", "0.2",
                                       "0.1"]),
    "find_k": ("contmon-exact", ["--cohort", "5", "--alternative", "0.4", "--find-k", "0.5", "40", "0.2", "0.1"]),
    "find_k_short": ("contmon-exact", ["--shape", "obf", "--alternative", "0.3", "--find-k", "0.9", "20", "0.2",
                                       "0.1"]),
    "constant": ("contmon-exact", ["--shape", "bayes:1,1", "--constant", "0.9", "40", "0.2"]),
    "constant_phi": ("contmon-exact", ["--constant", "0.01", "--cohort", "4", "40", "0.2", "0.1"]),
    "accrual": ("contmon-exact", ["--accrual", "365", "--window", "28", "--alternative", "0.4", "--shape",
                                  "cc:1,1,0.4,0.5", "40", "0.2", "0.1"]),
    "simulation_seed": ("contmon", ["--trials", "20000", "--seed", "7", "--shape", "obf", "--cohort", "3", "30",
                                    "0.2", "0.1"]),
}

# NAME: cases above whose text output (the program's default format) is kept too, as NAME.txt, and those
# whose CSV is, as NAME.csv.
TEXTS = ["compare", "find_k", "find_k_short"]
CSVS = ["compare", "accrual"]

# NAME: arguments of contmon-exact that it refuses; errors.json has its message for each (test_errors.py has
# the module's call).
ERRORS = {
    "K_zero": ["0", "0.2", "0.1"],
    "K_above": ["256", "0.2", "0.1"],
    "K_huge": ["99999999999", "0.2", "0.1"],
    "theta_percent": ["40", "1.5", "0.1"],
    "theta_zero": ["40", "0.0", "0.1"],
    "phi_one": ["40", "0.2", "1.0"],
    "phi_nan": ["40", "0.2", "nan"],
    "shape_unknown": ["--shape", "foo", "40", "0.2", "0.1"],
    "shape_wt": ["--shape", "wt:0.7", "40", "0.2", "0.1"],
    "shape_sprt": ["--shape", "sprt:0.1", "40", "0.2", "0.1"],
    "shape_bayes": ["--shape", "bayes:0,1", "40", "0.2", "0.1"],
    "looks_beyond": ["--looks", "5,50", "40", "0.2", "0.1"],
    "looks_text": ["--looks", "5,x", "40", "0.2", "0.1"],
    "looks_before_start": ["--start", "10", "--looks", "5,40", "40", "0.2", "0.1"],
    "cohort_above": ["--cohort", "50", "40", "0.2", "0.1"],
    "cohort_zero": ["--cohort", "0", "40", "0.2", "0.1"],
    "start_above": ["--start", "41", "40", "0.2", "0.1"],
    "min_events_above": ["--min-events", "41", "40", "0.2", "0.1"],
    "min_events_zero": ["--min-events", "0", "40", "0.2", "0.1"],
    "rates_above": ["--rates", "0.2,1.2", "40", "0.2", "0.1"],
    "rates_range": ["--rates", "0.5:0.1:0.1", "40", "0.2", "0.1"],
    "file_cut": ["--evaluate", "rule_cut.dat"],
    "file_count": ["--evaluate", "rule_bad.txt", "--rates", "0.2"],
    "accrual_alone": ["--accrual", "365", "40", "0.2", "0.1"],
    "window_alone": ["--window", "28", "40", "0.2", "0.1"],
    "window_zero": ["--accrual", "365", "--window", "0.0", "40", "0.2", "0.1"],
    "constant_pocock": ["--constant", "1.5", "40", "0.2", "0.1"],
    "constant_infinite": ["--constant", "inf", "40", "0.2"],
    "alternative_below": ["--alternative", "0.1", "40", "0.2", "0.1"],
    "alternative_percent": ["--alternative", "1.5", "40", "0.2", "0.1"],
    "find_k_power": ["--alternative", "0.4", "--find-k", "1.5", "40", "0.2", "0.1"],
    "find_k_alternative": ["--alternative", "0.1", "--find-k", "0.5", "40", "0.2", "0.1"],
    "trials_few": ["--trials", "10", "40", "0.2", "0.1"],
    "seed_above": ["--seed", "1073741824", "40", "0.2", "0.1"],
    "compare_shape": ["--shape", "obf", "--shape", "cc:1,1,0.1,0.5", "40", "0.2", "0.1"],
}


def main() -> int:
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    build = Path(sys.argv[1]).resolve()
    reference = Path(sys.argv[2]).resolve() if len(sys.argv) == 3 else REFERENCE
    reference.mkdir(parents=True, exist_ok=True)

    def run(program: str, arguments: list) -> str:
        # Invoked by its bare name, so that files naming the program do not name this machine's folders.
        return subprocess.run([program, *arguments], executable=build / program, cwd=reference, check=True,
                              capture_output=True, text=True).stdout

    # The rule files: a boundary file of a schedule with a run-in, and lines "n b" of a rule given by hand.
    run("contmon-exact", ["--shape", "bayes:1,1", "--cohort", "3", "--start", "6", "-o", "rule_cohort.dat",
                          "--format", "json", "33", "0.2", "0.1"])
    (reference / "rule_plain.txt").write_text("# n b\n5 3\n10 4\n15 5\n20 6\n", encoding="utf-8")
    for name, (program, arguments) in CASES.items():
        output = run(program, ["--format", "json", "--no-output", *arguments])
        (reference / f"{name}.json").write_text(output, encoding="utf-8")
        if name in TEXTS:
            (reference / f"{name}.txt").write_text(run(program, ["--no-output", *arguments]), encoding="utf-8")
        if name in CSVS:
            (reference / f"{name}.csv").write_text(run(program, ["--format", "csv", "--no-output", *arguments]),
                                                   encoding="utf-8")

    # The pictures of a design and of a simulated one; the page's date is left to the test.
    run("contmon-exact", ["--no-output", "--format", "json", "--plot", "pictures.svg", "--report", "pictures.html",
                          "--shape", "obf", "--cohort", "4", "24", "0.2", "0.1"])
    run("contmon", ["--no-output", "--format", "json", "--plot", "pictures_simulation.svg", "--report",
                    "pictures_simulation.html", "--shape", "wt:0.1", "--cohort", "4", "--start", "8", "40", "0.3",
                    "0.1"])
    run("contmon-exact", ["--no-output", "--format", "json", "--plot", "compare.svg", "--report", "compare.html",
                          *CASES["compare"][1]])

    # Rule files that cannot be read: a boundary file cut short, and a count that is no number.
    lines = (reference / "rule_cohort.dat").read_text(encoding="utf-8").splitlines(keepends=True)
    (reference / "rule_cut.dat").write_text("".join(lines[:20]), encoding="utf-8")
    (reference / "rule_bad.txt").write_text("5 2\n10 x\n", encoding="utf-8")
    messages = {}
    for name, arguments in ERRORS.items():
        command = ["contmon-exact", "--no-output", "--format", "json", *arguments]
        refused = subprocess.run(command, executable=build / "contmon-exact", cwd=reference, capture_output=True,
                                 text=True)
        prefix = "contmon-exact: "
        if refused.returncode != 1 or not refused.stderr.startswith(prefix):
            raise SystemExit(f"{name}: expected a refusal, got status {refused.returncode}: {refused.stderr}")
        messages[name] = refused.stderr[len(prefix):].splitlines()[0]  # without a usage line's hint
    (reference / "errors.json").write_text(json.dumps(messages, indent=2) + "\n", encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
