#!/usr/bin/env bash
# Rewrites the expected transcripts from the programs in build/: for every
# NAME.input, NAME.stdout (the date line masked), NAME.bndry_dat and, when the
# run wrote to standard error, NAME.stderr, from contmon for tests/golden/ and
# from contmon-exact for tests/golden/exact/.
# Run it only after a change that is meant to alter the output, and review
# the diff.
set -euo pipefail
golden="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$golden/../.." && pwd)/build"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# regenerate DIRECTORY PROGRAM: runs build/PROGRAM as ./PROGRAM (the name goes
# into the boundary file) on every DIRECTORY/NAME.input.
regenerate() {
  local dir="$1" program="$2" input name
  ln -sf "$build/$program" "$scratch/$program"
  for input in "$dir"/*.input; do
    name="$(basename "$input" .input)"
    rm -f "$scratch/_bndry_.dat"
    (cd "$scratch" && "./$program" < "$input" 2> "$scratch/stderr") |
      sed 's/^Date and time: .*/Date and time: <masked>/' > "$dir/$name.stdout"
    cp "$scratch/_bndry_.dat" "$dir/$name.bndry_dat"
    if [[ -s $scratch/stderr ]]; then cp "$scratch/stderr" "$dir/$name.stderr"; else rm -f "$dir/$name.stderr"; fi
  done
}

regenerate "$golden" contmon
regenerate "$golden/exact" contmon-exact
