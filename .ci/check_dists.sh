#!/usr/bin/env bash
# Checks distributions as a package index and pip see them, with tools
# pinned in the venv build/dist-tools:
#   - twine check --strict: the metadata is valid and the long description
#     renders;
#   - every classifier is one the index accepts (trove-classifiers);
#   - check-wheel-contents: each wheel holds at its top the module
#     (zell_dim_1_2_3_4.so, .pyd on Windows) and the stub package, and
#     nothing else, and none of the faults it knows (duplicates, bytecode,
#     empty or misplaced files);
#   - each wheel's dist-info holds the license file;
#   - the sdist holds exactly the tracked files (`git ls-files`) that
#     pyproject.toml's sdist.include names, and PKG-INFO.
#   .ci/check_dists.sh FILE...      (wheels and sdists)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ "$#" -ge 1 ] || { echo "usage: .ci/check_dists.sh WHEEL_OR_SDIST..."; exit 2; }
files=()
for file in "$@"; do files+=("$(cd "$(dirname "$file")" && pwd)/$(basename "$file")"); done
cd "$root"

TOOLS=("twine==7.0.0" "check-wheel-contents==0.6.3" "trove-classifiers==2026.9.21.13")
venv="$root/build/dist-tools"
source "$root/.ci/pinned_tools.sh"
pinned_tools "$venv" "${TOOLS[@]}"

"$venv/bin/twine" check --strict "${files[@]}"

"$venv/bin/python" - <<'EOF'
import tomllib
from trove_classifiers import classifiers
with open("pyproject.toml", "rb") as f:
    unknown = [c for c in tomllib.load(f)["project"]["classifiers"] if c not in classifiers]
assert not unknown, "classifiers no index accepts: %s" % unknown
EOF

for file in "${files[@]}"; do
  case "$file" in
    *.whl)
      case "$(basename "$file")" in *-win_*) module=zell_dim_1_2_3_4.pyd ;; *) module=zell_dim_1_2_3_4.so ;; esac
      "$venv/bin/check-wheel-contents" --toplevel "$module,zell_dim_1_2_3_4-stubs" "$file"
      python3 -c 'import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
sys.exit(0 if any(n.endswith(".dist-info/licenses/LICENSE") for n in names) else "FAIL: no LICENSE in the dist-info of " + sys.argv[1])' "$file"
      ;;
    *.tar.gz)
      "$venv/bin/python" .ci/sdist_files.py "$file"
      ;;
    *) echo "FAIL: neither a wheel nor an sdist: $file"; exit 1 ;;
  esac
done
echo "distributions checked: ${#files[@]}"
