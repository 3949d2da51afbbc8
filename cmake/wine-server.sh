#!/usr/bin/env bash
# Starts or stops the persistent wineserver of one build tree's prefix.
#   wine-server.sh start|stop PREFIX
# VORLEN_WINE is the Wine loader of the tree's word size, WINEARCH the
# prefix's architecture and VORLEN_WINESERVER Wine's server (the tree's
# wine-run sets them: `wine-run --host`; Debian's 64-bit ones otherwise).
# The server's output goes nowhere: CTest waits for every holder of a test's
# output pipe, and a daemon that kept it would hold the test open forever.
set -u
usage="usage: wine-server.sh start|stop PREFIX"
action=${1:?$usage}
export WINEPREFIX=${2:?$usage}
export VORLEN_WINE=${VORLEN_WINE:-/usr/lib/wine/wine64} WINEARCH=${WINEARCH:-win64}
server=${VORLEN_WINESERVER:-wineserver}
case $action in
  start)
    "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX" || exit 1
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
