#!/bin/bash
# Builds the offline page: the library compiled to WebAssembly with Debian's
# emscripten, and one HTML file holding it with the page's script and styles.
#   web/build.sh [OUTPUT_FOLDER]    (default: build-web in the checkout)
# Writes OUTPUT_FOLDER/contmon.html and OUTPUT_FOLDER/contmon-module.js (the
# module alone, for the node test). Objects are kept in OUTPUT_FOLDER/obj and
# rebuilt when their source or any header is newer.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out=$(mkdir -p "${1:-$root/build-web}" && cd "${1:-$root/build-web}" && pwd)
obj=$out/obj
mkdir -p "$obj/include/contmon" "$obj/deps"

# Debian's emcc runs its JavaScript tools with node; they find their modules only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
command -v em++ >/dev/null || { echo "build.sh: em++ not found (Debian: apt-get install emscripten)" >&2; exit 1; }
[ -e /usr/include/nlohmann/json.hpp ] || { echo "build.sh: nlohmann-json not found (Debian: nlohmann-json3-dev)" >&2; exit 1; }

# emscripten does not search /usr/include: the header-only library is reached through a folder of its own.
ln -sfn /usr/include/nlohmann "$obj/deps/nlohmann"
version=$(sed -n 's/^project(contmon VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
sed "s/@PROJECT_VERSION@/$version/" "$root/include/contmon/version.h.in" > "$obj/include/contmon/version.h.new"
cmp -s "$obj/include/contmon/version.h.new" "$obj/include/contmon/version.h" ||
  mv "$obj/include/contmon/version.h.new" "$obj/include/contmon/version.h"
rm -f "$obj/include/contmon/version.h.new"

# The library's sources as CMakeLists.txt lists them, the whole-number reader of the command line, and the
# page's entry point. Plain C++ kernels; long double is not x86's here, so the sums are computed in software.
sources=$(sed -n '/^add_library(contmon_library STATIC/,/^)/p' "$root/CMakeLists.txt" | grep -o '[a-z_]*/[a-z_]*\.cpp')
sources="$sources app/option_values.cpp web/src/contmon_web.cpp"
flags=(-std=c++20 -O2 -fexceptions -ffp-contract=off -fno-fast-math -Wall -Wextra -Wpedantic
       -DCONTMON_PORTABLE=1 -I"$root" -I"$root/include" -I"$obj/include" -I"$obj/deps")

newest_header=$(find "$root/include" "$root/core" "$root/design" "$root/outputs" "$root/app" -name '*.h' -newer "$obj/stamp" 2>/dev/null | head -1 || true)
[ -e "$obj/stamp" ] || newest_header=all
objects=()
pending=()
for source in $sources; do
  object=$obj/$(echo "$source" | tr / _).o
  objects+=("$object")
  if [ -n "$newest_header" ] || [ ! -e "$object" ] || [ "$root/$source" -nt "$object" ]; then pending+=("$source"); fi
done
export root obj
if [ ${#pending[@]} -gt 0 ]; then
  printf '%s\n' "${pending[@]}" | xargs -P2 -I{} bash -c \
    'em++ "$@" -c "$root/{}" -o "$obj/$(echo {} | tr / _).o"' _ "${flags[@]}"
fi
touch "$obj/stamp"

# The module: the WebAssembly inside the script (base64), no file system, started by createContmon().
em++ -O2 -fexceptions "${objects[@]}" -o "$out/contmon-module.js" \
  -sMODULARIZE=1 -sEXPORT_NAME=createContmon -sSINGLE_FILE=1 -sENVIRONMENT=web,worker,node \
  -sALLOW_MEMORY_GROWTH=1 -sFILESYSTEM=0 \
  -sEXPORTED_FUNCTIONS=_contmon_web_run,_contmon_web_finish,_contmon_web_version -sEXPORTED_RUNTIME_METHODS=ccall

node "$here/tools/assemble.mjs" "$here/src" "$out/contmon-module.js" "$out/contmon.html"
size=$(stat -c %s "$out/contmon.html")
echo "build.sh: wrote $out/contmon.html ($size bytes)"
if [ "$size" -gt 1572864 ]; then
  echo "build.sh: the page is larger than 1.5 MB" >&2
  exit 1
fi
