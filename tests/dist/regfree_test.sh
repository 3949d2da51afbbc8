#!/usr/bin/env bash
# Registration-free use from the zip: in a prefix where the class is not
# registered, vorlen-convert.exe of each bitness converts beside its
# vorlen-convert.exe.manifest and VORLEN.manifest (exit 0), and without its
# manifest cannot create the class (exit 4). The i686 half needs a machine that
# runs 32-bit code (cmake/probe-32bit.sh) and says so when skipped.
# Usage: regfree_test.sh ZIP SAMPLE_HTML SOURCE_DIR PREFIX
#   (VORLEN_EMULATOR runs Windows programs in PREFIX)
set -u -o pipefail
zip=$1 sample=$2 source=$3 prefix=$4
run=${VORLEN_EMULATOR:?set by the test: runs Windows programs}
[ -f "$zip" ] || { echo "FAIL: $zip is missing (make dist)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
status=0
fail() { echo "FAIL: $*"; status=1; }
(cd "$work" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
arches=(x64)
if reason=$(bash "$source/cmake/probe-32bit.sh" "$prefix"); then
  arches+=(x86)
else
  echo "skipped (32-bit): x86: $reason"
fi
for arch in "${arches[@]}"; do
  dir=$work/$arch
  convert() {
    "$run" "$dir/vorlen-convert.exe" --converter "$(windows "$dir/vorlen.exe")" --html \
      "$(windows "$sample")" "$(windows "$work/$arch.pdf")" >/dev/null 2>&1
  }
  convert
  code=$?
  [ $code = 0 ] && [ -s "$work/$arch.pdf" ] || fail "$arch: with the manifest: exit $code"
  mv "$dir/vorlen-convert.exe.manifest" "$work/$arch.manifest"
  convert
  code=$?
  [ $code = 4 ] || fail "$arch: without the manifest: exit $code (4 expected)"
done
[ $status -eq 0 ] && echo "registration-free: ok (${arches[*]})"
exit $status
