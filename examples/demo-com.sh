#!/usr/bin/env bash
# The demo: first the native part (examples/demo.sh), then the component
# itself. Registers the 64-bit VORLEN.dll with regsvr32, converts
# examples/sample.html through it with the stand-in vorlen.exe
# (vorlen-convert.exe is a COM client of the registered class), prints the
# Message events and the PDF's path, and renders the first page to PNG when
# pdftoppm is present.
# It runs under the host's 64-bit Wine (`make demo` installs Debian's wine64),
# in a prefix of its own: the tests' Wine lives in a private root that only
# `make test` makes, and each Wine keeps its own prefixes.
set -eu -o pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}

bash "$root/examples/demo.sh" "$build"
echo

case $build in /*) ;; *) build=$root/$build ;; esac
tree=$build/win64
prefix=$tree/demo/wineprefix
export VORLEN_WINE=/usr/lib/wine/wine64 VORLEN_WINESERVER=/usr/lib/wine/wineserver WINEARCH=win64
run() { WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$VORLEN_WINE" "$@"; }
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

bash "$root/cmake/wine-prefix.sh" prepare "$prefix"
mkdir -p "$tree/demo"
pdf=$tree/demo/sample.pdf
rm -f "$pdf"

echo "== registering $(windows "$tree/bin/VORLEN.dll")"
run regsvr32 /s "$(windows "$tree/bin/VORLEN.dll")"
echo "== converting examples/sample.html through VorlenCOM.Vorlen (events follow)"
status=0
run "$tree/bin/vorlen-convert.exe" --converter "$(windows "$tree/bin/vorlen.exe")" \
  --style-sheet "$(windows "$root/examples/sample.css")" --html \
  "$(windows "$root/examples/sample.html")" "$(windows "$pdf")" | tr -d '\r' || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$pdf" ]; then
  echo "conversion failed (exit $status)" >&2
  exit 1
fi
echo "== PDF: $pdf"
if command -v pdftoppm >/dev/null; then
  pdftoppm -png -r 72 -f 1 -l 1 -singlefile "$pdf" "$tree/demo/sample"
  echo "== first page: $tree/demo/sample.png"
fi
