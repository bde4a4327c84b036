# Sourced by the wheel scripts: PYTHONS, the CPython versions every wheel
# names (cp27.cp36...), read from the wheel tags in pyproject.toml, which
# name them for pip's own builds.
PYTHONS="$(sed -n 's/^wheel\.tags = \["\([^-]*\)-.*/\1/p' "$(dirname "${BASH_SOURCE[0]}")/../pyproject.toml" | sort -u)"
if [ -z "$PYTHONS" ] || [ "$(echo "$PYTHONS" | wc -l)" -ne 1 ]; then
  echo "FAIL: pyproject.toml's wheel tags do not name one set of interpreters: ${PYTHONS:-none}" >&2
  exit 1
fi
