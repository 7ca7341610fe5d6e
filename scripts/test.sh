#!/usr/bin/env bash
# Builds Kolvane natively (ASan + UBSan) and for 32-bit Windows, and runs every test: the native
# ones directly, the Windows ones under Wine with the Japanese locale (ANSI code page 932).
# Exit status is non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)

echo "== native build (AddressSanitizer, UBSan)"
[ -f build/native/CMakeCache.txt ] ||
  cmake -S . -B build/native "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLVANE_SANITIZE=ON >/dev/null
cmake --build build/native -j "$jobs"
echo "== native tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/native --output-on-failure -j "$jobs"

echo "== Windows build (i686, MinGW-w64)"
[ -f build/win32/CMakeCache.txt ] ||
  cmake -S . -B build/win32 "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    --toolchain "$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build build/win32 -j "$jobs"

echo "== Windows tests under Wine"
exec bash scripts/test-windows.sh
