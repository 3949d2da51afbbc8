#!/usr/bin/env bash
# Runs CTest in each named tree and ends with one summary: a line per tree
# with its counts, then the total. The win32 tree runs under 32-bit Wine only
# where cmake/probe-32bit.sh says this machine can; otherwise it is skipped
# with its reason in the summary.
# A Windows tree runs each failing test a second time: a Wine process that
# meets its server at the wrong moment can end at once, silent, before the
# program runs. A test that passes only on its second run still counts as
# passed, but the summary names it, so a real intermittent fault stays in
# sight.
set -u
build=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
passed=0 failed=0 status=0
summary=()
for tree in "$@"; do
  echo "== tests: $tree"
  label=$tree
  if [ "$tree" = win32 ]; then
    label="win32 (32-bit Wine)"
    if ! reason=$(bash "$here/probe-32bit.sh" "$build/win32/wineprefix"); then
      echo "$label: SKIPPED, $reason"
      summary+=("$label: SKIPPED, $reason")
      summary+=("  (the 32-bit steps of the win64 tree's installer tests are skipped for the same reason)")
      continue
    fi
  fi
  log=$(mktemp)
  repeat=()
  case $tree in win32 | win64) repeat=(--repeat until-pass:2) ;; esac
  (cd "$build/$tree" && ctest --output-on-failure --timeout 900 "${repeat[@]}") 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad)); failed=$((failed + bad))
    summary+=("$label: $((total - bad)) passed, $bad failed")
    # A test whose first run failed and that is not among the final failures.
    retried=$(comm -23 <(sed -nE 's/.*Test +#[0-9]+: ([^ ]+) \.+\*\*\*.*/\1/p' "$log" | sort -u) \
      <(sed -nE 's/^\s+[0-9]+ - ([^ ]+) \(.*/\1/p' "$log" | sort -u) | tr '\n' ' ')
    [ -z "$retried" ] || summary+=("  passed only on a second run: ${retried% }")
  else
    status=1
    summary+=("$label: no CTest summary (see above)")
  fi
  rm -f "$log"
done
echo
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
exit $status
