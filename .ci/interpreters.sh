# Sourced by the per-interpreter checks: fills INTERPRETERS with the python
# executable of every interpreter that pyenv has installed, oldest first.
# Leaves it empty (and says so) when there is no pyenv on this machine.
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
if [ "${#INTERPRETERS[@]}" -eq 0 ]; then
  echo "no pyenv interpreters found; skipping the per-interpreter checks"
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
