#!/usr/bin/env bash
# Shows that the archives and the bill of materials are reproducible: builds
# them unsigned here (VORLEN_SIGN=off make dist), then clones the same commit
# into another folder, builds them there from nothing, and compares. Each file
# of SHA256SUMS is reported identical or, where it differs, with the files
# inside that differ (the lines, for the bill of materials).
# A full second build of both Windows trees: minutes, not part of `make test`.
# Usage: packaging/reproduce.sh [BUILD [JOBS]]   (BUILD defaults to ./build)
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$source/build}")
jobs=${2:-2}
commit=$(git -C "$source" rev-parse HEAD)
if [ -n "$(git -C "$source" status --porcelain --untracked-files=no)" ]; then
  echo "reproduce: $source has uncommitted changes; commit them first" >&2
  exit 2
fi
other=$(mktemp -d "${TMPDIR:-/tmp}/vorlen-reproduce.XXXXXX")
trap 'rm -rf "$other"' EXIT
export VORLEN_SIGN=off

echo "reproduce: building $commit in $build"
make -C "$source" dist BUILD="$build" JOBS="$jobs" >"$other/here.log" 2>&1 ||
  { tail -n 20 "$other/here.log"; exit 1; }
echo "reproduce: cloning and building it again in $other/clone"
git clone -q --no-hardlinks "$source" "$other/clone"
git -C "$other/clone" checkout -q --detach "$commit"
make -C "$other/clone" dist BUILD="$other/clone/build" JOBS="$jobs" >"$other/there.log" 2>&1 ||
  { tail -n 20 "$other/there.log"; exit 1; }

# The files of one archive, unpacked into `into`.
unpack() {
  mkdir -p "$2"
  case $1 in
    *.msi) msiextract -C "$2" "$1" >/dev/null && cp "$1" "$2/.package" ;;
    *.json) cp "$1" "$2/" ;;
    *) (cd "$2" && cmake -E tar xf "$1") ;;
  esac
}
status=0
while read -r hash archive; do
  there=$other/clone/build/dist/$archive
  if [ "$(sha256sum <"$there" | cut -d' ' -f1)" = "$hash" ]; then
    echo "identical: $archive $hash"
    continue
  fi
  status=1
  echo "DIFFERS: $archive"
  unpack "$build/dist/$archive" "$other/a/$archive"
  unpack "$there" "$other/b/$archive"
  diff -rq "$other/a/$archive" "$other/b/$archive" | sed 's/^/  /' || true
  case $archive in
    *.msi) diff <(msiinfo suminfo "$build/dist/$archive") <(msiinfo suminfo "$there") |
      sed 's/^/  summary: /' || true ;;
    *.json) diff "$build/dist/$archive" "$there" | head -n 20 | sed 's/^/  /' || true ;;
  esac
done <"$build/dist/SHA256SUMS"
exit $status
