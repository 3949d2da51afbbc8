#!/usr/bin/env bash
# Tells whether 32-bit programs run here.
#   probe-32bit.sh          the kernel runs 32-bit programs (natively, or
#                           through a binfmt_misc entry: cmake/qemu-i386.sh)
#   probe-32bit.sh PREFIX   ... and 32-bit Wine runs in PREFIX: an existing
#                           prefix (32-bit or WoW64) is used as it is; where
#                           none exists, a 32-bit one is created
# Exits 0 when they do; otherwise prints one line with the reason and exits 1.
# VORLEN_NO_32BIT=1 makes it answer no, to try the skipped path. VORLEN_WINE32
# is the 32-bit Wine loader (a build tree's wine-run and tests set it).
#
# An exit code of 0 proves nothing: where the kernel refuses 32-bit code, Wine
# falls back to a mode whose 32-bit processes can end with 0 having done
# nothing. Each step therefore checks an exit code that only a real run gives.
set -u
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:-}

if [ "${VORLEN_NO_32BIT:-0}" = 1 ]; then
  echo "32-bit runs switched off (VORLEN_NO_32BIT=1)"
  exit 1
fi

# A static i386 program that exits with 42, made with binutils alone: it needs
# no i386 libraries, only a kernel that runs 32-bit code.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' >"$work/exit42.s"
if ! as --32 -o "$work/exit42.o" "$work/exit42.s" 2>/dev/null ||
  ! ld -m elf_i386 -o "$work/exit42" "$work/exit42.o" 2>/dev/null; then
  echo "cannot build the 32-bit probe (binutils with i386 support missing)"
  exit 1
fi
"$work/exit42" 2>/dev/null
if [ $? -ne 42 ]; then
  echo "this machine's kernel runs no 32-bit programs"
  exit 1
fi
[ -z "$prefix" ] && exit 0

# Wine refuses a relative prefix.
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac
wine=${VORLEN_WINE32:-/usr/lib/wine/wine}
if [ ! -x "$wine" ]; then
  echo "32-bit Wine is missing ($wine; make setup puts it into the Wine root)"
  exit 1
fi
# A prefix that exists keeps its architecture: Wine refuses WINEARCH=win32 for
# a WoW64 one, whose 32-bit programs live in syswow64.
cmd='C:\windows\system32\cmd.exe'
if [ -f "$prefix/system.reg" ]; then
  [ -d "$prefix/drive_c/windows/syswow64" ] && cmd='C:\windows\syswow64\cmd.exe'
else
  VORLEN_WINE=$wine WINEARCH=win32 "$here/wine-prefix.sh" prepare "$prefix" || {
    echo "cannot prepare the 32-bit Wine prefix $prefix"
    exit 1
  }
fi
WINEPREFIX=$prefix WINEDEBUG=-all "$wine" "$cmd" /c exit 7 </dev/null >/dev/null 2>&1
status=$?
if [ $status -ne 7 ]; then
  echo "32-bit Wine does not run programs in $prefix (cmd /c exit 7 gave $status)"
  exit 1
fi
exit 0
