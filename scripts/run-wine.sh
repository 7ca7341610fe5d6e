#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix with the users' locale (called by
# scripts/run.sh with a display, on the host or in the test VM).
#   run-wine.sh [--timeout SECONDS] PROGRAM ARGS...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
limit=
if [ "${1:-}" = --timeout ]; then
  limit=$2
  shift 2
fi
source "$root/scripts/wine-env.sh" "$root/build/win32/wineprefix"
trap 'wine_env_stop' EXIT
wine_env_start
status=0
if [ -n "$limit" ]; then
  timeout "$limit" wine "$@" </dev/null || status=$?
else
  wine "$@" </dev/null || status=$?
fi
exit "$status"
