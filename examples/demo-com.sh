#!/usr/bin/env bash
# The demo: first the native part (examples/demo.sh), then the component
# itself. Registers the 64-bit VORLEN.dll in the win64 tree's Wine prefix with
# regsvr32, converts examples/sample.html through it with the stand-in
# vorlen.exe (vorlen-convert.exe is a COM client of the registered class),
# prints the Message events and the PDF's path, and renders the first page to
# PNG when pdftoppm is present.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}

bash "$root/examples/demo.sh" "$build"
echo

case $build in /*) ;; *) build=$root/$build ;; esac
tree=$build/win64
run=$tree/wine-run
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

"$run" --host "$root/cmake/wine-prefix.sh" prepare "$tree/wineprefix"
mkdir -p "$tree/demo"
pdf=$tree/demo/sample.pdf
rm -f "$pdf"

echo "== registering $(windows "$tree/bin/VORLEN.dll")"
"$run" regsvr32 /s "$(windows "$tree/bin/VORLEN.dll")"
echo "== converting examples/sample.html through VorlenCOM.Vorlen (events follow)"
status=0
"$run" "$tree/bin/vorlen-convert.exe" --converter "$(windows "$tree/bin/vorlen.exe")" \
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
