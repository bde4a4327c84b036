#!/usr/bin/env bash
# Builds the module with address and undefined-behaviour sanitizers into
# build/asan and runs the pytest suite (with the venv's interpreter), the
# compatibility and re-entry scripts (with every installed interpreter), the
# deserialize fuzzer and a random re-entry and threads run against that
# build. The node pool hands out single allocations in this build and the
# interpreters allocate with malloc, so a use of freed memory is reported.
# Any sanitizer report fails. Needs the venv that .ci/run makes; PYTHON
# overrides the interpreter that runs pytest; STRESS_SECONDS the length of
# the random run.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
py="${PYTHON:-$root/build/venv/bin/python}"

cmake -S . -B build/asan -G Ninja -DZELL_SANITIZE=ON -DZELL_WERROR=ON
cmake --build build/asan
so="$root/build/asan/zell_dim_1_2_3_4.so"
[ -f "$so" ] || { echo "sanitizer build made no $so"; exit 1; }

# The interpreter is not instrumented, so the sanitizer runtimes have to be
# loaded before anything else in the process.
preload=""
for lib in libasan.so libubsan.so; do
  path="$(gcc -print-file-name="$lib")"
  case "$path" in
    /*) [ -e "$path" ] || { echo "sanitizer runtime missing: $path"; exit 1; } ;;
    *) echo "gcc does not know where $lib is"; exit 1 ;;
  esac
  preload="$preload${preload:+ }$(readlink -f "$path")"
done

run_sanitized() {
  env -u PYTHONHOME -u PYTHONSTARTUP \
    PYTHONPATH="$root/build/asan" \
    PYTHONMALLOC=malloc \
    LD_PRELOAD="$preload" \
    ASAN_OPTIONS="detect_leaks=0:abort_on_error=0:halt_on_error=1:allocator_may_return_null=1" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    "$@"
}

# Refuse to go on unless the sanitized file is the one imported.
imported="$(run_sanitized "$py" -c 'import os, zell_dim_1_2_3_4 as z; print(os.path.realpath(z.__file__))')"
echo "module imported: $imported"
if [ "$imported" != "$(readlink -f "$so")" ]; then
  echo "FAIL: the sanitizer run would not test $so"
  exit 1
fi

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
run_sanitized "$py" -m pytest -q 2>&1 | tee "$log" || status=1
# The compatibility script under every interpreter, each on the same
# sanitized file: the interpreter-specific paths of the module run too.
source .ci/interpreters.sh
for other in "${INTERPRETERS[@]}"; do
  run_sanitized "$other" tests/compat/run_compat.py 2>&1 | tee -a "$log" || status=1
  run_sanitized "$other" tests/compat/reentry.py 1 2>&1 | tee -a "$log" || status=1
done
# Finalizers, pickling hooks and three threads calling back into shared
# trees: two thirds of the time under the venv's interpreter, a third under
# the oldest one, whose pickling runs in Python and lets threads in midway.
stress="${STRESS_SECONDS:-60}"
run_sanitized "$py" tests/stress/reentry_stress.py $((stress * 2 / 3)) 3 2>&1 | tee -a "$log" || status=1
if [ "${#INTERPRETERS[@]}" -gt 0 ]; then
  run_sanitized "${INTERPRETERS[0]}" tests/stress/reentry_stress.py $((stress / 3)) 3 2>&1 | tee -a "$log" || status=1
fi
# Mutated serializations through deserialize: every load either succeeds
# with a sound tree or leaves the tree as it was, and nothing touches
# memory it should not.
run_sanitized "$py" tests/fuzz/fuzz_deserialize.py "${FUZZ_CASES:-150000}" 2>&1 | tee -a "$log" || status=1
if grep -E -q 'ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:|SUMMARY: (Address|UndefinedBehavior)Sanitizer' "$log"; then
  echo "FAIL: sanitizer report in the output above"
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "sanitizer pass FAILED"
  exit 1
fi
echo "sanitizer pass clean"
