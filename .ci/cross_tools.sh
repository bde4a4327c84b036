# Sourced by the scripts that cross-build on this machine: makes sure zig
# (PyPI's ziglang, pinned, in the venv build/wheel-tools where cmake/zig
# looks), cmake, ninja and the LLVM binary readers are there.
export DEBIAN_FRONTEND=noninteractive
ZIGLANG_VERSION="0.17.1"

apt_install() {
  apt-get install -y -q "$@" >/dev/null || { apt-get update -q >/dev/null && apt-get install -y -q "$@" >/dev/null; }
}

[ -x build/wheel-tools/bin/pip ] || python3 -m venv build/wheel-tools
build/wheel-tools/bin/pip install -q "ziglang==$ZIGLANG_VERSION"
for tool in cmake ninja; do
  if ! command -v "$tool" >/dev/null; then
    build/wheel-tools/bin/pip install -q "$tool"
    export PATH="$PWD/build/wheel-tools/bin:$PATH"
  fi
done
command -v llvm-readobj >/dev/null && command -v llvm-objdump >/dev/null || apt_install llvm
