#!/usr/bin/env bash
# The bill of materials beside the archives, against what they hold
# (tests/dist/sbom/check.js): the CycloneDX schema, the files and their
# hashes, the runtime components and THIRD-PARTY-NOTICES.txt. Both archives
# carry LICENSE, the Apache License 2.0.
# Usage: sbom_test.sh DIST_DIR VERSION SOURCE_DIR NPM_DIR
set -u -o pipefail
dist=$1 version=$2 source=$3 npm=$4
bom=$dist/VORLEN-$version.cdx.json
[ -f "$bom" ] || { echo "FAIL: $bom is missing (make dist)"; exit 1; }
[ -d "$npm/node_modules/@cyclonedx/cyclonedx-library" ] ||
  { echo "FAIL: no CycloneDX validator in $npm (make setup installs it)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
mkdir -p "$work/zip" "$work/msi"
(cd "$work/zip" && cmake -E tar xf "$dist/VORLEN-$version.zip") || { echo "FAIL: cannot unpack the zip"; exit 1; }
msiextract -C "$work/msi" "$dist/VORLEN-$version.msi" >/dev/null || { echo "FAIL: msiextract"; exit 1; }
NODE_PATH=$npm/node_modules node "$source/tests/dist/sbom/check.js" "$bom" "$dist" "$work/zip" "$work/msi" ||
  status=1
for license in "$work/zip/LICENSE" "$(find "$work/msi" -name LICENSE)"; do
  cmp -s "$license" "$source/LICENSE" || { echo "FAIL: ${license#"$work"/} is not LICENSE"; status=1; }
done
exit $status
