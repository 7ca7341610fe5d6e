#!/usr/bin/env bash
# Fuzzes the crash component's readers with libFuzzer under AddressSanitizer and UBSan (native
# build with clang), each target starting from its committed seed corpus (copied, never changed):
# the options stream and the debug-data readers (.map, TD32, UL, stored debug data).
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}

bash scripts/setup.sh
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "fuzz: installing clang and its runtime"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang libclang-rt-dev >/dev/null
fi

gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
[ -f build/fuzz/CMakeCache.txt ] ||
  cmake -S . -B build/fuzz "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKOLVANE_SANITIZE=ON -DKOLVANE_FUZZ=ON >/dev/null
# target binary : seed corpus under tests/data/crash
targets=(
  fuzz/options_stream_fuzz:options_stream
  fuzz_Map:fuzz/map
  fuzz_TD32:fuzz/td32
  fuzz_UL:fuzz/ul
  fuzz_DebugData:fuzz/cldata
)
names=()
for t in "${targets[@]}"; do names+=("$(basename "${t%%:*}")"); done
cmake --build build/fuzz --target "${names[@]}"

for t in "${targets[@]}"; do
  binary=build/fuzz/tests/${t%%:*} seeds=tests/data/crash/${t##*:}
  corpus=build/fuzz/corpus/$(basename "$binary")
  mkdir -p "$corpus"
  echo "== $(basename "$binary") (${seconds}s)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$binary" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 "$corpus" "$seeds" 2>&1 |
    tail -4
done
