#!/usr/bin/env bash
# Runs CTest in each named tree and ends with one summary: a line per tree
# with its counts, then the total. The win32 tree runs under 32-bit Wine, and
# the win64 tree's installer tests have 32-bit halves. 32-bit programs run
# natively where the kernel runs them, and otherwise through qemu-i386
# (cmake/qemu-i386.sh); VORLEN_32BIT_ROUTE=qemu takes that route anyway.
# Where neither route works the win32 tree is skipped with its reason, and
# every 32-bit step that does not run says "skipped (32-bit)": the summary
# counts those lines per tree. The counts come from CTest's JUnit files.
# With the win64 tree, the .NET and PowerShell 7 clients follow, a summary
# line each (tests/dotnet/run.sh).
# A Windows tree runs its failed tests a second time: a Wine process that
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

# Each test of a JUnit file with "passed" or "failed": as in CTest's own count,
# a test that skipped itself (SKIP_RETURN_CODE) passes, one that could not run fails.
results() {
  awk -F'"' '/<testcase / { if (n) print n, s; n = $2; s = /status="run"/ ? "passed" : "failed" }
    /<skipped message="SKIP_/ { s = "passed" } END { if (n) print n, s }' "$1" 2>/dev/null
}

passed=0 failed=0 status=0
summary=()
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tree in "$@"; do
  echo "== tests: $tree"
  label=$tree
  if [ "$tree" = win32 ]; then
    label="win32 (32-bit Wine$route)"
    if [ -n "$no32" ]; then
      reason=$no32
    else
      reason=$("${in32[@]}" "$build/win32/wine-run" --host bash "$here/probe-32bit.sh" "$build/win32/wineprefix")
    fi
    if [ -n "$reason" ]; then
      echo "$label: SKIPPED, $reason"
      summary+=("$label: SKIPPED, $reason")
      summary+=("  (the 32-bit steps of the win64 tree's installer tests are skipped for the same reason)")
      continue
    fi
  fi
  # Passing tests' output too, whole: the skipped steps are counted in it.
  ctest=(ctest --output-on-failure --timeout 900 --test-output-size-passed 1000000 --test-output-size-failed 1000000)
  junit=$work/$tree.xml wrap=() again=""
  case $tree in win32 | win64) wrap=("${in32[@]}") again=1 ;; esac
  (cd "$build/$tree" && "${wrap[@]}" "${ctest[@]}" --output-junit "$junit")
  results "$junit" >"$work/first"
  if [ -n "$again" ] && grep -q ' failed$' "$work/first"; then
    echo "== tests: $tree, the failed ones again"
    (cd "$build/$tree" && "${wrap[@]}" "${ctest[@]}" --rerun-failed --output-junit "$junit.again")
  fi
  results "$junit.again" >"$work/second"
  if [ -s "$work/first" ]; then
    # The second run's verdict stands for the tests it ran.
    read -r total bad < <(awk '{ s[$1] = $2 } END { for (t in s) { n++; b += s[t] == "failed" } print n, b + 0 }' \
      "$work/first" "$work/second")
    passed=$((passed + total - bad)); failed=$((failed + bad))
    [ "$bad" = 0 ] || status=1
    skipped=$(sed -nE 's/^[[:space:]]*<system-out>//; /^skipped \(32-bit\)/p' "$junit"* | sort -u | wc -l)
    line="$label: $((total - bad)) passed, $bad failed"
    [ "$skipped" = 0 ] || line+=", $skipped steps skipped (32-bit)"
    summary+=("$line")
    retried=$(awk 'NR == FNR { if ($2 == "failed") failed[$1]; next } $2 == "passed" && $1 in failed { print $1 }' \
      "$work/first" "$work/second" | sort | tr '\n' ' ')
    [ -z "$retried" ] || summary+=("  passed only on a second run: ${retried% }")
  else
    status=1
    summary+=("$label: no CTest summary (see above)")
  fi
done
# The .NET and PowerShell 7 clients of the Windows trees' DLLs (tests/dotnet):
# a line each, skipped with its reason where the .NET SDK or 32-bit .NET
# cannot run.
case " $* " in *" win64 "*)
  for what in x64 x86 powershell; do
    label=".NET $what" tree=win64
    [ "$what" = x86 ] && tree=win32
    [ "$what" = powershell ] && label="PowerShell 7 (64-bit)"
    case " $* " in *" $tree "*) ;; *) continue ;; esac
    echo "== tests: $label"
    bash "$here/../tests/dotnet/run.sh" "$build" "$what" | tee "$work/dotnet-$what"
    last=$(tail -n 1 "$work/dotnet-$what")
    case $last in
      skipped:*) summary+=("$label: SKIPPED, ${last#skipped: }") ;;
      *" passed, "*" failed")
        read -r p _ f _ <<<"$last"
        passed=$((passed + p)) failed=$((failed + f))
        [ "$f" = 0 ] || status=1
        summary+=("$label: $last") ;;
      *) status=1 summary+=("$label: no summary (see above)") ;;
    esac
  done ;;
esac

echo
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
exit $status
