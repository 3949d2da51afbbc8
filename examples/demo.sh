#!/usr/bin/env bash
# The main job: shows the converter command line that a configured object
# builds for the sample document.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/$build/linux/bin/vorlen-convert" --converter "$root/$build/linux/bin/vorlen" \
  --style-sheet "$root/examples/sample.css" --html --print-command-line \
  "$root/examples/sample.html" "$root/$build/sample.pdf"
