#!/usr/bin/env bash
# Builds the protocol fuzzer with clang in BUILD/fuzz and runs it for SECONDS.
#   cmake/fuzz.sh BUILD SECONDS
# A missing clang or libFuzzer runtime fails the run: `make setup` installs
# them. The corpus is kept in BUILD/fuzz/corpus from one run to the next.
set -eu
build=$1 seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
tree=$build/fuzz

clang=$(command -v clang++ || true)
runtime=$(ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null | head -n 1)
if [ -z "$clang" ] || [ -z "$runtime" ]; then
  echo "fuzz: clang++ with libFuzzer is missing (make setup installs clang and libclang-rt-14-dev)" >&2
  exit 1
fi

echo "== fuzz: protocol_fuzzer for ${seconds}s"
cmake -S "$root/tests/fuzz" -B "$tree" -DCMAKE_CXX_COMPILER="$clang" -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$tree" -j2 >/dev/null
mkdir -p "$tree/corpus" "$tree/artifacts"
log=$tree/last-run.log
status=0
(cd "$tree" && ASAN_OPTIONS=detect_leaks=1 ./protocol_fuzzer -max_total_time="$seconds" \
  -max_len=4096 -timeout=10 -rss_limit_mb=2048 -dict="$root/tests/fuzz/protocol.dict" \
  -artifact_prefix=artifacts/ -print_final_stats=1 corpus) >"$log" 2>&1 || status=$?
grep -E '^(stat::|divergence:|==[0-9]+==ERROR|SUMMARY|Done )' "$log" || true
grep -E '#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
if [ "$status" -ne 0 ]; then
  echo "fuzz: FAILED (exit $status); log $log, reproducer in $tree/artifacts" >&2
  tail -n 30 "$log" >&2
  exit 1
fi
echo "fuzz: no divergence ($log)"
