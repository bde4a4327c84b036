# Sourced by the CI scripts that need tools from PyPI at pinned versions.
# pinned_tools VENV TOOL...: makes VENV hold exactly those tools, reusing
# it while the list is unchanged (the list is kept in VENV/tools).
pinned_tools() {
  local venv="$1"
  shift
  if [ "$(cat "$venv/tools" 2>/dev/null)" != "$*" ]; then
    rm -rf "$venv"
    python3 -m venv "$venv"
    "$venv/bin/pip" install -q "$@"
    echo "$*" >"$venv/tools"
  fi
}
