#!/usr/bin/env bash
# Runs the Windows tests of build/win32 (built beforehand) under Wine with the Japanese locale:
# on this host, or in the test VM of scripts/vm/ when the host runs no 32-bit x86 code or
# KOLVANE_WINE_VM=1 asks for it. Arguments go to ctest (for example -R test_crash).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

source scripts/vm/vm.sh
if winvm_wanted; then
  echo "   in the test VM ($(winvm_reason))"
  winvm_run -- xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash scripts/test-wine.sh "${KOLVANE_VM_CPUS:-$jobs}" "$@"
  exit
fi
# Windows need a display: a private Xvfb server unless one is given.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/test-wine.sh "$jobs" "$@"
fi
exec bash scripts/test-wine.sh "$jobs" "$@"
