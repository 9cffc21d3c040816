#!/usr/bin/env bash
# Writes the programs' outputs that the package's tests compare with, into testthat/reference/: for each
# design of cases.tsv the JSON report (contmon-exact for "exact", contmon for "simulation") and, for
# pocock_exact, the text report; for each invalid design of errors.tsv the program's message.
# Usage: r/tests/make_reference.sh [BUILD_DIR]  (BUILD_DIR holds contmon and contmon-exact; default:
# builds them into build-r-reference/ at the top of the checkout).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
out="$here/testthat/reference"
build=${1:-}
if [[ -z "$build" ]]; then
  build="$root/build-r-reference"
  cmake -S "$root" -B "$build" -DCONTMON_BUILD_TESTS=OFF -DCONTMON_BUILD_BENCHMARKS=OFF > /dev/null
  cmake --build "$build" -j2 --target contmon contmon-exact > /dev/null
fi

# The command line's arguments of a row: shape looks cohort start min_events K theta phi.
arguments() {
  local K=$1 theta=$2 phi=$3 shape=$4 looks=$5 cohort=$6 start=$7 min_events=$8
  args=(--shape "$shape")
  [[ "$looks" == - ]] || args+=(--looks "$looks")
  [[ "$cohort" == - ]] || args+=(--cohort "$cohort")
  [[ "$start" == - ]] || args+=(--start "$start")
  args+=(--min-events "$min_events" "$K" "$theta" "$phi")
}

while IFS=$'\t' read -r name method K theta phi shape looks cohort start min_events rates; do
  [[ "$name" == name ]] && continue
  arguments "$K" "$theta" "$phi" "$shape" "$looks" "$cohort" "$start" "$min_events"
  program="$build/contmon-exact"
  [[ "$method" == simulation ]] && program="$build/contmon"
  [[ "$rates" == - ]] || args=(--rates "$rates" "${args[@]}")
  "$program" --no-output --format json "${args[@]}" > "$out/$name.json" 2> /dev/null
done < "$out/cases.tsv"

"$build/contmon-exact" --no-output 40 0.2 0.1 > "$out/pocock_exact.txt"

# Exploring designs and trial conduct (test-explore.R): a comparison of shapes, a search for K, a fixed
# constant without PHI, accrual with a window, and a simulation of fewer trials from another seed.
explore() {
  local name=$1 program=$2
  shift 2
  "$build/$program" --no-output --format json "$@" > "$out/$name.json" 2> /dev/null
}
compare=(--alternative 0.4 --cohort 5 --shape pocock --shape obf --shape bayes:1,1 --shape cc:1,1,0.4,0.5 40 0.2 0.1)
explore compare_exact contmon-exact "${compare[@]}"
"$build/contmon-exact" --no-output "${compare[@]}" > "$out/compare_exact.txt"
explore compare_sim contmon --shape wt:0.25 --shape maxsprt --start 10 --min-events 2 30 0.15 0.1
find_k=(--cohort 5 --alternative 0.4 --find-k 0.5 40 0.2 0.1)
explore find_k_exact contmon-exact "${find_k[@]}"
"$build/contmon-exact" --no-output "${find_k[@]}" > "$out/find_k_exact.txt"
explore find_k_none_exact contmon-exact --shape obf --alternative 0.3 --find-k 0.9 20 0.2 0.05
explore constant_exact contmon-exact --shape bayes:1,1 --constant 0.9 40 0.2
explore constant_sim contmon --trials 20000 --seed 7 --constant 0.05 --alternative 0.45 30 0.2 0.05
explore accrual_exact contmon-exact --accrual 365 --window 28 --alternative 0.4 --shape cc:1,1,0.4,0.5 40 0.2 0.1
explore accrual_sim contmon --trials 20000 --seed 7 --accrual 100 --window 10 --cohort 4 24 0.25 0.1
explore trials_seed_sim contmon --trials 20000 --seed 7 --shape obf --cohort 5 40 0.2 0.1

printf 'name\tmessage\n' > "$out/error_messages.tsv"
while IFS=$'\t' read -r name K theta phi shape looks cohort start min_events; do
  [[ "$name" == name ]] && continue
  arguments "$K" "$theta" "$phi" "$shape" "$looks" "$cohort" "$start" "$min_events"
  if message=$("$build/contmon-exact" --no-output --format json "${args[@]}" 2>&1 > /dev/null); then
    echo "make_reference.sh: $name: the program accepted it" >&2
    exit 1
  fi
  printf '%s\t%s\n' "$name" "$(head -n 1 <<< "${message#contmon-exact: }")" >> "$out/error_messages.tsv"
done < "$out/errors.tsv"
echo "make_reference.sh: wrote $(ls "$out"/*.json | wc -l) JSON reports into $out"
