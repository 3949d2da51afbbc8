#!/usr/bin/env bash
# Runs CTest in each named tree and ends with one summary: a line per tree
# with its counts, then the total. The win32 tree runs under 32-bit Wine, and
# the win64 tree's installer tests have 32-bit halves. 32-bit programs run
# natively where the kernel runs them, and otherwise through qemu-i386
# (cmake/qemu-i386.sh); VORLEN_32BIT_ROUTE=qemu takes that route anyway.
# Where neither route works the win32 tree is skipped with its reason, and
# every 32-bit step that does not run says "skipped (32-bit)": the summary
# counts those lines per tree.
# A Windows tree runs each failing test a second time: a Wine process that
# meets its server at the wrong moment can end at once, silent, before the
# program runs. A test that passes only on its second run still counts as
# passed, but the summary names it, so a real intermittent fault stays in
# sight.
set -u
mkdir -p "$1"
build=$(cd "$1" && pwd); shift
here=$(cd "$(dirname "$0")" && pwd)

# How 32-bit programs run here: in32 is the command that runs a Windows
# tree's tests so that they can.
in32=() route="" no32=""
case " $* " in *" win32 "* | *" win64 "*)
  if [ "${VORLEN_NO_32BIT:-0}" != 1 ] && [ "${VORLEN_32BIT_ROUTE:-}" != qemu ] &&
    bash "$here/probe-32bit.sh" >/dev/null; then
    route=", native"
  elif [ "${VORLEN_NO_32BIT:-0}" = 1 ]; then
    no32=$(bash "$here/probe-32bit.sh")
  elif version=$(bash "$here/qemu-i386.sh" fetch "$build/qemu"); then
    in32=(bash "$here/qemu-i386.sh" run "$build/qemu")
    route=" via qemu-i386 $version"
  else
    no32="the kernel runs no 32-bit programs, and qemu-i386 could not be had"
  fi ;;
esac

passed=0 failed=0 status=0
summary=()
for tree in "$@"; do
  echo "== tests: $tree"
  label=$tree
  if [ "$tree" = win32 ]; then
    label="win32 (32-bit Wine$route)"
    if [ -n "$no32" ]; then
      reason=$no32
    else
      reason=$("${in32[@]}" bash "$here/probe-32bit.sh" "$build/win32/wineprefix")
    fi
    if [ -n "$reason" ]; then
      echo "$label: SKIPPED, $reason"
      summary+=("$label: SKIPPED, $reason")
      summary+=("  (the 32-bit steps of the win64 tree's installer tests are skipped for the same reason)")
      continue
    fi
  fi
  log=$(mktemp)
  repeat=() wrap=()
  case $tree in win32 | win64) repeat=(--repeat until-pass:2) wrap=("${in32[@]}") ;; esac
  (cd "$build/$tree" && "${wrap[@]}" ctest --output-on-failure --timeout 900 "${repeat[@]}") 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad)); failed=$((failed + bad))
    # Passing tests' output is only in CTest's log.
    skipped=$(grep -h '^skipped (32-bit)' "$build/$tree/Testing/Temporary/LastTest"*.log 2>/dev/null | sort -u | wc -l)
    line="$label: $((total - bad)) passed, $bad failed"
    [ "$skipped" = 0 ] || line+=", $skipped steps skipped (32-bit)"
    summary+=("$line")
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
