#!/usr/bin/env bash
# Runs the Windows test executables under Wine (called by scripts/test-windows.sh with a
# display, on the host or in the test VM): test-wine.sh JOBS [ctest arguments].
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${1:-2}
shift || true
source "$root/scripts/wine-env.sh" "$root/build/win32/wineprefix"
trap 'wine_env_stop' EXIT
wine_env_start
ctest --test-dir "$root/build/win32" --output-on-failure -j "$jobs" "$@"
