#!/usr/bin/env bash
# Runs pytest under each interpreter unpacked from Debian (3.14, 3.15)
# against ONE built module file, found only through PYTHONPATH, as the
# debug interpreter's run does. Each gets a venv under build/sid with the
# test dependencies the project declares.
#   .ci/newer_pytest.sh path/to/zell_dim_1_2_3_4.so
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source .ci/interpreters.sh
[ "$#" -eq 1 ] || { echo "usage: .ci/newer_pytest.sh path/to/zell_dim_1_2_3_4.so"; exit 2; }
so="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
[ -f "$so" ] || { echo "module file not found: $1"; exit 1; }

moddir="$(mktemp -d)"
trap 'rm -rf "$moddir"' EXIT
cp "$so" "$moddir/zell_dim_1_2_3_4.so"
# The test extras as pyproject.toml lists them, one per line.
mapfile -t needs < <(python3 -c 'import tomllib
with open("pyproject.toml", "rb") as f:
    print("\n".join(tomllib.load(f)["project"]["optional-dependencies"]["test"]))')

for py in "${INTERPRETERS[@]}"; do
  case "$py" in "$root"/build/sid/*) ;; *) continue ;; esac
  minor="$(clean_python "$py" -c 'import sys; print("%d.%d" % sys.version_info[:2])')"
  venv="$root/build/sid/venv-$minor"
  # Made again when the extras change.
  if [ "$(cat "$venv/extras" 2>/dev/null)" != "${needs[*]}" ]; then
    rm -rf "$venv"
    make_venv "$py" "$venv"
    clean_python "$venv/bin/python" -m pip install -q "${needs[@]}"
    echo "${needs[*]}" >"$venv/extras"
  fi
  echo "pytest under Python $(clean_python "$py" -c 'import platform; print(platform.python_version())')"
  clean_python PYTHONPATH="$moddir" "$venv/bin/python" -m pytest -q -p no:cacheprovider
done
