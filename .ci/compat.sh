#!/usr/bin/env bash
# Runs tests/compat/run_compat.py and the re-entry cases under every
# installed interpreter, the debug builds of the newer ones included,
# against ONE built module file, found only through PYTHONPATH.
#   .ci/compat.sh [path/to/zell_dim_1_2_3_4.so]
# Without an argument the module is taken from build/venv (the installed one).
# Run from anywhere; paths are resolved against the repo root.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/.ci/interpreters.sh"

so="${1:-}"
if [ -z "$so" ]; then
  so="$(cd / && clean_python "$root/build/venv/bin/python" -c 'import zell_dim_1_2_3_4; print(zell_dim_1_2_3_4.__file__)')"
fi
[ -f "$so" ] || { echo "module file not found: $so"; exit 1; }
echo "module under test: $so"

# A directory holding nothing but the module, so no interpreter can pick up
# anything else from the build or the source tree.
moddir="$(mktemp -d)"
trap 'rm -rf "$moddir"' EXIT
cp "$so" "$moddir/zell_dim_1_2_3_4.so"

passed=0
failed=0
# Runs one script under every interpreter against the copied module and
# prints a PASS/FAIL line for each: run_each LABEL SCRIPT [ARGS...]
run_each() {
  local label="$1"
  shift
  for py in "${INTERPRETERS[@]}" "${DEBUG_INTERPRETERS[@]}"; do
    version="$(clean_python "$py" -c 'import platform, sys
print(platform.python_version() + (" debug" if hasattr(sys, "gettotalrefcount") else ""))')"
    set +e
    log="$(cd "$moddir" && clean_python PYTHONPATH="$moddir" "$py" "$@" 2>&1)"
    rc=$?
    set -e
    if [ "$rc" -eq 0 ]; then
      echo "$label $version PASS ($(echo "$log" | tail -n 1))"
      passed=$((passed + 1))
    else
      echo "$label $version FAIL (exit status $rc)"
      if [ -n "$log" ]; then echo "$log" | sed 's/^/    /'; else echo "    (no output)"; fi
      failed=$((failed + 1))
    fi
  done
}

run_each compat "$root/tests/compat/run_compat.py"
run_each "re-entry" "$root/tests/compat/reentry.py" 1

# Trees saved under each interpreter, loaded under every other.
shared="$moddir/saved"
mkdir -p "$shared"
for py in "${INTERPRETERS[@]}" "${DEBUG_INTERPRETERS[@]}"; do
  (cd "$moddir" && clean_python PYTHONPATH="$moddir" "$py" "$root/tests/compat/run_compat.py" write "$shared")
done
run_each "saved trees" "$root/tests/compat/run_compat.py" read "$shared"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
