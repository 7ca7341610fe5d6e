#!/usr/bin/env bash
# Fuzzes the crash component's options stream reader with libFuzzer under AddressSanitizer and
# UBSan (native build with clang), starting from the committed seed corpus.
# Usage: scripts/fuzz.sh [seconds, default 60]
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
cmake --build build/fuzz --target options_stream_fuzz

corpus=build/fuzz/corpus/options_stream
mkdir -p "$corpus"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build/fuzz/tests/fuzz/options_stream_fuzz -max_total_time="$seconds" -max_len=65536 \
  -print_final_stats=1 "$corpus" tests/data/crash/options_stream
