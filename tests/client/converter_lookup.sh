#!/usr/bin/env bash
# Without --converter, the native vorlen-convert takes VORLEN_CONVERTER, then a
# `vorlen` beside itself, then the first `vorlen` on PATH; --converter wins.
set -u
client=${1:?usage: converter_lookup.sh VORLEN_CONVERT}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/alone" "$work/path1" "$work/path2"
cp "$client" "$work/alone/vorlen-convert"
for d in "$work/path1" "$work/path2"; do printf '#!/bin/sh\n' >"$d/vorlen" && chmod +x "$d/vorlen"; done
failures=0
expect() {  # WANT CLIENT [env assignments...]
  local want=$1 program=$2; shift 2
  local got
  got=$(env "$@" "$program" --print-command-line in.xml)
  [ "$got" = "$want --server \"in.xml\"" ] || { echo "FAIL: $*: $got"; failures=$((failures + 1)); }
}
expect /named/vorlen "$client" VORLEN_CONVERTER=/named/vorlen PATH="$work/path1"
expect "$(dirname "$client")/vorlen" "$client" -u VORLEN_CONVERTER PATH="$work/path1"
expect "$work/path1/vorlen" "$work/alone/vorlen-convert" -u VORLEN_CONVERTER PATH="$work/path1:$work/path2"
got=$(VORLEN_CONVERTER=/named/vorlen "$client" --converter given --print-command-line in.xml)
[ "$got" = 'given --server "in.xml"' ] || { echo "FAIL: --converter: $got"; failures=$((failures + 1)); }
[ $failures -eq 0 ] && echo "converter lookup: all passed"
exit $failures
