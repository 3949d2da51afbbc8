#!/usr/bin/env bash
# A build tree's Wine prefix and its persistent wineserver. `prepare` makes the
# prefix once (safe to run concurrently) with the null graphics driver, so that
# message boxes block as on Windows and tests can read and dismiss them, and
# reporting Windows 10, as users' machines do (a new prefix of Wine 8 reports
# Windows 7); `start`
# prepares it and keeps one server up; `stop` stops that. The tree's wine-run
# sets VORLEN_WINE (the loader of its word size), WINEARCH and VORLEN_WINESERVER
# (`wine-run --host`); Debian's 64-bit ones otherwise.
# The server's output goes nowhere: CTest waits for every holder of a test's
# output pipe, and a daemon that kept it would hold the test open forever.
set -u
usage="usage: wine-prefix.sh prepare|start|stop PREFIX"
action=${1:?$usage}
export WINEPREFIX=${2:?$usage} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export VORLEN_WINE=${VORLEN_WINE:-/usr/lib/wine/wine64} WINEARCH=${WINEARCH:-win64}
server=${VORLEN_WINESERVER:-/usr/lib/wine/wineserver}

prepare() (
  mkdir -p "$WINEPREFIX" && exec 9>"$WINEPREFIX.lock" && flock 9 || exit 1
  if [ ! -f "$WINEPREFIX/.vorlen-ready-win10" ]; then
    "$VORLEN_WINE" wineboot -i >/dev/null 2>&1 || exit 1
    "$VORLEN_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || exit 1
    "$VORLEN_WINE" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1 || exit 1
    # The first session after the driver change still answers -1 from MessageBox.
    "$server" -k 2>/dev/null || true
    "$server" -w 2>/dev/null || true
    touch "$WINEPREFIX/.vorlen-ready-win10"
  fi
)

case $action in
  prepare) prepare || exit 1 ;;
  start)
    prepare || exit 1
    # Fails harmlessly when a server for this prefix already runs.
    "$server" -p </dev/null >/dev/null 2>&1 || true
    # The first program of a session also starts Wine's own services, which
    # stay as long as the server does: start them here, away from any test's
    # output pipe.
    "$VORLEN_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true ;;
  stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true ;;
esac
exit 0
