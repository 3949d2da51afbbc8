#!/usr/bin/env bash
# The .NET and PowerShell 7 clients of the registered component, under the
# Wine of a Windows build tree.
#   run.sh BUILD x64          C# clients against build/win64's VORLEN.dll
#   run.sh BUILD x86          the same, 32-bit, against build/win32's
#   run.sh BUILD powershell   PowerShell 7 runs the examples' scripts (64-bit)
# Prints one line per test ("ok: ..." or "FAIL: ..."), then "N passed, M
# failed"; or the one line "skipped: REASON" where the .NET SDK is missing.
# Packages come from NuGet at the versions that the lock files pin, restored
# once into BUILD/tools/nuget; the programs are published self-contained into
# BUILD/dotnet, again only when their inputs change. Each bitness has a Wine
# prefix of its own there, in which the DLL is registered for the run.
set -u -o pipefail
usage="usage: run.sh BUILD x64|x86|powershell"
[ $# = 2 ] || { echo "$usage" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
what=$2
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
command -v dotnet >/dev/null || { echo "skipped: no .NET SDK (dotnet) on this machine"; exit 0; }

case $what in
  x64 | powershell) tree=$build/win64 rid=win-x64 ;;
  x86) tree=$build/win32 rid=win-x86 ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
out=$build/dotnet/$what
export NUGET_PACKAGES=$build/tools/nuget
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1
mkdir -p "$out"

passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
finish() { echo "$passed passed, $failed failed"; [ "$failed" = 0 ]; exit; }
for file in "$tree/wine-run" "$tree/bin/VORLEN.dll"; do
  [ -e "$file" ] || { fail "no $file: build the ${tree##*/} tree first"; finish; }
done

# publish PROJECT NAME: the project, self-contained for this bitness, into
# $out/NAME, unless nothing that goes into it has changed since the last time.
publish() {
  local project=$1 target=$out/$2
  local stamp
  stamp=$( (dotnet --version && echo "$rid" &&
    find "$(dirname "$project")" "$here/Directory.Build.props" "$source/examples/dotnet" \
      \( -name bin -o -name obj \) -prune -o -type f \( -name '*.cs' -o -name '*.csproj' -o -name '*.json' -o -name '*.props' \) \
      -print0 | sort -z | xargs -0 sha256sum) | sha256sum)
  if [ -f "$target.stamp" ] && [ "$(cat "$target.stamp")" = "$stamp" ]; then return 0; fi
  rm -rf "$target" "$target.stamp"
  # What the build makes stays in the build folder, not beside the sources.
  local objects=$build/dotnet/msbuild/$2
  if dotnet publish "$project" -c Release -r "$rid" -o "$target" -p:RestoreLockedMode=true \
    -p:BaseIntermediateOutputPath="$objects/obj/" -p:BaseOutputPath="$objects/bin/" >"$target.log" 2>&1; then
    echo "$stamp" >"$target.stamp"
  else
    tail -20 "$target.log"
    return 1
  fi
}

# 32-bit programs run natively where the kernel runs them, and otherwise
# through qemu-i386, as in cmake/run-tests.sh. The 32-bit runtime does not
# start there: qemu-i386 gives Wine's fault handler no trap number, so Wine
# turns every page fault into an illegal instruction, and the runtime relies
# on handling faults of its own. VORLEN_DOTNET_QEMU=1 tries anyway.
route=()
if [ "$what" = x86 ] && { [ "${VORLEN_32BIT_ROUTE:-}" = qemu ] || ! bash "$source/cmake/probe-32bit.sh" >/dev/null; }; then
  if [ "${VORLEN_DOTNET_QEMU:-0}" != 1 ]; then
    echo "skipped: 32-bit .NET does not run through qemu-i386 (Wine sees its page faults as illegal instructions)"
    exit 0
  fi
  bash "$source/cmake/qemu-i386.sh" fetch "$build/qemu" >/dev/null || { fail "qemu-i386 could not be had"; finish; }
  route=(bash "$source/cmake/qemu-i386.sh" run "$build/qemu")
