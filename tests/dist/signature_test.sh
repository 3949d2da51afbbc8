#!/usr/bin/env bash
# The archives of `make dist` as an administrator checks them before a rollout:
# SHA256SUMS holds and its detached signature verifies, the MSI and every
# program in it and in the zip carry a signature that verifies against
# signing-cert.pem and no debug section, the symbols zip has a file for each
# program, and a copy with one byte changed fails verification.
# Usage: signature_test.sh DIST_DIR VERSION OBJDUMP
set -u -o pipefail
dist=$1 version=$2 objdump=$3
cert=$dist/signing-cert.pem
msi=$dist/VORLEN-$version.msi
[ -f "$cert" ] || { echo "FAIL: $cert is missing (make dist, signing on)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
verifies() { osslsigncode verify -CAfile "$cert" -in "$1" >"$work/verify.log" 2>&1; }

(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
for archive in VORLEN-$version.msi VORLEN-$version.zip VORLEN-$version-symbols.zip VORLEN-$version.cdx.json; do
  grep -q "  $archive\$" "$dist/SHA256SUMS" || fail "SHA256SUMS lacks $archive"
done
# As docs/verifying.md checks it; the throwaway certificate is for code signing only.
sums_verify() {
  openssl cms -verify -binary -inform DER -in "$dist/SHA256SUMS.p7s" -content "$1" -CAfile "$cert" \
    -purpose any -out /dev/null >"$work/verify.log" 2>&1
}
sums_verify "$dist/SHA256SUMS" || fail "SHA256SUMS.p7s: $(tail -n 2 "$work/verify.log" | tr '\n' ' ')"
sed '1s/^./&&/' "$dist/SHA256SUMS" >"$work/SHA256SUMS"
sums_verify "$work/SHA256SUMS" && fail "a changed SHA256SUMS still verifies"

mkdir -p "$work/zip" "$work/msi" "$work/symbols"
(cd "$work/zip" && cmake -E tar xf "$dist/VORLEN-$version.zip") || fail "cannot unpack the zip"
(cd "$work/symbols" && cmake -E tar xf "$dist/VORLEN-$version-symbols.zip") || fail "cannot unpack the symbols zip"
msiextract -C "$work/msi" "$msi" >/dev/null || fail "msiextract"
verifies "$msi" || fail "the MSI: $(tail -n 3 "$work/verify.log" | tr '\n' ' ')"

count=0
while IFS= read -r -d '' pe; do
  count=$((count + 1))
  name=${pe#"$work"/}
  verifies "$pe" || fail "$name: $(tail -n 3 "$work/verify.log" | tr '\n' ' ')"
  "$objdump" -h "$pe" | grep -q ' \.debug' && fail "$name carries debug sections"
  case $name in
    zip/*) [ -s "$work/symbols/${name#zip/}.debug" ] || fail "no symbols for $name" ;;
  esac
done < <(find "$work/zip" "$work/msi" -type f \( -iname '*.dll' -o -iname '*.exe' \) -print0)
# Three programs of each bitness in the zip; both DLLs and both converters in the MSI.
[ $count = 10 ] || fail "$count programs in the archives, 10 expected"

# One byte changed in the code of a signed DLL, and in the MSI's cabinet.
for original in "$work/zip/x64/VORLEN.dll" "$msi"; do
  file=$work/changed.${original##*.}
  cp "$original" "$file"
  at=$(($(stat -c %s "$file") / 2))
  byte=$(od -An -tu1 -j "$at" -N1 "$file" | tr -d ' ')
  printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$file" bs=1 seek="$at" conv=notrunc 2>/dev/null
  cmp -s "$file" "$original" && fail "${original##*/}: the byte was not changed"
  verifies "$file" && fail "${original##*/} with one byte changed still verifies"
done

[ $status -eq 0 ] && echo "signatures: ok ($count programs, the MSI, SHA256SUMS)"
exit $status
