#!/usr/bin/env bash
# Rewrites the expected transcripts from the program in build/: for every
# NAME.input, NAME.stdout (the date line masked) and NAME.bndry_dat. Run it
# only after a change that is meant to alter the output, and review the diff.
set -euo pipefail
golden="$(cd "$(dirname "$0")" && pwd)"
program="$(cd "$golden/../.." && pwd)/build/contmon"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
ln -s "$program" "$scratch/contmon"
for input in "$golden"/*.input; do
  name="$(basename "$input" .input)"
  rm -f "$scratch/_bndry_.dat"
  (cd "$scratch" && ./contmon < "$input") |
    sed 's/^Date and time: .*/Date and time: <masked>/' > "$golden/$name.stdout"
  cp "$scratch/_bndry_.dat" "$golden/$name.bndry_dat"
done
