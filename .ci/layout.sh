#!/usr/bin/env bash
# Compiles tests/layout/check_layout.cpp against each installed interpreter's
# own headers and runs it: every offset and size that the module writes out
# in src/python/layout.h must equal that interpreter's. Run from the repo root.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/interpreters.sh

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
passed=0
failed=0
for py in "${INTERPRETERS[@]}" "${DEBUG_INTERPRETERS[@]}"; do
  version="$(clean_python "$py" -c 'import platform; print(platform.python_version())')"
  debug="$(clean_python "$py" -c 'import sys; print("d" if hasattr(sys, "gettotalrefcount") else "")')"
  include="$(clean_python "$py" -c "import sysconfig; print(sysconfig.get_paths()['include'])")"
  exe="$out/check_layout_$version$debug"
  # Debian's headers include their machine's pyconfig.h from the folder above.
  if ! log="$(g++ -std=c++11 -Wall -Wno-register -Wno-deprecated -I"$include" -I"$include/.." -Isrc \
                 tests/layout/check_layout.cpp -o "$exe" 2>&1)"; then
    echo "layout $version$debug FAIL (does not compile against $include)"
    echo "$log" | sed 's/^/    /'
    failed=$((failed + 1))
    continue
  fi
  if "$exe"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done
echo "layout: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
