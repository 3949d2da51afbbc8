#!/usr/bin/env bash
# vorlen-convert runs conversions: events on standard output, alerts on
# standard error, exit code 0 / 1 / 3 for converted / not converted / error.
#   client_test.sh VORLEN_CONVERT SCRIPT_CONVERTER WORKDIR
set -u
client=$1 converter=$2 work=$3
mkdir -p "$work"
fail=0
check() {  # name expected-code expected-stdout expected-stderr-substring scenario
  local out err code
  out=$("$client" --converter "$converter" "scenario:$5" 2>"$work/err")
  code=$?
  err=$(cat "$work/err")
  if [ "$code" != "$2" ] || [ "$out" != "$3" ] || [[ "$err" != *"$4"* ]]; then
    echo "FAIL $1: code $code, stdout [$out], stderr [$err]"
    fail=1
  fi
}
check success 0 $'wrn a.html:3: bad|thing' '' 'o=msg|wrn|a.html:3|bad|thing\r\nfin|success\r\n'
check failure 1 $'err x: no' '' 'o=msg|err|x|no\r\n;o=fin|failure\r\n'
check no-fin 1 '' 'retV = 0' 'x=0'
check unknown-fin 1 '' 'unknown Fin value!' 'o=fin|Success\r\n'
check error-5 3 $'inf l: before' 'error 5' 'o=msg|inf|l|before\r\nab\r\n'
out=$("$client" --converter "$work/no-such-vorlen" in.xml 2>&1)
[ $? = 1 ] && [[ "$out" == *"Could not start the vorlen.exe program: $work/no-such-vorlen --server \"in.xml\""* ]] ||
  { echo "FAIL start: $out"; fail=1; }
# Standard error ends up in logs: the start alert there carries no password.
out=$("$client" --converter "$work/no-such-vorlen" --key-bits 40 --user-password 's3cret "u"' \
  --owner-password 's3cret-o\' in.xml 2>&1)
[ $? = 1 ] && [[ "$out" == *'--user-password="***" --owner-password="***" "in.xml"'* ]] &&
  [[ "$out" != *s3cret* ]] || { echo "FAIL masked: $out"; fail=1; }
exit $fail
