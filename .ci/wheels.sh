#!/usr/bin/env bash
# Builds the cross-built wheels into OUTDIR:  .ci/wheels.sh OUTDIR
# Stand-in until the manylinux wheels land here: this copy builds none of
# its own and hands over to .ci/wheels_windows_macos.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:?usage: $0 OUTDIR}"
if [ -f "$root/.ci/wheels_windows_macos.sh" ]; then
  bash "$root/.ci/wheels_windows_macos.sh" "$out"
fi
