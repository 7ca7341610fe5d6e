#!/usr/bin/env bash
# Sets up the machine, builds the Windows program (Release) and runs it under Wine with the
# users' locale (ANSI code page 932), on a private Xvfb display when there is none; on a host
# that runs no 32-bit x86 code (or with KOLVANE_WINE_VM=1), under Wine in the test VM.
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

bash scripts/setup.sh

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

# Adds an argument that names a Unix path, as Wine sees it (drive Z: is the Unix root), and
# remembers its folder: the test VM shares it when the program runs there.
folders=()
add_path() { # prefix path
  local p=$2
  [ "${p:0:1}" = / ] || p=$PWD/$p
  folders+=("$(dirname "$p")")
  p=${p//\//\\}
  args+=("$1Z:$p")
}

args=()
out=
if [ $# -eq 0 ]; then
  mkdir -p build/run
  out=$root/build/run/samples-joined.csv
  rm -f "$out"
  args=(-a)
  add_path -lf= "$root/examples/left.csv"
  args+=(-lk=2 -lt=1)
  add_path -rf= "$root/examples/right.csv"
  args+=(-rk=0 -rt=1)
  add_path -cf= "$out"
  args+=(-ci=0 -cs=1 -ct=0 -cc=0)
else
  for a in "$@"; do
    case $a in
      -lf=/* | -rf=/* | -cf=/*) add_path "${a:0:4}" "${a:4}" ;;
      -*) args+=("$a") ;;
      *) if [ -e "$a" ]; then add_path "" "$a"; else args+=("$a"); fi ;;
    esac
  done
fi

# Unattended, the program ends by itself once the result is saved.
run=(bash scripts/run-wine.sh)
[ -n "$out" ] && run+=(--timeout 600)
run+=("$program" "${args[@]}")

echo "== running kolvane.exe ${args[*]}"
status=0
source scripts/vm/vm.sh
if winvm_wanted; then
  echo "   in the test VM ($(winvm_reason))"
  # The program's folders, outside the repository or inside it, are shared writable; the
  # repository alone is read-only there.
  shares=()
  while IFS= read -r dir; do
    [ -d "$dir" ] && [ "$dir" != / ] && [ "$dir" != "$root/examples" ] && shares+=(-w "$dir")
  done < <(printf '%s\n' "${folders[@]}" | sort -u)
  winvm_run "${shares[@]}" -- xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}" || status=$?
elif [ -z "${DISPLAY:-}" ]; then
  # Windows need a display: a private Xvfb server unless one is given.
  xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}" || status=$?
else
  "${run[@]}" || status=$?
fi

if [ -n "$out" ]; then
  if [ "$status" -ne 0 ] || [ ! -f "$out" ]; then
    echo "run: the automatic join did not complete (exit status $status)" >&2
    exit 1
  fi
  echo "== result written to $out"
  iconv -f CP932 -t UTF-8 "$out" || cat "$out"
fi
exit "$status"
