# Sourced by the per-interpreter checks: fills INTERPRETERS with the python
# executable of every interpreter that pyenv has installed, oldest first,
# then the newer ones unpacked under build/sid, and DEBUG_INTERPRETERS with
# the debug builds of those.
INTERPRETERS=()
if [ -n "${PYENV_ROOT:-}" ] && [ -d "$PYENV_ROOT/versions" ]; then
  pyenv_versions="$PYENV_ROOT/versions"
elif command -v pyenv >/dev/null 2>&1; then
  pyenv_versions="$(pyenv root)/versions"
elif [ -d "$HOME/.pyenv/versions" ]; then
  pyenv_versions="$HOME/.pyenv/versions"
else
  pyenv_versions=""
fi
if [ -n "$pyenv_versions" ] && [ -d "$pyenv_versions" ]; then
  while IFS= read -r dir; do
    [ -x "$dir/bin/python" ] && INTERPRETERS+=("$dir/bin/python")
  done < <(ls -d "$pyenv_versions"/*/ 2>/dev/null | sed 's:/$::' | sort -V)
fi

# The releases newer than pyenv's come unpacked from Debian's unstable suite
# (.ci/newer_interpreters.sh), each after the pyenv ones unless pyenv has
# the same version; their debug builds go in DEBUG_INTERPRETERS.
ci_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
DEBUG_INTERPRETERS=()
bash "$ci_dir/newer_interpreters.sh" >&2
newer_bin="$(cd "$ci_dir/.." && pwd)/build/sid/root/usr/local/bin"
for candidate in "$newer_bin"/python3.*; do
  [ -x "$candidate" ] || continue
  name="$(basename "$candidate")"
  case "$name" in
    *d) DEBUG_INTERPRETERS+=("$candidate") ;;
    *) [ -n "$pyenv_versions" ] && ls -d "$pyenv_versions/${name#python}".*/ >/dev/null 2>&1 ||
      INTERPRETERS+=("$candidate") ;;
  esac
done
unset ci_dir newer_bin candidate name
if [ "${#INTERPRETERS[@]}" -eq 0 ]; then
  echo "no interpreters found; skipping the per-interpreter checks"
fi

# Runs an interpreter with nothing inherited that could redirect its imports.
clean_python() {
  env -u PYTHONHOME -u PYTHONPATH -u PYTHONSTARTUP -u PYTHONUSERBASE \
      -u PYTHONNOUSERSITE -u PYTHONSAFEPATH -u VIRTUAL_ENV -u LD_PRELOAD "$@"
}

# The oldest and the newest 3.x interpreter, in OLDEST_AND_NEWEST_THREE
# (python3 when pyenv has none).
threes=()
for candidate in "${INTERPRETERS[@]}"; do
  clean_python "$candidate" -c 'import sys; sys.exit(sys.version_info[0] != 3)' && threes+=("$candidate")
done
[ "${#threes[@]}" -ge 1 ] || threes=("$(command -v python3)")
OLDEST_AND_NEWEST_THREE=("${threes[0]}" "${threes[-1]}")
unset threes

# A fresh venv with pip: make_venv PYTHON DIR. The unpacked interpreters'
# own ensurepip would take the machine's older pip wheel; their venvs get
# the pip that came unpacked with them instead.
UNPACKED_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/sid/root"
make_venv() {
  local pip_wheel
  case "$1" in
    "$UNPACKED_ROOT"/*)
      clean_python "$1" -m venv --without-pip "$2"
      pip_wheel="$(ls "$UNPACKED_ROOT"/usr/share/python-wheels/pip-*.whl | head -n 1)"
      clean_python "$2/bin/python" "$pip_wheel/pip" install -q --no-index "$pip_wheel"
      ;;
    *) clean_python "$1" -m venv "$2" ;;
  esac
}