fi
# The tree's Wine, in a prefix of our own so that registering here meets none
# of the tree's tests. Wine's mscoree stays on: its loader needs it for every
# managed DLL of a self-contained program (Wine Mono is never installed, as
# the prefix is made without it). A crashed program ends instead of waiting
# for winedbg.
prefix=$build/dotnet/wineprefix-${rid#win-}
host() { "${route[@]}" "$tree/wine-run" --host env WINEPREFIX="$prefix" "$@"; }
wine() { host WINEDLLOVERRIDES="mshtml=;winedbg.exe=d" bash -c 'exec "$VORLEN_WINE" "$@"' wine "$@"; }
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

dll=$(windows "$tree/bin/VORLEN.dll")
converter=$(windows "$tree/bin/status_converter.exe")
host bash "$source/cmake/wine-prefix.sh" start "$prefix" || { fail "the Wine prefix $prefix"; finish; }
work=$(mktemp -d)
trap 'wine regsvr32 /u /s "$dll" >/dev/null 2>&1; host bash "$source/cmake/wine-prefix.sh" stop "$prefix"; rm -rf "$work"' EXIT
wine regsvr32 /s "$dll" >/dev/null 2>&1 || { fail "regsvr32 $tree/bin/VORLEN.dll"; finish; }
export VORLEN_TEST_RECORD
VORLEN_TEST_RECORD=$(windows "$work/record.txt")
pdf=$(windows "$work/sample.pdf")
sample=$(windows "$source/examples/sample.html")
vorlen_exe=$(windows "$tree/bin/vorlen.exe")

# expect NAME CODE EXPECTED OUTPUT: a test of one program run.
expect() {
  if [ "$2" = "$3" ] && [ "$4" = "$5" ]; then pass "$1"; else fail "$1: exit $2, printed: $4"; fi
}

clients() {
  publish "$here/client/VorlenClientTests.csproj" client || { fail "publishing the C# clients for $rid"; return; }
  local output
  output=$(wine "$out/client/vorlen-dotnet-tests.exe" "$dll" "$converter" 2>&1 | tr -d '\r')
  printf '%s\n' "$output" | grep -v '^[0-9]* passed, [0-9]* failed$'
  local counts
  counts=$(printf '%s\n' "$output" | sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p')
  [ -n "$counts" ] || { fail "the C# clients ended without a summary"; return; }
  passed=$((passed + ${counts% *})) failed=$((failed + ${counts#* }))

  publish "$source/examples/dotnet/VorlenExample.csproj" example || { fail "publishing the C# example"; return; }
  local example=$out/example/vorlen-example.exe code
  output=$(wine "$example" "$vorlen_exe" "$sample" "$pdf" 2>&1 | tr -d '\r')
  code=$?
  [ -s "$work/sample.pdf" ] || output+=" (no PDF)"
  # The converter's own diagnostics come first.
  expect "examples/dotnet converts the sample" "$code" 0 "${output##*$'\n'}" "converted: $pdf"
  output=$(wine "$example" "$converter" 'lines:msg|wrn|a.html:3|bad|thing\r\nmsg|err||x\r\nfin|failure\r\n' "$pdf" 2>&1 | tr -d '\r')
  expect "examples/dotnet prints the events" $? 1 "$output" $'wrn a.html:3: bad|thing\nerr : x\nnot converted'
  output=$(wine "$example" "$converter" 'lines:msg|ab\r\n' "$pdf" 2>&1 | tr -d '\r')
  expect "examples/dotnet on error 5" $? 3 "$output" "error 5: Invalid procedure call or argument"
}

powershell() {
  publish "$here/powershell/VorlenPowerShell.csproj" pwsh || { fail "publishing the PowerShell host"; return; }
  pwsh() { wine "$out/pwsh/vorlen-pwsh.exe" "$@" 2>&1 | tr -d '\r'; }
  local script output
  script=$(windows "$source/examples/vorlen.ps1")
  rm -f "$work/sample.pdf"
  output=$(pwsh -File "$script" "$vorlen_exe" "$sample" "$pdf")
  local code=$?
  [ -s "$work/sample.pdf" ] || output+=" (no PDF)"
  expect "examples/vorlen.ps1 converts the sample" "$code" 0 "$output" "converted: $pdf"
  output=$(pwsh -File "$script" "$converter" 'lines:fin|failure\r\n' "$pdf")
  expect "examples/vorlen.ps1 on a failed run" $? 1 "$output" "not converted"
  output=$(pwsh -File "$script" "$converter" 'lines:msg|ab\r\n' "$pdf")
  expect "examples/vorlen.ps1 on error 5" $? 3 "$output" "error 5: Invalid procedure call or argument"
  output=$(pwsh -File "$(windows "$source/examples/vorlen-events.ps1")" "$converter" \
    'lines:msg|wrn|a.html:3|bad|thing\r\nmsg|err||x\r\nfin|success\r\n' "$pdf")
  expect "examples/vorlen-events.ps1" $? 0 "$output" $'wrn a.html:3: bad|thing\nerr : x\nconverted: '"$pdf"
}

case $what in
  powershell) powershell ;;
  *) clients ;;
esac
finish
