#!/usr/bin/env bash
# Tells whether this machine runs 32-bit Windows code: exit 0 when it does,
# otherwise one line saying why and a non-zero exit. Given a Wine prefix, it
# also asks 32-bit Wine to round-trip an exit code there.
#   probe-32bit.sh [PREFIX]      VORLEN_NO_32BIT=1 forces "no"
set -u
no() { echo "no 32-bit code here: $*"; exit 1; }
[ "${VORLEN_NO_32BIT:-0}" = 1 ] && no "VORLEN_NO_32BIT=1"
wine32=${VORLEN_WINE32:-/usr/lib/wine/wine}
[ -x "$wine32" ] || no "$wine32 is missing (install wine32:i386)"
# The loader of 32-bit programs fails at once where the kernel has no 32-bit
# emulation.
/lib/ld-linux.so.2 --help >/dev/null 2>&1 || no "the kernel does not run 32-bit programs"
[ $# -eq 0 ] && exit 0
WINEPREFIX=$1 WINEDEBUG=-all "$wine32" cmd /c exit 7 </dev/null >/dev/null 2>&1
code=$?
[ $code -eq 7 ] || no "32-bit Wine in $1 answered $code instead of 7"
exit 0
