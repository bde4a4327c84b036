#!/usr/bin/env bash
# Runs the x86-64 Windows build under wine (Debian's wine64): the C++ unit
# tests, and the attachment in real Windows processes (tests/unit: a probe
# that loads stand-in interpreter DLLs and attaches as the module does, and
# the module's own entry point in a process without an interpreter). The
# build is the wheel's: zig for x86_64-windows-gnu, GoogleTest compiled
# from Debian's sources for the same target.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/cross_tools.sh

command -v wine >/dev/null || apt_install wine64
[ -f /usr/src/googletest/CMakeLists.txt ] || apt_install googletest
# (wine warns on every start that its 32-bit half is missing: not needed here)
echo "$(wine --version 2>/dev/null)"

# A Windows prefix of our own, under build/, made on first use.
export WINEPREFIX="$PWD/build/wine/prefix" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1

dir=build/wine/tests
nice -n 10 cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/zig-toolchain.cmake \
  -DZIG_TARGET=x86_64-windows-gnu -DCMAKE_BUILD_TYPE=Release -DZELL_WERROR=ON -DZELL_UNIT_TESTS=ON \
  -DZELL_GTEST_SOURCE=/usr/src/googletest -DCMAKE_CROSSCOMPILING_EMULATOR=wine >"$dir.log" 2>&1 ||
  { cat "$dir.log"; exit 1; }
nice -n 10 cmake --build "$dir" -j 2 >>"$dir.log" 2>&1 || { tail -n 40 "$dir.log"; exit 1; }
# Every test's output is kept; shown are each test's result and what the
# attachment probes printed.
ctest --test-dir "$dir" -V --output-on-failure | tee "$dir.ctest.log" |
  grep -E '^ *[0-9]+/[0-9]+ Test|tests passed|tests failed|^[0-9]+: (attached|Symbol|Could|Error|entry)'
wineserver -w
