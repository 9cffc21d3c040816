#!/usr/bin/env bash
# Builds the Python module from this checkout and runs its tests: python/check.sh [SCRATCH_DIR]
# The sources are copied into SCRATCH_DIR (default: a new temporary folder), which also holds the virtual
# environment, so nothing is written into the checkout. A second run with the same folder rebuilds only
# when a source changed. Needs Debian's python3 (3.11) with python3-venv, python3-dev, python3-pip,
# python3-setuptools, python3-pybind11, python3-pytest, python3-hypothesis and mypy; g++ and
# nlohmann-json3-dev. With CONTMON_PROGRAMS_DIR naming a build folder that holds contmon and contmon-exact,
# the tests compare with what those programs print now rather than with python/tests/reference.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
scratch=${1:-$(mktemp -d)}
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
python=/usr/bin/python3  # Debian's own: the one that sees Debian's pybind11, setuptools, pytest and Hypothesis
export PYTHONDONTWRITEBYTECODE=1 PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_INPUT=1

echo "== copying the sources into $scratch/src"
mkdir -p "$scratch/src"
tar -C "$root" --exclude=python/build --exclude='*.egg-info' --exclude=__pycache__ \
  -cf - CMakeLists.txt core design outputs include python | tar -C "$scratch/src" -xf -

echo "== building and installing the module"
[ -x "$scratch/venv/bin/python" ] || "$python" -m venv --system-site-packages "$scratch/venv"
venv_python=$scratch/venv/bin/python
started=$(date +%s)
(cd "$scratch" && "$venv_python" -m pip install -q --no-build-isolation --no-index ./src/python)
echo "built in $(($(date +%s) - started)) s"

if [ -n "${CONTMON_PROGRAMS_DIR:-}" ]; then
  echo "== the programs' outputs, from $CONTMON_PROGRAMS_DIR"
  rm -rf "$scratch/reference"
  "$python" "$scratch/src/python/tests/make_reference.py" "$CONTMON_PROGRAMS_DIR" "$scratch/reference"
  export CONTMON_REFERENCE=$scratch/reference
fi

echo "== pytest"
(cd "$scratch" && "$venv_python" -m pytest -q -p no:cacheprovider src/python/tests)

echo "== mypy and stubtest"
# The installed package as users' editors and mypy see it (py.typed, _core.pyi), and scripts that use it.
(cd "$scratch" && "$venv_python" -m mypy --strict --cache-dir "$scratch/mypy-cache" -p contmon)
(cd "$scratch" && "$venv_python" -m mypy --strict --cache-dir "$scratch/mypy-cache" src/python/bench)
(cd "$scratch" && "$venv_python" -m mypy.stubtest \
   --allowlist src/python/stubtest-allowlist.txt contmon._core)

echo "== benchmark (a figure, not a test)"
(cd "$scratch" && "$venv_python" src/python/bench/bench_design.py 20)
echo "python/check.sh: all passed"
