#!/usr/bin/env bash
# Builds the R package's source tarball contmon_VERSION.tar.gz into OUTDIR (default: the current folder).
# The tarball is self-contained: the core's sources (core/, design/, outputs/, include/) and nlohmann's
# json.hpp are copied into its src/ here, the version is the project's (the top CMakeLists.txt), and the
# Rcpp glue and the help pages are generated (Rcpp::compileAttributes, roxygen2), so that it installs with
# R CMD INSTALL on a machine with only R, a C++20 compiler and Rcpp.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
outdir=$(mkdir -p "${1:-.}" && cd "${1:-.}" && pwd)

version=$(sed -n 's/^project(contmon VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n "$version" ]] || { echo "build.sh: no project(contmon VERSION x.y) in $root/CMakeLists.txt" >&2; exit 1; }
json=${CONTMON_JSON_HPP:-/usr/include/nlohmann/json.hpp}
[[ -f "$json" ]] || { echo "build.sh: $json not found (Debian: apt-get install nlohmann-json3-dev)" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg="$stage/contmon"
mkdir -p "$pkg"
cp -R "$here/DESCRIPTION" "$here/LICENSE" "$here/configure" "$here/cleanup" "$here/.Rbuildignore" \
  "$here/R" "$here/src" "$here/inst" "$here/tests" "$pkg/"
sed -i "s/@VERSION@/$version/" "$pkg/DESCRIPTION"

# The core, as the library is built from it (app/ is the programs' and stays out).
for dir in core design outputs; do
  mkdir -p "$pkg/src/$dir"
  cp "$root/$dir"/*.cpp "$root/$dir"/*.h "$pkg/src/$dir/"
done
mkdir -p "$pkg/src/include/contmon" "$pkg/src/include/nlohmann"
cp "$root"/include/contmon/*.h "$pkg/src/include/contmon/"
sed "s/@PROJECT_VERSION@/$version/" "$root/include/contmon/version.h.in" > "$pkg/src/include/contmon/version.h"
cp "$json" "$pkg/src/include/nlohmann/json.hpp"

objects=$(cd "$pkg/src" && ls glue.cpp core/*.cpp design/*.cpp outputs/*.cpp | sed 's/\.cpp$/.o/' | tr '\n' ' ')
sed -i "s|@OBJECTS@|RcppExports.o ${objects% }|" "$pkg/src/Makevars.in"

Rscript -e 'roxygen2::roxygenise(commandArgs(TRUE)[1], roclets = c("rd", "namespace"), load_code = roxygen2::load_source)' \
  "$pkg" > "$stage/roxygen.log" 2>&1 || { cat "$stage/roxygen.log" >&2; exit 1; }
Rscript -e 'Rcpp::compileAttributes(commandArgs(TRUE)[1])' "$pkg" > /dev/null
(cd "$outdir" && R CMD build --no-build-vignettes --no-manual "$pkg" > "$stage/build.log" 2>&1) ||
  { cat "$stage/build.log" >&2; exit 1; }
echo "$outdir/contmon_$version.tar.gz"
