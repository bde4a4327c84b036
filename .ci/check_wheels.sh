#!/usr/bin/env bash
# Checks the distributions that .ci/wheels.sh built into OUTDIR:
#   - each manylinux wheel: auditwheel's verdict is its own platform tag,
#     the module exports the two entry points alone, and the highest glibc
#     symbol version it needs (printed) is at most 2.17;
#   - the x86-64 wheel, installed by pip into fresh venvs of the oldest and
#     the newest 3.x interpreter, passes the compatibility script, and its
#     module passes .ci/compat.sh under every interpreter, 2.7 included;
#   - the aarch64 wheel, installed by pip for an aarch64 CPython 3.11,
#     passes the compatibility and re-entry scripts under qemu;
#   - trees saved on either architecture load on the other;
#   - the sdist builds and installs with `pip install` alone, and works.
#   .ci/check_wheels.sh OUTDIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ "$#" -eq 1 ] && [ -d "$1" ] || { echo "usage: .ci/check_wheels.sh OUTDIR (as .ci/wheels.sh filled it)"; exit 2; }
dist="$(cd "$1" && pwd)"
cd "$root"
source .ci/interpreters.sh

source .ci/pythons.sh
AUDITWHEEL_VERSION="6.8.2"
NEWEST_GLIBC="2.17"
[ -x build/wheel-tools/bin/pip ] || python3 -m venv build/wheel-tools
build/wheel-tools/bin/pip install -q "auditwheel==$AUDITWHEEL_VERSION"
compat="$root/tests/compat/run_compat.py"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
saved="$work/saved"
mkdir -p "$saved"
arm_root="$root/build/arm64-root"
arm_site="$work/arm64-site"

# The one file in OUTDIR that matches a pattern: only_one PATTERN
only_one() {
  local found
  found="$(cd "$dist" && shopt -s nullglob && for f in $1; do echo "$f"; done)"
  [ -n "$found" ] && [ "$(echo "$found" | wc -l)" -eq 1 ] ||
    { echo "FAIL: expected one $1 in $dist, found: ${found:-none}" >&2; exit 1; }
  echo "$dist/$found"
}

# Unpacks a wheel's module into a folder of its own and prints its path.
module_of() {
  local into="$work/module-$(basename "$1" .whl)"
  python3 -m zipfile -e "$1" "$into"
  echo "$into/zell_dim_1_2_3_4.so"
}

# The module is code for the wheel's machine, exports the two entry points
# and nothing else, and needs no glibc symbol newer than NEWEST_GLIBC.
# readelf reads every architecture: check_module FILE MACHINE
check_module() {
  local so="$1" exports newest machine
  machine="$(readelf -h "$so" | sed -n 's/^ *Machine: *//p')"
  [ "$machine" = "$2" ] || { echo "FAIL: $so is code for '$machine', not $2"; exit 1; }
  exports="$(readelf --dyn-syms -W "$so" | awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && $5 != "LOCAL" && $8 != "" {print $8}' |
    sort | tr '\n' ' ')"
  [ "$exports" = "PyInit_zell_dim_1_2_3_4 initzell_dim_1_2_3_4 " ] ||
    { echo "FAIL: $so exports more or less than its entry points: $exports"; exit 1; }
  newest="$(readelf -V -W "$so" | { grep -o 'GLIBC_[0-9.]*' || true; } | sed 's/GLIBC_//' | sort -uV | tail -n 1)"
  echo "needs: $(readelf -d "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')"
  echo "highest glibc symbol version: ${newest:+GLIBC_}${newest:-none}"
  [ "$(printf '%s\n' "$newest" "$NEWEST_GLIBC" | sort -V | tail -n 1)" = "$NEWEST_GLIBC" ] ||
    { echo "FAIL: $so needs GLIBC_$newest, newer than $NEWEST_GLIBC"; exit 1; }
}

