#!/usr/bin/env bash
# Sets up the machine, builds the Windows program (Release) and runs it under Wine with the
# users' locale (ANSI code page 932), on a private Xvfb display when there is none.
#
#   bash scripts/run.sh            joins the shipped samples (examples/left.csv and right.csv,
#                                  Shift_JIS with titles, key 部署コード = left column 2 and right
#                                  column 0) unattended with "-a" and prints where the result
#                                  went: build/run/samples-joined.csv (ANSI, that is Shift_JIS)
#   bash scripts/run.sh ARGS...    runs the program with ARGS (its command-line options, or a
#                                  project file); Unix paths, alone or after -lf=, -rf= or -cf=,
#                                  are handed over as Wine paths
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Windows need a display: a private Xvfb server unless one is given.
if [ -z "${DISPLAY:-}" ] && [ -z "${KOLVANE_RUN_INNER:-}" ]; then
  bash scripts/setup.sh
  export KOLVANE_RUN_INNER=1 KOLVANE_RUN_SETUP_DONE=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
[ -n "${KOLVANE_RUN_SETUP_DONE:-}" ] || bash scripts/setup.sh

# Quiet when it works; the whole output when it does not.
quietly() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if [ ! -f build/win32/CMakeCache.txt ]; then
  echo "== configuring the Windows build (i686, MinGW-w64)"
  quietly cmake -S . -B build/win32 "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    --toolchain "$root/cmake/mingw-i686.cmake"
fi
echo "== building kolvane.exe"
quietly cmake --build build/win32 --target kolvane -j "$(nproc 2>/dev/null || echo 2)"
program=$root/build/win32/kolvane.exe

# A Unix path as Wine sees it (drive Z: is the Unix root).
winpath() {
  local p=$1
  [ "${p:0:1}" = / ] || p=$PWD/$p
  p=${p//\//\\}
  printf 'Z:%s' "$p"
}

args=()
out=
if [ $# -eq 0 ]; then
  mkdir -p build/run
  out=$root/build/run/samples-joined.csv
  rm -f "$out"
  args=(-a "-lf=$(winpath "$root/examples/left.csv")" -lk=2 -lt=1
        "-rf=$(winpath "$root/examples/right.csv")" -rk=0 -rt=1
        "-cf=$(winpath "$out")" -ci=0 -cs=1 -ct=0 -cc=0)
else
  for a in "$@"; do
    case $a in
      -lf=/* | -rf=/* | -cf=/*) args+=("${a:0:4}$(winpath "${a:4}")") ;;
      -*) args+=("$a") ;;
      *) if [ -e "$a" ]; then args+=("$(winpath "$a")"); else args+=("$a"); fi ;;
    esac
  done
fi

source "$root/scripts/wine-env.sh" "$root/build/win32/wineprefix"
trap 'wine_env_stop' EXIT
wine_env_start

echo "== running kolvane.exe ${args[*]}"
status=0
if [ -n "$out" ]; then
  # Unattended: the program ends by itself once the result is saved.
  timeout 300 wine "$program" "${args[@]}" </dev/null || status=$?
  if [ "$status" -ne 0 ] || [ ! -f "$out" ]; then
    echo "run: the automatic join did not complete (exit status $status)" >&2
    exit 1
  fi
  echo "== result written to $out"
  iconv -f CP932 -t UTF-8 "$out" || cat "$out"
else
  wine "$program" "${args[@]}" </dev/null || status=$?
fi
exit "$status"
