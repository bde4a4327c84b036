#!/usr/bin/env bash
# Fetches the CPython releases newer than the ones pyenv keeps here, with
# their headers and their debug builds, from Debian's unstable suite, and
# unpacks them under build/sid/root. Nothing system-wide changes: apt-get
# reads a private source list and keeps its lists, cache and downloads
# under build/sid. The interpreters need a newer C library than this
# machine's, which comes unpacked beside them; a wrapper per interpreter,
# build/sid/root/usr/local/bin/python3.X (and python3.Xd for the debug
# build), runs it through the unpacked dynamic loader, so that it looks
# like an ordinary interpreter to everything else, venvs included.
# Takes whatever versions the suite serves. Does nothing once done.
#   .ci/newer_interpreters.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sid="$root/build/sid"
minors="${ZELL_NEWER_PYTHONS:-3.14 3.15}"
[ "$(cat "$sid/ready" 2>/dev/null)" = "$minors" ] && [ -d "$sid/root/usr/local/bin" ] && exit 0

if [ "$(dpkg --print-architecture 2>/dev/null)" != amd64 ]; then
  echo "newer interpreters: only unpacked on amd64 machines; skipped" >&2
  exit 0
fi
multiarch=x86_64-linux-gnu
loader=ld-linux-x86-64.so.2

# The mirror this machine's own sources name, suite sid.
mirror="$({ cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } |
  { grep -v '^ *#' || true; } | { grep -oE 'https?://[^ ]+/debian/?( |$)' || true; } | head -n 1 | tr -d ' ')"
mirror="${mirror:-http://deb.debian.org/debian}"

rm -rf "$sid"
mkdir -p "$sid/apt/lists/partial" "$sid/apt/cache/archives/partial" "$sid/debs" "$sid/root"
echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] ${mirror%/} sid main" >"$sid/apt/sources.list"
apt=(-q -o Dir::Etc::sourcelist="$sid/apt/sources.list" -o Dir::Etc::sourceparts=- -o Dir::State::Lists="$sid/apt/lists"
  -o Dir::Cache="$sid/apt/cache" -o Dir::State::status=/dev/null -o APT::Sandbox::User=root
  -o APT::Architecture=amd64 -o APT::Architectures=amd64)
apt-get "${apt[@]}" update >/dev/null

# Each interpreter: itself, its standard library, its headers, its debug
# build; then the libraries they link, at the suite's versions, the C
# library first among them; then the pip wheel that seeds their venvs.
packages=()
for minor in $minors; do
  packages+=("python$minor-minimal" "libpython$minor-minimal" "libpython$minor-stdlib" "libpython$minor-dev"
    "python$minor-dbg" "libpython$minor-dbg")
done
packages+=(libc6 libgcc-s1 libstdc++6 libssl3t64 libexpat1 zlib1g libzstd1 libffi8 libsqlite3-0 liblzma5
  libbz2-1.0 libncursesw6 libtinfo6 libreadline8t64 libuuid1 libmpdec4 python3-pip-whl)
(cd "$sid/debs" && apt-get "${apt[@]}" download "${packages[@]}" >/dev/null)
for deb in "$sid"/debs/*.deb; do dpkg -x "$deb" "$sid/root"; done

mkdir -p "$sid/root/usr/local/bin"
for minor in $minors; do
  for build in "$minor" "${minor}d"; do
    wrapper="$sid/root/usr/local/bin/python$build"
    # --argv0 makes the wrapper the interpreter's sys.executable: it finds
    # its library from there, and a venv links to the wrapper.
    cat >"$wrapper" <<EOF
#!/bin/sh
# CPython $build unpacked from Debian, run through its own dynamic loader.
root="\$(dirname "\$(readlink -f "\$0")")/../../.."
lib="\$root/usr/lib/$multiarch"
exec "\$lib/$loader" --library-path "\$lib" --argv0 "\$0" "\$root/usr/bin/python$build" "\$@"
EOF
    chmod +x "$wrapper"
    "$wrapper" -c 'import ctypes, ssl, sqlite3, sys, venv; print("unpacked Python " + sys.version.split()[0] +
      (" (debug build)" if hasattr(sys, "gettotalrefcount") else ""))'
  done
done
rm -rf "$sid/debs" "$sid/apt/cache"
echo "$minors" >"$sid/ready"
