#!/usr/bin/env bash
# Builds the benchmark natively (-O2, no sanitizers, build/bench-native) and for 32-bit Windows
# (build/win32), generates its data once into bench/data/, runs each case natively and under
# Wine (code page 932; in the test VM of scripts/vm/ on a host that runs no 32-bit x86 code),
# checks that both saved byte-identical results and that these are the results recorded in
# bench/outputs.sha256 (the outputs of the code before the speed work: a faster join must not
# change a byte), and prints the figures.
# Timings are reported, never judged. Needs what scripts/setup.sh installs.
#
# Each case runs three times natively (RUNS) and the run of median total is reported. Options:
#   --peer         also times a one-thread embedded SQL engine (DuckDB from npm, installed into
#                  build/peer) doing the same full outer join on the UTF-8 copies of the pairs,
#                  interleaved with kolvane's runs, and prints kolvane's median over the peer's
#   --large        adds the 4M-row Shift_JIS pair (give the test VM KOLVANE_VM_MEMORY=6G)
#   --native-only  skips the Wine half
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
half= peer= large= nativeOnly=
for arg in "$@"; do
  case $arg in
    --wine-half) half=$arg ;;
    --peer) peer=1 ;;
    --large) large=1 ;;
    --native-only) nativeOnly=1 ;;
    *) echo "usage: bench/run.sh [--peer] [--large] [--native-only]" >&2; exit 2 ;;
  esac
done
runs=${RUNS:-3}

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
  [ -z "$peer" ] || make_pair 100k-utf8 100000 utf8 # the peer reads UTF-8
  [ -z "$large" ] || make_pair 4m-sjis 4000000 sjis
  ls -l "$data"/*/*.csv | awk '{ printf "  %-32s %7.1f MB\n", $NF, $5 / 1e6 }'
fi

# The cases: name, data pair, options.
cases=(
  "1m-sjis 1m-sjis --lt --rt"
  "1m-utf8 1m-utf8 --lt --rt --encoding 1"
  "100k 100k-sjis --lt --rt"
  "100k-sorted 100k-sjis --lt --rt --view 1 --sort ${SORT_TEXT:-3,1,11,0,0,0}"
)
[ -z "$large" ] || cases+=("4m-sjis 4m-sjis --lt --rt")
# The peer's input: the UTF-8 copy of each Shift_JIS pair it is compared on.
declare -A peerPair=([1m-sjis]=1m-utf8 [100k]=100k-utf8)
mkdir -p "$out"

# The Wine half: every case under Wine, on this host or in the test VM (scripts/vm/).
if [ "$half" = --wine-half ]; then
  # Wine's desktop needs a display: a private Xvfb server unless one is given.
  if [ -z "${DISPLAY:-}" ] && [ -z "${KOLVANE_BENCH_XVFB:-}" ]; then
    exec env KOLVANE_BENCH_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
  fi
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

if [ -n "$peer" ] && [ ! -d build/peer/node_modules/@duckdb/node-api ]; then
  echo "== peer: npm install @duckdb/node-api into build/peer"
  npm install --silent --no-save --prefix build/peer @duckdb/node-api >/dev/null
fi

total_of() { awk '/^total / { print $(NF-1) }' "$1"; }
# The file of the run whose total is the median of the runs' totals.
median_run() { # prefix runs
  local i
  for ((i = 1; i <= $2; i++)); do echo "$(total_of "$1.$i.txt") $1.$i.txt"; done |
    sort -g | awk -v n="$2" 'NR == int((n + 1) / 2) { print $2 }'
}

ratios=()
for c in "${cases[@]}"; do
  # shellcheck disable=SC2086
  set -- $c
  name=$1 pair=$2
  shift 2
  l=$root/$data/$pair/left.csv r=$root/$data/$pair/right.csv
  echo "== $name natively: $*"
  rm -f "$out/$name-native.csv"
  withPeer=
  [ -n "$peer" ] && [ -n "${peerPair[$name]:-}" ] && withPeer=${peerPair[$name]}
  for ((i = 1; i <= runs; i++)); do
    "$native/bench/kolvane-bench" --left "$l" --right "$r" "$@" --out "$out/$name-native.csv" \
      >"$out/$name-native.$i.txt"
    echo "   run $i: $(total_of "$out/$name-native.$i.txt") s"
    if [ -n "$withPeer" ]; then
      NODE_PATH=$root/build/peer/node_modules node bench/peer-duckdb.cjs \
        "$data/$withPeer/left.csv" "$data/$withPeer/right.csv" "$out/$name-peer.csv" \
        >"$out/$name-peer.$i.txt"
      echo "   peer $i: $(total_of "$out/$name-peer.$i.txt") s"
    fi
  done
  cp "$(median_run "$out/$name-native" "$runs")" "$out/$name-native.txt"
  cat "$out/$name-native.txt"
  if [ -n "$withPeer" ]; then
    cp "$(median_run "$out/$name-peer" "$runs")" "$out/$name-peer.txt"
    k=$(total_of "$out/$name-native.txt") p=$(total_of "$out/$name-peer.txt")
    ratios+=("$(awk -v n="$name" -v k="$k" -v p="$p" 'BEGIN {
      printf "%-12s kolvane %.3f s, peer %.3f s (medians of the runs): ratio %.2f", n, k, p, k / p }')")
  fi
done

if [ -z "$nativeOnly" ]; then
  source scripts/vm/vm.sh
  if winvm_wanted; then
    echo "== in the test VM ($(winvm_reason)): its figures are those of an emulated machine"
    winvm_run -w "$out" -- env SORT_TEXT="${SORT_TEXT:-3,1,11,0,0,0}" \
      bash bench/run.sh --wine-half ${large:+--large}
  else
    bash bench/run.sh --wine-half ${large:+--large}
  fi
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
  if [ -n "$nativeOnly" ]; then
    same=native-only
  elif ! cmp -s "$out/$name-native.csv" "$out/$name-wine.csv"; then
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
  [ -n "$nativeOnly" ] ||
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
if [ ${#ratios[@]} -gt 0 ]; then
  echo
  echo "== against the one-thread peer (natively, same machine, same run)"
  printf '%s\n' "${ratios[@]}"
fi
exit "$failed"
