#!/usr/bin/env bash
# Builds the libFuzzer targets of the debug-data readers with clang (ASan + UBSan) and runs each
# for a number of inputs, starting from the committed seed corpora (copied, never changed).
#   scripts/fuzz.sh [runs per target, default 200000]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-200000}
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed" >&2; exit 1; }
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
build=$root/build/fuzz
[ -f "$build/CMakeCache.txt" ] ||
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKOLVANE_SANITIZE=ON -DKOLVANE_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_Map fuzz_TD32 fuzz_UL fuzz_DebugData -j "$(nproc)"
for pair in Map:map TD32:td32 UL:ul DebugData:cldata; do
  target=${pair%%:*} corpus=${pair##*:}
  work=$build/corpus/$corpus
  mkdir -p "$work"
  cp -n "$root/tests/data/crash/fuzz/$corpus/"* "$work/"
  echo "== fuzz_$target ($runs runs)"
  "$build/tests/fuzz_$target" -runs="$runs" -max_len=65536 "$work" 2>&1 | tail -3
done
