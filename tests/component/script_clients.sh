#!/usr/bin/env bash
# Clients of the registered component that nobody here wrote, and the ones
# the README shows: registers the tree's VORLEN.dll with Wine's regsvr32, runs
# the VBScript and JScript tests under Wine's cscript, the README's VBScript
# example, and vorlen-convert.exe (with the stand-in converter beside it too);
# unregisters at the end.
# Usage: script_clients.sh BIN_DIR SOURCE_DIR   (VORLEN_EMULATOR runs Windows programs)
set -u -o pipefail
bin=$1 source=$2
run=${VORLEN_EMULATOR:?set by the test: runs Windows programs}
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
dll=$(windows "$bin/VORLEN.dll")
converter=$(windows "$bin/status_converter.exe")
work=$(mktemp -d)
trap 'rm -rf "$work"; "$run" regsvr32 /u /s "$dll" >/dev/null 2>&1' EXIT
export VORLEN_TEST_RECORD
VORLEN_TEST_RECORD=$(windows "$work/command-line.txt")
status=0
fail() { echo "FAIL: $*"; status=1; }

"$run" regsvr32 /s "$dll" || { echo "regsvr32 failed"; exit 1; }
tests=$source/tests/component
"$run" cscript //nologo "$(windows "$tests/script_client_test.vbs")" "$converter" \
  "$VORLEN_TEST_RECORD" || fail "the VBScript client"
"$run" cscript //nologo "$(windows "$tests/script_client_test.js")" "$converter" \
  "$VORLEN_TEST_RECORD" || fail "the JScript client"

# The README's VBScript example with the stand-in converter.
pdf=$(windows "$work/sample.pdf")
output=$("$run" cscript //nologo "$(windows "$source/examples/vorlen.vbs")" \
  "$(windows "$bin/vorlen.exe")" "$(windows "$source/examples/sample.html")" "$pdf" | tr -d '\r')
[ "$output" = "converted: $pdf" ] && [ -s "$work/sample.pdf" ] || fail "examples/vorlen.vbs: $output"

# vorlen-convert.exe: events printed as the native client prints them, exit codes.
output=$("$run" "$bin/vorlen-convert.exe" --converter "$converter" \
  'lines:msg|wrn|a.html:3|bad|thing\r\nmsg|err||x\r\nfin|success\r\n' | tr -d '\r')
code=$?
[ "$code" = 0 ] && [ "$output" = $'wrn a.html:3: bad|thing\nerr x' ] ||
  fail "vorlen-convert.exe printed (exit $code): $output"
"$run" "$bin/vorlen-convert.exe" --converter "$converter" 'lines:fin|failure\r\n'
code=$?
[ "$code" = 1 ] || fail "vorlen-convert.exe on failure: exit $code"
output=$("$run" "$bin/vorlen-convert.exe" --converter "$converter" 'lines:msg|ab\r\n' 2>&1 |
  tr -d '\r')
code=$?
[ "$code" = 3 ] && [ "$output" = "vorlen-convert: error 5: Invalid procedure call or argument" ] ||
  fail "vorlen-convert.exe on error 5 (exit $code): $output"

# Batch converters through the registered DLL, in folders that the system
# itself would not start them from: with a blank (Windows would hand cmd the
# line without quotes of its own, and cmd would take its first and last quote
# off) and with a letter that code page 1252 lacks (the system would hand cmd
# the line's ANSI copy). Each converts and reports the path it runs as.
# Wine's +process channel shows what CreateProcessW was given: the system's
# cmd.exe, with /d, and the batch file's exact path in quotes (Wine writes
# backslashes and quotes escaped, other characters as \XXXX).
traced() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
interpreter='app L"C:\\windows\\system32\\cmd.exe" cmdline L"\"C:\\windows\\system32\\cmd.exe\"'
for pair in 'my tools|my tools' $'\xce\xa9mega tools|\\03a9mega tools'; do
  folder=${pair%%|*}
  mkdir -p "$work/$folder"
  printf '@echo off\r\necho msg^|inf^|%%~f0^|%%~2\r\necho fin^|success\r\n' >"$work/$folder/conv.cmd"
  output=$("$run" --host bash -c 'WINEDEBUG=+process exec "$VORLEN_WINE" "$@"' wine \
    "$bin/vorlen-convert.exe" --converter "$(windows "$work/$folder/conv.cmd")" in.xml \
    2>"$work/trace.txt" | tr -d '\r')
  code=$?
  [ "$code" = 0 ] && [[ "$output" == "inf Z:"*"tools\\conv.cmd: in.xml" ]] ||
    fail "batch converter in '$folder' (exit $code): $output"
  path="$(traced "$(windows "$work")")\\\\${pair#*|}\\\\conv.cmd"
  grep -aqiF "$interpreter /d /e:on /v:off /s /c \\\"\\\"$path\\\" --server \\\"in.xml\\\"\\\"\"" \
    "$work/trace.txt" || fail "batch converter in '$folder': not started as cmd.exe /d with its path"
done

# Alerts reach standard error, one masked line each, and no box waits for a
# click: a box left open would hang here until the timeout ends the run.
output=$(timeout -k 5 120 "$run" "$bin/vorlen-convert.exe" --converter 'Z:\no\such\vorlen.exe' \
  --key-bits 40 --user-password 's3cret-u' --owner-password 's3cret-o' in.xml 2>&1 >/dev/null |
  tr -d '\r')
code=$?
[ "$code" = 1 ] && [ "$(wc -l <<<"$output")" = 1 ] && [[ "$output" != *s3cret* ]] &&
  [[ "$output" == 'Could not start the vorlen.exe program: '*'--user-password="***" --owner-password="***" "in.xml"' ]] ||
  fail "vorlen-convert.exe on a converter that cannot start (exit $code): $output"

# Without --converter it takes the vorlen.exe beside itself. That converter
# cannot encrypt: no PDF, not even an earlier one, and not converted.
echo '%PDF-1.4 from an earlier run' >"$work/e.pdf"
output=$(env -u VORLEN_CONVERTER timeout -k 5 120 "$run" "$bin/vorlen-convert.exe" --html \
  --key-bits 128 --user-password u --owner-password o "$(windows "$source/examples/sample.html")" \
  "$(windows "$work/e.pdf")" 2>&1 | tr -d '\r')
code=$?
[ "$code" = 1 ] && [[ "$output" == *"e.pdf: encryption is not supported: no PDF is written"* ]] &&
  [ ! -e "$work/e.pdf" ] || fail "vorlen-convert.exe asked to encrypt (exit $code): $output"

[ $status -eq 0 ] && echo "script clients: ok"
exit $status
