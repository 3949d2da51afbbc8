#!/usr/bin/env bash
# The build step tlbfix refuses what it cannot finish safely: a type info that
# is not a dispinterface, a name that the library lacks, a file that is no
# MSFT library or is cut short, a malformed version. (That it finishes __Vorlen correctly is
# proved by reading the embedded library back: component_typelib_tests.)
# Usage: tlbfix_test.sh TLBFIX WIDL_TLB IDL
set -u
tlbfix=$1 library=$2 idl=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect CODE ARGS...
  local code=$1
  shift
  "$tlbfix" "$@" 2>"$work/err"
  local got=$?
  [ "$got" = "$code" ] || { echo "FAIL: tlbfix $* gave $got, not $code: $(cat "$work/err")"; failures=$((failures + 1)); }
}
expect 0 "$library" "$work/ok.tlb" __Vorlen 1.0
[ "$(wc -c <"$work/ok.tlb")" = "$(wc -c <"$library")" ] || { echo "FAIL: size changed"; failures=$((failures + 1)); }
expect 1 "$library" "$work/x.tlb" Vorlen 1.0
expect 1 "$library" "$work/x.tlb" _Nope 1.0
expect 1 "$idl" "$work/x.tlb" __Vorlen 1.0
expect 1 "$work/missing.tlb" "$work/x.tlb" __Vorlen 1.0
head -c 200 "$library" >"$work/truncated.tlb"
expect 1 "$work/truncated.tlb" "$work/x.tlb" __Vorlen 1.0
expect 2 "$library" "$work/x.tlb" __Vorlen 1
expect 2 "$library" "$work/x.tlb" __Vorlen
[ ! -e "$work/x.tlb" ] || { echo "FAIL: a refused run wrote its output"; failures=$((failures + 1)); }
[ $failures -eq 0 ] && echo "tlbfix: ok"
exit $((failures > 0))
