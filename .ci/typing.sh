#!/usr/bin/env bash
# Checks the type stubs two ways, with tools pinned in the venv build/typing
# (with the examples' own libraries, for their types):
#   - mypy --strict passes on the examples and tests/typing/correct.py, and
#     flags in tests/typing/misuse.py each line marked as refused and no
#     other (tests/typing/typecheck.py);
#   - mypy's stubtest finds the stubs installed beside MODULE and the
#     module's own text signatures alike: names, parameters, defaults,
#     @final classes.
#   .ci/typing.sh MODULE      (the module file as pip installed it)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ "$#" -eq 1 ] && [ -f "$1" ] || { echo "usage: .ci/typing.sh path/to/installed/zell_dim_1_2_3_4.so"; exit 2; }
module="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
stubs="$(dirname "$module")/zell_dim_1_2_3_4-stubs"
[ -f "$stubs/__init__.pyi" ] || { echo "FAIL: no stubs installed beside $module"; exit 1; }
cd "$root"

TOOLS=("mypy==2.4.1" "numpy==2.4.6" "matplotlib==3.11.2" "dask[distributed]==2026.8.0")
venv="$root/build/typing"
source "$root/.ci/pinned_tools.sh"
pinned_tools "$venv" "${TOOLS[@]}"

"$venv/bin/python" tests/typing/typecheck.py examples/*.py

# The module and its stubs alone in a folder, as an installation has them.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$module" "$work/"
cp -r "$stubs" "$work/"
(cd "$work" && PYTHONPATH="$work" "$venv/bin/python" -m mypy.stubtest zell_dim_1_2_3_4)
