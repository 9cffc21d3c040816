#!/usr/bin/env bash
# Times whole runs of the built programs with hyperfine, one hyperfine run per
# input so that the figures of an input come from the same minutes of this
# noisy machine: contmon (simulation), contmon --exact and, with --plain,
# contmon-plain, the same program with the reference simulation engine, and,
# with --portable DIR, the contmon of a build configured with
# -DCONTMON_PORTABLE=ON (plain C++ kernels, as on machines without x86
# vectors); the output of each is first checked to be contmon's byte for byte.
# Prints hyperfine's summary (ratios) and a markdown table per input.
#
#   bench/whole_run_speed.sh [--plain] [--portable DIR] [build-dir] [runs] ["K THETA PHI" ...]
#
# Needs hyperfine (apt-get install hyperfine); --plain needs a build with
# benchmarks on.
set -euo pipefail
plain=false
portable=""
while [[ ${1:-} == --plain || ${1:-} == --portable ]]; do
  if [[ $1 == --plain ]]; then
    plain=true
    shift
  else
    portable=$(cd "$2" && pwd)/contmon
    shift 2
  fi
done
build=$(cd "${1:-build}" && pwd)
runs=${2:-3}
shift $(($# < 2 ? $# : 2))
inputs=("$@")
((${#inputs[@]})) || inputs=("10 0.3 0.05" "255 0.9 0.99" "255 0.3 0.05")

contmon="$build/contmon"
reference="$build/bench/contmon-plain"
[[ -x $contmon ]] || { echo "missing $contmon: build it first" >&2; exit 1; }
if $plain && [[ ! -x $reference ]]; then
  echo "missing $reference: build with -DCONTMON_BUILD_BENCHMARKS=ON" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # each run writes _bndry_.dat here

echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
for input in "${inputs[@]}"; do
  commands=(--command-name "contmon $input" "$contmon $input"
    --command-name "contmon --exact $input" "$contmon --exact $input")
  if $plain; then
    # Same bytes from both simulations, the date line aside.
    "$contmon" $input | grep -v '^Date and time' >fast.out
    "$reference" $input | grep -v '^Date and time' >plain.out
    cmp -s fast.out plain.out || { echo "outputs differ for input $input" >&2; exit 1; }
    commands+=(--command-name "contmon-plain $input" "$reference $input")
  fi
  if [[ -n $portable ]]; then
    "$contmon" $input | grep -v '^Date and time' >fast.out
    "$portable" $input | grep -v '^Date and time' >portable.out
    cmp -s fast.out portable.out || { echo "the portable build's output differs for input $input" >&2; exit 1; }
    commands+=(--command-name "contmon (portable) $input" "$portable $input")
  fi
  echo "== input: $input"
  hyperfine --runs "$runs" --warmup 1 --output=null --export-markdown "$work/table.md" "${commands[@]}"
  cat "$work/table.md"
done
