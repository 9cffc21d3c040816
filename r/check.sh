#!/usr/bin/env bash
# Builds the R package from this checkout and checks it: the two programs (for the round trip through
# --evaluate; those of CONTMON_PROGRAMS_DIR when it is set), the source tarball (r/build.sh), R CMD check --no-manual on it (which runs the testthat
# tests, with CONTMON_EXACT naming the program), an interrupted simulation, and the benchmark's figure.
# Usage: r/check.sh [SCRATCH_DIR]  (default: a fresh temporary folder, removed at the end). Needs r-base-dev, r-cran-rcpp,
# r-cran-testthat, r-cran-roxygen2, r-cran-jsonlite, cmake, g++, libcli11-dev and nlohmann-json3-dev.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
if [[ $# -ge 1 ]]; then
  scratch=$1
else
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT  # a folder of its own: removed at the end, its log is printed below
fi
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
SECONDS=0
step() { echo "== r/check.sh: $* (${SECONDS} s)"; }

# The programs of CONTMON_PROGRAMS_DIR (a build folder holding contmon and contmon-exact, as ctest gives it),
# else built here.
if [[ -n "${CONTMON_PROGRAMS_DIR:-}" ]]; then
  programs=$(cd "$CONTMON_PROGRAMS_DIR" && pwd)
  for program in contmon contmon-exact; do
    [[ -x "$programs/$program" ]] || { echo "r/check.sh: no $program in CONTMON_PROGRAMS_DIR=$programs" >&2; exit 1; }
  done
  step "the programs of $programs"
else
  programs="$scratch/programs"
  step "the programs"
  cmake -S "$root" -B "$programs" -DCONTMON_BUILD_TESTS=OFF -DCONTMON_BUILD_BENCHMARKS=OFF > /dev/null
  cmake --build "$programs" -j2 --target contmon contmon-exact > /dev/null
fi

step "the source tarball"
tarball=$("$here/build.sh" "$scratch")

step "R CMD check --no-manual $(basename "$tarball")"
export CONTMON_EXACT="$programs/contmon-exact"
export MAKEFLAGS=-j2 _R_CHECK_FORCE_SUGGESTS_=false _R_CHECK_CRAN_INCOMING_=false _R_CHECK_SYSTEM_CLOCK_=0
(cd "$scratch" && R CMD check --no-manual --no-build-vignettes "$tarball") > "$scratch/check.log" 2>&1 || true
cat "$scratch/check.log"
if grep -q -E "^Status: .*(ERROR|WARNING)" "$scratch/check.log" || ! grep -q "^Status:" "$scratch/check.log"; then
  echo "r/check.sh: R CMD check found an ERROR or a WARNING" >&2
  for log in "$scratch"/contmon.Rcheck/tests/*.Rout.fail; do [[ -e "$log" ]] && cat "$log" >&2; done
  exit 1
fi

library="$scratch/contmon.Rcheck"  # R CMD check installed the package there
step "an interrupted simulation returns at once and leaves no thread"
Rscript "$here/tests/interrupt.R" "$library"

step "speed: stopping_rule(255, 0.05, 0.1)"
Rscript "$here/bench/design_speed.R" "$library"
step "done"
