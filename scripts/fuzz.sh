#!/usr/bin/env bash
# Fuzzes the readers of outside input with libFuzzer under AddressSanitizer and UBSan (native
# build with clang), each target starting from its committed seed corpus (copied, never changed):
# the crash component's options stream and debug-data readers (.map, TD32, UL, stored debug data),
# its DNS reply and SMTP reply-code readers, the stored log file and the XML form of its reports,
# the HTTP and FTP reply checks and redirect targets, the trackers' pages (alone and as the
# tracker clients read them), the WinCGI request file and zip extraction;
# the CSV load from raw bytes, the INI files, comma and sort-condition text, the command line.
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
# target binary : seed corpus (under tests/data/crash unless a path from tests/)
targets=(
  fuzz/options_stream_fuzz:options_stream
  fuzz_Map:fuzz/map
  fuzz_TD32:fuzz/td32
  fuzz_UL:fuzz/ul
  fuzz_DebugData:fuzz/cldata
  fuzz_DnsReply:fuzz/dns_reply
  fuzz_SmtpReply:fuzz/smtp_reply
  fuzz_LogFile:fuzz/log_file
  fuzz_LogXML:fuzz/log_xml
  fuzz_WebReplies:fuzz/web_replies
  fuzz_WebForms:fuzz/web_forms
  fuzz_TrackerPages:fuzz/tracker_pages
  fuzz_WinCGIRequest:fuzz/wincgi_request
  fuzz_ZipExtraction:fuzz/zip
  fuzz/csv_load_fuzz:tests/data/fuzz/csv_load
  fuzz/ini_file_fuzz:tests/data/fuzz/ini_file
  fuzz/comma_text_fuzz:tests/data/fuzz/comma_text
  fuzz/command_line_fuzz:tests/data/fuzz/command_line
)
names=()
for t in "${targets[@]}"; do names+=("$(basename "${t%%:*}")"); done
cmake --build build/fuzz --target "${names[@]}"

for t in "${targets[@]}"; do
  binary=build/fuzz/tests/${t%%:*} seeds=${t##*:}
  # Seeds named by a folder of their own; the crash component's lie under tests/data/crash.
  [[ $seeds == tests/* ]] || seeds=tests/data/crash/$seeds
  corpus=build/fuzz/corpus/$(basename "$binary")
  mkdir -p "$corpus"
  echo "== $(basename "$binary") (${seconds}s)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$binary" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 "$corpus" "$seeds" 2>&1 |
    tail -4
done
