#!/usr/bin/env bash
# Times whole exact runs of every boundary shape with three schedules at
# K = 255 (every patient, cohorts of 5, looks from patient 20 in steps of 7)
# with hyperfine, against the default design in the same minutes, and the
# input of the API benchmarks (BM_DesignApi* in contmon_bench). Prints one line
# per design: the mean and the spread of the runs.
#
#   bench/design_speed.sh [build-dir] [runs]
#
# Needs hyperfine (apt-get install hyperfine).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-10}
exact="$build/contmon-exact"
[[ -x $exact ]] || { echo "missing $exact: build it first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

commands=(--command-name "default design" "$exact 255 0.3 0.05"
  --command-name "default design, API benchmark input" "$exact 255 0.05 0.1")
for shape in pocock obf wt:0.25 bayes:1,1 sprt:0.45 maxsprt; do
  for schedule in "" "--cohort 5" "--looks 20:255:7"; do
    commands+=(--command-name "shape $shape ${schedule:-every patient}" "$exact --shape $shape $schedule 255 0.3 0.05")
  done
done
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
hyperfine --runs "$runs" --warmup 2 --output=null --export-markdown "$work/table.md" "${commands[@]}" >/dev/null
cat "$work/table.md"
