#!/usr/bin/env bash
# Makes ROOT a private root holding Debian's aarch64 CPython and the
# libraries it loads, unpacked from Debian's arm64 packages, and installs
# qemu-user-static to run it on this machine. Nothing for arm64 is
# installed system-wide: the packages are only downloaded and unpacked.
#   .ci/arm64_python.sh ROOT
# Afterwards: qemu-aarch64-static -L ROOT ROOT/usr/bin/python3.11 ...
# Does nothing when ROOT already holds the same packages.
set -euo pipefail
[ "$#" -eq 1 ] && [ -n "$1" ] || { echo "usage: .ci/arm64_python.sh ROOT"; exit 2; }
root_dir="$1"
export DEBIAN_FRONTEND=noninteractive

# The interpreter, its standard library and what run_compat.py loads of it.
PACKAGES=(libc6 python3.11-minimal libpython3.11-minimal libpython3.11-stdlib zlib1g libexpat1 libffi8)
done_marker="$root_dir/.packages"

# Installs a package of this machine's own architecture, reading the
# package lists anew only when the ones here do not have it.
apt_install() {
  dpkg -s "$1" >/dev/null 2>&1 && return
  apt-get install -y -q "$1" || { apt-get update -q && apt-get install -y -q "$1"; }
}

apt_install qemu-user-static
if [ -f "$done_marker" ] && [ "$(cat "$done_marker")" = "${PACKAGES[*]}" ]; then
  echo "arm64 root up to date: $root_dir"
  exit 0
fi
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  dpkg --add-architecture arm64
  apt-get update -q
fi
rm -rf "$root_dir"
mkdir -p "$root_dir/.debs"
arm64_names=("${PACKAGES[@]/%/:arm64}")
# apt-get download runs as _apt where it can; root's folder is not its own.
(cd "$root_dir/.debs" && apt-get download -q -o APT::Sandbox::User=root "${arm64_names[@]}") ||
  (apt-get update -q && cd "$root_dir/.debs" && apt-get download -q -o APT::Sandbox::User=root "${arm64_names[@]}")
for deb in "$root_dir"/.debs/*.deb; do
  dpkg -x "$deb" "$root_dir"
done
rm -rf "$root_dir/.debs"
[ -x "$root_dir/usr/bin/python3.11" ] || { echo "FAIL: no usr/bin/python3.11 in $root_dir"; exit 1; }
echo "${PACKAGES[*]}" >"$done_marker"
echo "arm64 root ready: $root_dir"
