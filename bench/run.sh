#!/usr/bin/env bash
# Builds the benchmark natively (-O2, no sanitizers, build/bench-native) and for 32-bit Windows
# (build/win32), generates its data once into bench/data/, runs each case natively and under
# Wine (code page 932; in the test VM of scripts/vm/ on a host that runs no 32-bit x86 code),
# checks that both saved byte-identical results and that these are the results recorded in
# bench/outputs.sha256 (the outputs of the code before the speed work: a faster join must not
# change a byte), and prints the figures.
# Timings are reported, never judged. Needs what scripts/setup.sh installs.
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
# bench/run.sh --wine-half runs only the Wine half of the cases (on this host or in the test VM)
# over the builds and data a full run made.
half=${1:-}

if [ "$half" != --wine-half ]; then
  echo "== build (native -O2 and Windows)"
  [ -f "$native/CMakeCache.txt" ] ||
    cmake -S . -B "$native" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKOLVANE_SANITIZE=OFF >/dev/null
  cmake --build "$native" -j "$jobs" --target kolvane-gen kolvane-bench >/dev/null
  [ -f "$win/CMakeCache.txt" ] ||
    cmake -S . -B "$win" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
      --toolchain "$root/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$win" -j "$jobs" --target kolvane-bench >/dev/null

  echo "== data"
  # Written to a scratch folder first, so an interrupted run never leaves a half pair behind.
  make_pair() { # folder rows encoding
    local dir=$data/$1
    [ -f "$dir/left.csv" ] && [ -f "$dir/right.csv" ] && return
    rm -rf "$dir.tmp"
    "$native/bench/kolvane-gen" --rows "$2" --encoding "$3" --out "$dir.tmp"
    mv "$dir.tmp" "$dir"
  }
  make_pair 1m-sjis 1000000 sjis
  make_pair 1m-utf8 1000000 utf8
  make_pair 100k-sjis 100000 sjis
  ls -l "$data"/*/*.csv | awk '{ printf "  %-32s %7.1f MB\n", $NF, $5 / 1e6 }'
fi

# The cases: name, data pair, options.
cases=(
  "1m-sjis 1m-sjis --lt --rt"
  "1m-utf8 1m-utf8 --lt --rt --encoding 1"
  "100k 100k-sjis --lt --rt"
  "100k-sorted 100k-sjis --lt --rt --view 1 --sort ${SORT_TEXT:-3,1,11,0,0,0}"
)
mkdir -p "$out"

# The Wine half: every case under Wine, on this host or in the test VM (scripts/vm/).
if [ "$half" = --wine-half ]; then
  source scripts/wine-env.sh "$root/$win/wineprefix"
  trap 'wine_env_stop' EXIT
  wine_env_start
  for c in "${cases[@]}"; do
    # shellcheck disable=SC2086
    set -- $c
    name=$1 pair=$2
    shift 2
    l=$root/$data/$pair/left.csv r=$root/$data/$pair/right.csv
    echo "== $name under Wine: $*"
    rm -f "$out/$name-wine.csv"
    scripts/wine-exec "$win/bench/kolvane-bench.exe" --left "Z:$l" --right "Z:$r" "$@" \
      --out "Z:$root/$out/$name-wine.csv" | tr -d '\r' | tee "$out/$name-wine.txt"
  done
  exit 0
fi

for c in "${cases[@]}"; do
  # shellcheck disable=SC2086
  set -- $c
  name=$1 pair=$2
  shift 2
  l=$root/$data/$pair/left.csv r=$root/$data/$pair/right.csv
  echo "== $name natively: $*"
  rm -f "$out/$name-native.csv"
  "$native/bench/kolvane-bench" --left "$l" --right "$r" "$@" --out "$out/$name-native.csv" |
    tee "$out/$name-native.txt"
done

source scripts/vm/vm.sh
if winvm_wanted; then
  echo "== in the test VM ($(winvm_reason)): its figures are those of an emulated machine"
  winvm_run -w "$out" -- env SORT_TEXT="${SORT_TEXT:-3,1,11,0,0,0}" bash bench/run.sh --wine-half
else
  bash bench/run.sh --wine-half
fi

# Figures of one run's report: load left, load right, join, order, write, total, peak MiB x2.
figures() {
  awk '/^(load left|load right|join|order|write|total|peak private|peak working) / { printf "%s ", $(NF-1) }' "$1"
}

summary=()
failed=0
for c in "${cases[@]}"; do
  name=${c%% *}
  same=identical
  if ! cmp -s "$out/$name-native.csv" "$out/$name-wine.csv"; then
    same=DIFFERENT
    failed=1
  fi
  # SORT_TEXT other than the default gives another order than the one recorded.
  expected=$(awk -v f="$name.csv" '$2 == f { print $1 }' bench/outputs.sha256)
  if [ -n "$expected" ] && [ -z "${SORT_TEXT:-}" ]; then
    if [ "$(sha256sum <"$out/$name-native.csv" | cut -d' ' -f1)" = "$expected" ]; then
      same="$same,as-recorded"
    else
      same="$same,CHANGED-from-recorded"
      failed=1
    fi
  fi
  echo "-- $name: outputs $same ($(stat -c %s "$out/$name-native.csv") bytes native)"
  summary+=("$(printf '%-12s native %s %s' "$name" "$(figures "$out/$name-native.txt")" "$same")")
  summary+=("$(printf '%-12s wine   %s %s' "$name" "$(figures "$out/$name-wine.txt")" "$same")")
done

echo
echo "== summary (seconds; peak memory in MiB)"
printf '%-12s %-6s %7s %7s %7s %7s %7s %7s %8s %8s %s\n' case where loadL loadR join order \
  write total private working outputs
for line in "${summary[@]}"; do
  # shellcheck disable=SC2086
  printf '%-12s %-6s %7s %7s %7s %7s %7s %7s %8s %8s %s\n' $line
done
exit "$failed"
