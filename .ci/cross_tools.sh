# Sourced by the scripts that build for Windows and macOS on this machine:
# makes sure zig (PyPI's ziglang, in build/zig where cmake/zig looks),
# cmake, ninja and the LLVM binary readers are there.
export DEBIAN_FRONTEND=noninteractive

apt_install() {
  apt-get install -y -q "$@" >/dev/null || { apt-get update -q >/dev/null && apt-get install -y -q "$@" >/dev/null; }
}

if [ ! -x build/zig/bin/python ] || ! build/zig/bin/python -c 'import ziglang' 2>/dev/null; then
  python3 -m venv build/zig
  build/zig/bin/pip install -q ziglang
fi
for tool in cmake ninja; do
  if ! command -v "$tool" >/dev/null; then
    [ -x build/tools/bin/pip ] || python3 -m venv build/tools
    build/tools/bin/pip install -q "$tool"
    export PATH="$PWD/build/tools/bin:$PATH"
  fi
done
command -v llvm-readobj >/dev/null && command -v llvm-objdump >/dev/null || apt_install llvm
