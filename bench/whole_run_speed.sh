#!/usr/bin/env bash
# Times whole runs of contmon against contmon-plain, the same program with the
# reference simulation engine, side by side in one hyperfine run per input, and
# prints the ratio (hyperfine's summary). Both are built by the same CMake project with the same flags.
#
#   bench/whole_run_speed.sh [build-dir] [runs] ["K THETA PHI" ...]
#
# Needs hyperfine (apt-get install hyperfine) and a build with benchmarks on.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-3}
shift $(($# < 2 ? $# : 2))
inputs=("$@")
((${#inputs[@]})) || inputs=("255 0.05 0.1" "100 0.1 0.2")

fast="$build/contmon"
plain="$build/bench/contmon-plain"
for program in "$fast" "$plain"; do
  [[ -x $program ]] || { echo "missing $program: build with -DCONTMON_BUILD_BENCHMARKS=ON" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # each run writes _bndry_.dat here

for input in "${inputs[@]}"; do
  echo "$input" >input
  # Same bytes from both, the date line aside.
  "$fast" <input | grep -v '^Date and time' >fast.out
  "$plain" <input | grep -v '^Date and time' >plain.out
  cmp -s fast.out plain.out || { echo "outputs differ for input $input" >&2; exit 1; }
  echo "== input: $input"
  # hyperfine's summary ends with the ratio: "... ran N times faster than ...".
  hyperfine --runs "$runs" \
    --command-name "contmon $input" "$fast <input >/dev/null" \
    --command-name "contmon-plain $input" "$plain <input >/dev/null"
done
