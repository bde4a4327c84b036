#!/usr/bin/env bash
# Builds the Windows and macOS wheels on this Linux machine with zig
# (cmake/zig-toolchain.cmake): win_amd64, win_arm64, macosx_11_0_arm64 and
# macosx_10_9_x86_64, each one module file for every CPython from 2.7 to
# 3.15. Checks each module's exports (the two entry points) and the
# libraries it needs (the system's only), packs it with .ci/pack_wheel.py
# and checks the wheel's tags and contents. None of them runs here; the
# x86-64 Windows build runs under wine in .ci/wine.sh.
#
#   .ci/wheels_windows_macos.sh OUTDIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:?usage: $0 OUTDIR}" && cd "$1" && pwd)"
cd "$root"
source .ci/cross_tools.sh

source .ci/pythons.sh
entry_points=$'PyInit_zell_dim_1_2_3_4\ninitzell_dim_1_2_3_4'

fail() {
  echo "FAIL: $*"
  exit 1
}

# Names listed under "Name:" by llvm-readobj for a PE file.
pe_names() { llvm-readobj "$1" "$2" | sed -n 's/^ *Name: //p'; }

check_windows() {
  local module="$1"
  [ "$(pe_names --coff-exports "$module" | sort)" = "$(sort <<<"$entry_points")" ] ||
    fail "$module exports $(pe_names --coff-exports "$module" | tr '\n' ' ')"
  local dlls
  dlls="$(pe_names --coff-imports "$module")"
  # kernel32 and the Universal C Runtime's API sets ship with Windows 10
  # and later; the C++ runtime is linked in.
  if grep -viE '^(kernel32\.dll|api-ms-win-crt-[a-z]+-l1-1-0\.dll)$' <<<"$dlls"; then
    fail "$module needs DLLs beyond the system's"
  fi
  echo "  exports: $(pe_names --coff-exports "$module" | tr '\n' ' ')"
  echo "  imports: $(tr '\n' ' ' <<<"$dlls")"
}

# The oldest macOS the module says it loads on.
macos_minimum() {
  llvm-objdump --macho --private-headers "$1" | awk '
    /cmd LC_BUILD_VERSION/ { build = 1 }
    /cmd LC_VERSION_MIN_MACOSX/ { old = 1 }
    (build && $1 == "minos") || (old && $1 == "version") { print $2; exit }'
}

check_macos() {
  local module="$1" platform="$2" exports extra dylibs minimum
  exports="$(llvm-objdump --macho --exports-trie "$module" | sed -n 's/^0x[0-9A-F]* *_//p')"
  for name in $entry_points; do
    grep -qx "$name" <<<"$exports" || fail "$module does not export $name"
  done
  # zig's Mach-O linker ignores -exported_symbols_list: beside the entry
  # points it exports its own header symbols and the weak operator new and
  # delete of the C++ runtime it links in. Anything else is a fault.
  extra="$(grep -vxF "$entry_points" <<<"$exports" |
    grep -vxE '_mh_dylib_header|__dso_handle|_Z(nw|na|dl|da)[A-Za-z0-9_]* \[weak_def\]' || true)"
  [ -z "$extra" ] || fail "$module exports $extra"
  dylibs="$(llvm-objdump --macho --dylibs-used "$module" | sed -n '3,$s/^\t\([^ ]*\) .*/\1/p')"
  [ "$dylibs" = /usr/lib/libSystem.B.dylib ] || fail "$module needs $dylibs"
  # The platform tag promises this much (macosx_10_9_x86_64: 10.9).
  minimum="$(macos_minimum "$module")"
  [ "$minimum" = "$(sed 's/^macosx_\([0-9]*\)_\([0-9]*\)_.*/\1.\2/' <<<"$platform")" ] ||
    fail "$module needs macOS $minimum, its wheel says $platform"
  echo "  exports: $(tr '\n' ' ' <<<"$exports")"
  echo "  dylibs: $dylibs; minimum macOS $minimum"
}

# The wheel names every interpreter for its platform and holds the module
# and the stubs.
check_wheel() {
  python3 - "$@" "$PYTHONS" <<'PY' || fail "$1"
import sys, zipfile
wheel, module, platform, pythons = sys.argv[1:]
names = zipfile.ZipFile(wheel).namelist()
wheel_file = zipfile.ZipFile(wheel).read(next(n for n in names if n.endswith(".dist-info/WHEEL"))).decode()
tags = {line[5:] for line in wheel_file.splitlines() if line.startswith("Tag: ")}
wanted = {p + "-none-" + platform for p in pythons.split(".")}
for problem in ["lacks the tag " + t for t in sorted(wanted - tags)] + ["has the tag " + t for t in sorted(tags - wanted)]:
    print(problem)
for path in (module, "zell_dim_1_2_3_4-stubs/__init__.pyi"):
    if path not in names:
        print("lacks " + path)
        sys.exit(1)
sys.exit(tags != wanted)
PY
}

# zig target, wheel platform, module file, checker, the module's machine
# as llvm-readobj names it
builds=(
  "x86_64-windows-gnu win_amd64 zell_dim_1_2_3_4.pyd check_windows IMAGE_FILE_MACHINE_AMD64"
  "aarch64-windows-gnu win_arm64 zell_dim_1_2_3_4.pyd check_windows IMAGE_FILE_MACHINE_ARM64"
  "aarch64-macos.11.0 macosx_11_0_arm64 zell_dim_1_2_3_4.so check_macos Arm64"
  "x86_64-macos.10.9 macosx_10_9_x86_64 zell_dim_1_2_3_4.so check_macos X86-64"
)
for build in "${builds[@]}"; do
  read -r target platform file check machine <<<"$build"
  dir="build/cross/$target"
  mkdir -p "$dir"
  echo "== $target"
  nice -n 10 cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/zig-toolchain.cmake \
    -DZIG_TARGET="$target" -DCMAKE_BUILD_TYPE=Release -DZELL_WERROR=ON >"$dir.log" 2>&1 ||
    { cat "$dir.log"; fail "configuring $target"; }
  nice -n 10 cmake --build "$dir" --target zell_dim_1_2_3_4 -j 2 >>"$dir.log" 2>&1 ||
    { tail -n 40 "$dir.log"; fail "building $target"; }
  module="$dir/$file"
  llvm-readobj --file-headers "$module" | grep -qE "^ *(Machine|CpuType): $machine " ||
    fail "$module is not built for $machine"
  "$check" "$module" "$platform"
  wheel="$(python3 .ci/pack_wheel.py --module "$module" --tag "$PYTHONS-none-$platform" --out "$out")"
  check_wheel "$wheel" "$file" "$platform"
  echo "  $(basename "$wheel"): $(stat -c %s "$wheel") bytes"
done
