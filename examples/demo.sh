#!/usr/bin/env bash
# The demo: converts the sample document with the stand-in converter through
# the native library, printing each Message event, and says where the PDF is.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
case $build in /*) ;; *) build=$root/$build ;; esac
bin=$build/linux/bin
pdf=$build/sample.pdf
rm -f "$pdf"
echo "converting examples/sample.html with $bin/vorlen"
status=0
"$bin/vorlen-convert" --converter "$bin/vorlen" --style-sheet "$root/examples/sample.css" --html \
  "$root/examples/sample.html" "$pdf" || status=$?
if [ "$status" -ne 0 ]; then
  echo "the conversion failed (vorlen-convert exit code $status)" >&2
  exit "$status"
fi
echo "PDF written: $pdf ($(wc -c <"$pdf") bytes)"
