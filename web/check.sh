#!/bin/bash
# Builds the offline page and the programs from this checkout and runs the page's tests:
#   web/check.sh [SCRATCH_FOLDER]    (default: a new temporary folder)
# The numbers test compares the WebAssembly build's printf/strtod number texts with std::to_chars natively;
# the node test checks the module alone against contmon-exact; the browser tests drive Debian's chromium.
# Needs emscripten, chromium, nodejs/npm, nlohmann-json3-dev and libcli11-dev; npm ci installs puppeteer-core
# (no browser download) into web/test/node_modules.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
scratch=${1:-$(mktemp -d)}
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)

echo "== the programs"
# With CONTMON_PROGRAMS_DIR naming a build folder that holds contmon-exact, that program is compared with.
if [ -n "${CONTMON_PROGRAMS_DIR:-}" ]; then
  programs=$CONTMON_PROGRAMS_DIR
else
  programs=$scratch/native
  cmake -S "$root" -B "$programs" -DCONTMON_BUILD_TESTS=OFF -DCONTMON_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build "$programs" -j2 --target contmon-exact >/dev/null
fi

echo "== the page"
"$here/build.sh" "$scratch/web"

echo "== number texts: printf and strtod against std::to_chars and std::from_chars"
g++ -std=c++20 -O2 -ffp-contract=off -I"$root" -c "$root/core/text.cpp" -o "$scratch/text.o"
g++ -std=c++20 -O2 -ffp-contract=off -I"$root" -DCONTMON_PRINTF_NUMBERS=1 -Dcontmon=alt -c "$root/core/text.cpp" \
  -o "$scratch/text_printf.o"
g++ -std=c++20 -O2 -I"$root" "$here/test/numbers_test.cpp" "$scratch/text.o" "$scratch/text_printf.o" \
  -o "$scratch/numbers_test"
"$scratch/numbers_test"

echo "== node and browser tests"
cd "$here/test"
PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null
export CONTMON_EXACT=$programs/contmon-exact
export CONTMON_MODULE=$scratch/web/contmon-module.js
export CONTMON_PAGE=$scratch/web/contmon.html
node --test --test-concurrency=1 module.test.mjs browser.test.mjs
