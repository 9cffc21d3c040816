#!/usr/bin/env bash
# Checks the installed project as a user gets it: builds it into a scratch folder (Release, no tests or
# benchmarks), installs it into a scratch prefix, builds examples/design_rule against that prefix with
# CMake (find_package) and with plain g++ and pkg-config's flags, and compares the example's JSON with the
# installed contmon-exact's for the same designs, ignoring only "date" and "program". Invalid arguments
# must give the same message, and `man -l` must open both installed manual pages. Exits non-zero on any
# failure or difference; the scratch folders are removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

# jq compares the JSON documents, pkgconf provides pkg-config, man-db provides man.
packages=(cmake make g++ libcli11-dev nlohmann-json3-dev pkgconf jq man-db)
.ci/install-missing "${packages[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build="$work/build"
prefix="$work/prefix"

# Runs a command with its output in a log, shown only when the command fails.
quiet() {
  if ! "$@" >"$work/log" 2>&1; then
    cat "$work/log"
    echo "FAILED: $*" >&2
    return 1
  fi
}

# Fails the check with a message.
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

echo "== Building the project (Release) and installing it into a scratch prefix"
# The prefix is given at install time only, so the installed package must locate itself.
quiet cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCONTMON_BUILD_TESTS=OFF \
  -DCONTMON_BUILD_BENCHMARKS=OFF
quiet cmake --build "$build" -j2
quiet cmake --install "$build" --prefix "$prefix"
contmon_exact="$prefix/bin/contmon-exact"
config=$(find "$prefix" -name contmonConfig.cmake -print -quit)
pc=$(find "$prefix" -name contmon.pc -print -quit)
[[ -n $config && -n $pc ]] || fail "contmonConfig.cmake or contmon.pc was not installed"
for file in bin/contmon bin/contmon-exact include/contmon/contmon.h include/contmon/version.h \
  share/man/man1/contmon.1 share/man/man1/contmon-exact.1; do
  [[ -e $prefix/$file ]] || fail "$file was not installed"
done
[[ -n $(find "$prefix" -name libcontmon.a -print -quit) ]] || fail "libcontmon.a was not installed"
# nlohmann-json is compiled into the library: neither the CMake package nor contmon.pc may ask for it.
if grep -rl nlohmann_json "$(dirname "$config")" "$pc"; then
  fail "the installed package asks for nlohmann_json"
fi

echo "== Building examples/design_rule with find_package(contmon) from the prefix"
quiet cmake -S examples/design_rule -B "$work/example" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix"
found=$(sed -n 's/^contmon_DIR:PATH=//p' "$work/example/CMakeCache.txt")
[[ $found == "$(dirname "$config")" ]] ||
  fail "find_package(contmon) found '$found', not the scratch prefix's package"
quiet cmake --build "$work/example"
design_rule="$work/example/design_rule"

echo "== Building examples/design_rule with g++ and pkg-config's flags"
read -ra pc_flags <<<"$(PKG_CONFIG_PATH="$(dirname "$pc")" pkg-config --cflags --libs contmon)"
echo "pkg-config --cflags --libs contmon: ${pc_flags[*]}"
quiet g++ examples/design_rule/design_rule.cpp "${pc_flags[@]}" -o "$work/design_rule_pc"

# Compares the JSON that program (the example) prints for a design with contmon-exact's.
compare() {
  local program=$1 design=$2 name args
  name=$(basename "$program")
  read -ra args <<<"$design"
  "$program" "${args[@]}" >"$work/example.json" || fail "$name $design exited with status $?"
  "$contmon_exact" --format json --no-output "${args[@]}" >"$work/exact.json" 2>"$work/exact.err" ||
    fail "contmon-exact --format json --no-output $design exited with status $?"
  jq 'del(.date, .program)' "$work/example.json" >"$work/example.norm"
  jq 'del(.date, .program)' "$work/exact.json" >"$work/exact.norm"
  if ! diff -u --label "contmon-exact $design" --label "$name $design" \
    "$work/exact.norm" "$work/example.norm"; then
    fail "$name and contmon-exact differ for K THETA PHI = $design"
  fi
  echo "K THETA PHI = $design: $name's JSON equals contmon-exact's ($(wc -c <"$work/example.json") bytes)"
}

echo "== The example's JSON against contmon-exact --format json --no-output"
# A usual design, the largest K, and one whose rule never stops (the one patient's event has 0.5 > PHI).
for design in "40 0.2 0.1" "255 0.3 0.05" "1 0.5 0.1"; do
  compare "$design_rule" "$design"
done
compare "$work/design_rule_pc" "40 0.2 0.1"

echo "== Invalid arguments: status 1 and the library's message, as contmon-exact gives it"
for design in "0 0.2 0.1" "40 1.5 0.1" "40 0.2 x"; do
  read -ra args <<<"$design"
  status=0
  "$design_rule" "${args[@]}" >/dev/null 2>"$work/example.err" || status=$?
  ((status == 1)) || fail "design_rule $design exited with status $status, not 1"
  "$contmon_exact" --format json --no-output "${args[@]}" >/dev/null 2>"$work/exact.err" || true
  message=$(sed 's/^design_rule: //' "$work/example.err")
  expected=$(head -n 1 "$work/exact.err" | sed 's/^contmon-exact: //')
  [[ -n $message && $message == "$expected" ]] ||
    fail "design_rule $design says '$message'; contmon-exact says '$expected'"
  echo "K THETA PHI = $design: $message"
done

echo "== man -l on the installed manual pages"
for page in contmon contmon-exact; do
  file="$prefix/share/man/man1/$page.1"
  text=$(MANWIDTH=80 man -l "$file" 2>&1) || fail "man -l $file failed: $text"
  head -n 3 <<<"$text"
  title=$(head -n 1 <<<"$text")
  [[ $title == "${page^^}(1)"* ]] || fail "man -l $file opens '$title', not the page of $page"
done

echo "Install check passed in $((SECONDS - started)) s"
