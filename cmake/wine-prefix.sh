#!/usr/bin/env bash
# Prepares the Wine prefix of one build tree, once: a prefix of the tree's word
# size (VORLEN_WINE is its loader, WINEARCH win64 or win32, VORLEN_WINESERVER
# Wine's server) whose graphics driver is null, so that message boxes block as they do on Windows and tests
# can read and dismiss them. Safe to run concurrently and repeatedly.
set -eu
prefix=${1:?usage: wine-prefix.sh PREFIX}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=${WINEARCH:-win64}
wine=${VORLEN_WINE:-/usr/lib/wine/wine64} server=${VORLEN_WINESERVER:-wineserver}
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.vorlen-ready" ]; then
  "$wine" wineboot -i >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # The first session after the driver change still answers -1 from MessageBox.
  "$server" -k 2>/dev/null || true
  "$server" -w 2>/dev/null || true
  touch "$prefix/.vorlen-ready"
fi
