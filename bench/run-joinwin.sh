#!/usr/bin/env bash
# Runs the 1M-row join through the real join window under Xvfb and Wine (code page 932) and
# checks that the window saved the same bytes as kolvane-bench with the same choices. Uses the
# data of bench/run.sh (generated here when missing) and the Windows build in build/win32.
# On a host that runs no 32-bit x86 code (or with KOLVANE_WINE_VM=1) the window runs in the test
# VM of scripts/vm/. Timings are reported, never judged. Needs what scripts/setup.sh installs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=$(nproc 2>/dev/null || echo 2)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
native=build/bench-native
win=build/win32
data=bench/data
out=build/bench-out

# bench/run-joinwin.sh --wine-half runs only the cases, over the builds and data a full run made.
half=${1:-}

if [ "$half" != --wine-half ]; then
  echo "== build"
  [ -f "$native/CMakeCache.txt" ] ||
    cmake -S . -B "$native" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKOLVANE_SANITIZE=OFF >/dev/null
  cmake --build "$native" -j "$jobs" --target kolvane-gen >/dev/null
  [ -f "$win/CMakeCache.txt" ] ||
    cmake -S . -B "$win" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
      --toolchain "$root/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$win" -j "$jobs" --target kolvane-bench kolvane-joinwin-bench >/dev/null

  echo "== data"
  make_pair() { # folder rows encoding
    local dir=$data/$1
    [ -f "$dir/left.csv" ] && [ -f "$dir/right.csv" ] && return
    rm -rf "$dir.tmp"
    "$native/bench/kolvane-gen" --rows "$2" --encoding "$3" --out "$dir.tmp"
    mv "$dir.tmp" "$dir"
  }
  make_pair 1m-sjis 1000000 sjis
  mkdir -p "$out"

  source scripts/vm/vm.sh
  if winvm_wanted; then
    echo "== in the test VM ($(winvm_reason)): its figures are those of an emulated machine"
    winvm_run -w "$out" -- env SORT_TEXT="${SORT_TEXT:-3,1,11,0,0,0}" xvfb-run -a -s "-screen 0 1280x1024x24" bash bench/run-joinwin.sh --wine-half
  elif [ -z "${DISPLAY:-}" ]; then
    # Windows need a display: a private Xvfb server unless one is given.
    xvfb-run -a -s "-screen 0 1280x1024x24" bash bench/run-joinwin.sh --wine-half
  else
    bash bench/run-joinwin.sh --wine-half
  fi
  exit
fi

source scripts/wine-env.sh "$root/$win/wineprefix"
trap 'wine_env_stop' EXIT
wine_env_start
mkdir -p "$out"
failed=0

run_case() { # name options...
  local name=$1
  shift
  local l=$root/$data/1m-sjis/left.csv r=$root/$data/1m-sjis/right.csv
  echo "== $name: $*"
  rm -f "$out/$name-window.csv" "$out/$name-reference.csv"
  wine "$win/bench/kolvane-joinwin-bench.exe" --left "Z:$l" --right "Z:$r" "$@" \
    --out "Z:$root/$out/$name-window.csv" | tr -d '\r' | tee "$out/$name-window.txt"
  wine "$win/bench/kolvane-bench.exe" --left "Z:$l" --right "Z:$r" "$@" \
    --out "Z:$root/$out/$name-reference.csv" >/dev/null
  if cmp -s "$out/$name-window.csv" "$out/$name-reference.csv"; then
    echo "-- saved bytes identical to kolvane-bench ($(stat -c %s "$out/$name-window.csv") bytes)"
  else
    echo "-- saved bytes DIFFER from kolvane-bench"
    failed=1
  fi
}

run_case joinwin-1m --lt --rt
run_case joinwin-1m-sorted --lt --rt --view 1 --sort "${SORT_TEXT:-3,1,11,0,0,0}" --encoding 1
exit "$failed"
