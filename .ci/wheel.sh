#!/usr/bin/env bash
# Builds the one wheel with `pip wheel .`, checks that its tags name every
# interpreter it serves, checks its contents and metadata
# (.ci/check_dists.sh), and installs it into fresh environments of the
# oldest and the newest installed 3.x interpreters, each importing and
# using it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/.ci/interpreters.sh"
py="${PYTHON:-python3}"

dist="$(mktemp -d)"
trap 'rm -rf "$dist"' EXIT
"$py" -m pip wheel -q "$root" -w "$dist"
wheels=("$dist"/zell_dim_1_2_3_4-*.whl)
[ "${#wheels[@]}" -eq 1 ] || { echo "FAIL: expected one wheel, got ${wheels[*]}"; exit 1; }
wheel="${wheels[0]}"
echo "wheel: $(basename "$wheel")"
# What an index and pip read in it, as for the wheels a release uploads.
bash "$root/.ci/check_dists.sh" "$wheel"
source "$root/.ci/pythons.sh"
case "$(basename "$wheel")" in
  *-"$PYTHONS"-none-linux_*.whl) ;;
  *) echo "FAIL: the wheel's tags do not name every interpreter it serves ($PYTHONS)"; exit 1 ;;
esac

for target in "${OLDEST_AND_NEWEST_THREE[@]}"; do
  env_dir="$(mktemp -d "$dist/env.XXXX")"
  make_venv "$target" "$env_dir"
  clean_python "$env_dir/bin/python" -m pip install -q "$wheel"
  (cd "$dist" && clean_python "$env_dir/bin/python" -c '
import os, sys, zell_dim_1_2_3_4 as z
assert "site-packages" in z.__file__, z.__file__
t = z.newZell3(0.5)
t.createNodeByCoord([1.0, 2.0, 3.0]).setData("x")
copy = z.Zell3()
copy.deserialize(t.serialize())
assert copy.getNodeByCoord([1.0, 2.0, 3.0]).getData() == "x"
stubs = os.path.join(os.path.dirname(z.__file__), "zell_dim_1_2_3_4-stubs", "__init__.pyi")
assert os.path.isfile(stubs), stubs
print("wheel installed and working under Python " + sys.version.split()[0])')
done
