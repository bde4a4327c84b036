#!/usr/bin/env bash
# Builds the distributions a package index takes into OUTDIR:
#   - one manylinux wheel for x86-64 and one for aarch64, each tagged
#     manylinux_2_17 (and manylinux2014) and for every CPython it serves;
#   - the sdist, which builds with the compiler of whoever installs it.
#   .ci/wheels.sh OUTDIR
# The wheels' module is cross-compiled with zig against glibc 2.17, with
# zig's own C++ runtime linked in, so it loads on every Linux of its
# architecture from glibc 2.17 on. zig (PyPI package ziglang) and the sdist
# frontend go into the venv build/wheel-tools. .ci/check_wheels.sh checks
# the result.
# Ends with .ci/wheels_windows_macos.sh OUTDIR when that script exists.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ "$#" -eq 1 ] && [ -n "$1" ] || { echo "usage: .ci/wheels.sh OUTDIR"; exit 2; }
mkdir -p "$1"
out="$(cd "$1" && pwd)"
cd "$root"

source .ci/pythons.sh
BUILD_VERSION="1.6.1"

# zig, cmake and ninja (.ci/cross_tools.sh), and the sdist frontend, in the
# venv build/wheel-tools, made once per checkout.
install_tools() {
  source .ci/cross_tools.sh
  build/wheel-tools/bin/pip install -q "build==$BUILD_VERSION"
  echo "zig $(cmake/zig version); $(cmake --version | head -n 1); ninja $(ninja --version)"
}

# Cross-compiles the module for one zig target and packs it with TAG:
#   build_wheel ZIG_TARGET TAG
build_wheel() {
  local target="$1" tag="$2"
  local dir="$root/build/wheels/$target"
  local log
  # Stripped at the link (-s), as pip's build strips at install.
  if ! log="$(nice -n 10 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/zig-toolchain.cmake" -DZIG_TARGET="$target" \
    -DCMAKE_MODULE_LINKER_FLAGS=-s -DZELL_WERROR=ON 2>&1)"; then
    echo "$log"
    echo "FAIL: cmake could not configure the build for $target"
    exit 1
  fi
  nice -n 10 cmake --build "$dir" -j 2 --target zell_dim_1_2_3_4
  python3 .ci/pack_wheel.py --module "$dir/zell_dim_1_2_3_4.so" --tag "$tag" --out "$out"
}

install_tools
for arch in x86_64 aarch64; do
  build_wheel "$arch-linux-gnu.2.17" "$PYTHONS-none-manylinux_2_17_$arch.manylinux2014_$arch"
done
nice -n 10 build/wheel-tools/bin/python -m build --sdist --outdir "$out" .

if [ -f .ci/wheels_windows_macos.sh ]; then
  bash .ci/wheels_windows_macos.sh "$out"
fi
echo "distributions in $out:"
ls -l "$out"