# auditwheel must find the wheel consistent with the platform tag it
# carries: check_policy WHEEL PLATFORM
check_policy() {
  local report verdict
  report="$(build/wheel-tools/bin/auditwheel show "$1" 2>&1)" || { echo "$report"; echo "FAIL: auditwheel show failed"; exit 1; }
  verdict="$(echo "$report" | tr -d '\n' | { grep -o 'following platform tag: *"[^"]*"' || true; } | cut -d '"' -f 2)"
  echo "auditwheel: consistent with $verdict"
  [ "$verdict" = "$2" ] || { echo "$report"; echo "FAIL: auditwheel's verdict is '$verdict', not $2"; exit 1; }
}

# The compatibility script run by an installed module, writing its saved
# trees for the other architecture: run_installed PYTHON
run_installed() {
  (cd "$work" && clean_python "$1" -c '
import os, sys, zell_dim_1_2_3_4 as z
here = os.path.dirname(z.__file__)
assert "site-packages" in here, z.__file__
assert os.path.isfile(os.path.join(here, "zell_dim_1_2_3_4-stubs", "__init__.pyi")), "no stubs beside " + here')
  (cd "$work" && clean_python "$1" "$compat" && clean_python "$1" "$compat" write "$saved")
}

# Fresh venvs of the oldest and the newest 3.x interpreter install the
# wheel with pip, as a user would, and pass the compatibility script.
check_native() {
  local wheel="$1" target venv
  for target in "${OLDEST_AND_NEWEST_THREE[@]}"; do
    venv="$(mktemp -d "$work/venv.XXXX")"
    make_venv "$target" "$venv"
    # The pip of 3.6 (18.1) knows neither manylinux tag; 20.3 knows both,
    # and 21.3 is the last for 3.6.
    if ! clean_python "$venv/bin/python" -c \
      'import pip, sys; sys.exit(tuple(map(int, pip.__version__.split(".")[:2])) < (20, 3))'; then
      clean_python "$venv/bin/python" -m pip install -q "pip>=20.3,<22"
    fi
    clean_python "$venv/bin/python" -m pip install -q "$wheel"
    run_installed "$venv/bin/python"
  done
}

# Debian's aarch64 CPython under qemu, with nothing of this machine's
# environment, importing from the folder pip installed the wheel into.
arm_python() {
  (cd "$work" && env -i PATH=/usr/bin:/bin PYTHONPATH="$arm_site" \
    qemu-aarch64-static -L "$arm_root" "$arm_root/usr/bin/python3.11" "$@")
}

# pip installs the wheel for an aarch64 CPython 3.11 (refusing it if its
# tags do not fit), and that CPython runs the scripts under qemu.
check_aarch64() {
  bash .ci/arm64_python.sh "$arm_root"
  python3 -m pip install -q --target "$arm_site" --no-deps --only-binary=:all: --implementation cp \
    --python-version 3.11 --abi none --platform manylinux_2_17_aarch64 "$1"
  arm_python -c '
import platform, sys, zell_dim_1_2_3_4 as z
assert platform.machine() == "aarch64" and z.__file__.startswith(sys.argv[1]), (platform.machine(), z.__file__)
print("under qemu: Python %s on %s, %s" % (platform.python_version(), platform.machine(), z.__file__))' "$arm_site"
  arm_python "$compat"
  arm_python "$root/tests/compat/reentry.py" 1
  arm_python "$compat" write "$saved"
  arm_python "$compat" read "$saved"
}

# The sdist alone, installed by pip into a fresh venv: it builds with this
# machine's compiler and passes the compatibility script.
check_sdist() {
  local venv="$work/sdist-venv"
  python3 -m venv "$venv"
  CMAKE_BUILD_PARALLEL_LEVEL=2 nice -n 10 "$venv/bin/pip" install -q "$1"
  run_installed "$venv/bin/python"
}

step() { echo; echo "-- $*"; }

declare -A MACHINES=([x86_64]="Advanced Micro Devices X86-64" [aarch64]="AArch64")
declare -A WHEELS MODULES
for arch in x86_64 aarch64; do
  WHEELS[$arch]="$(only_one "zell_dim_1_2_3_4-*-$PYTHONS-none-manylinux_2_17_$arch.manylinux2014_$arch.whl")"
  MODULES[$arch]="$(module_of "${WHEELS[$arch]}")"
  step "$(basename "${WHEELS[$arch]}") ($(stat -c %s "${WHEELS[$arch]}") bytes)"
  check_module "${MODULES[$arch]}" "${MACHINES[$arch]}"
  check_policy "${WHEELS[$arch]}" "manylinux_2_17_$arch"
done
sdist="$(only_one 'zell_dim_1_2_3_4-*.tar.gz')"

step "x86-64 wheel installed under the oldest and the newest 3.x"
check_native "${WHEELS[x86_64]}"
step "x86-64 wheel's module under every interpreter"
bash .ci/compat.sh "${MODULES[x86_64]}"
step "aarch64 wheel under qemu"
check_aarch64 "${WHEELS[aarch64]}"
step "trees saved under aarch64 load under x86-64"
(cd "$work" && clean_python PYTHONPATH="$(dirname "${MODULES[x86_64]}")" python3 "$compat" read "$saved")
step "sdist installed with pip alone"
check_sdist "$sdist"
echo
echo "wheel checks passed"
