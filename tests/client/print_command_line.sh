#!/usr/bin/env bash
# vorlen-convert --print-command-line prints the converter's command line as
# UTF-8, on one line, for the documented examples.
set -u
client=${1:?usage: print_command_line.sh VORLEN_CONVERT}
failures=0
expect() {
  local want=$1; shift
  local got
  got=$("$client" --print-command-line "$@")
  if [ "$got" != "$want" ]; then
    printf 'FAIL: %s\n  want: %s\n  got:  %s\n' "$*" "$want" "$got"
    failures=$((failures + 1))
  fi
}
expect 'C:\bin\vorlen.exe --server -s "a.css" -i html "in.html" "out.pdf"' \
  --converter 'C:\bin\vorlen.exe' --style-sheet a.css --html in.html out.pdf
expect 'C:\bin\vorlen.exe --server "in.xml"' --converter 'C:\bin\vorlen.exe' in.xml
expect 'v --server --encrypt  --key-bits  128 --user-password="u" --owner-password="o" --disallow-print --disallow-copy "in.xml"' \
  --converter v --key-bits 128 --user-password u --owner-password o --disallow print --disallow copy in.xml
expect 'v --server "Grüße dir/é.xml" "日本.pdf"' --converter v 'Grüße dir/é.xml' '日本.pdf'
"$client" --bogus in 2>/dev/null; [ $? -eq 2 ] || { echo "FAIL: usage error must exit 2"; failures=$((failures + 1)); }
[ $failures -eq 0 ] && echo "print_command_line: all passed"
exit $failures
