#!/usr/bin/env bash
# Static checks of a built VORLEN.dll: its machine, the four exports by name
# at ordinals 1 to 4, imports of system DLLs only, and both resources (the
# type library and the version resource with its fixed entries and the
# project's VERSION).
# Usage: static_checks.sh DLL i386|x86-64 VERSION   exits 77 (skipped) when DLL is absent
set -u
dll=$1 machine=$2 version=$3
if [ ! -f "$dll" ]; then
  echo "skipped: $dll is not built"
  exit 77
fi
case $machine in
  i386) triplet=i686-w64-mingw32 format=pei-i386 ;;
  x86-64) triplet=x86_64-w64-mingw32 format=pei-x86-64 ;;
  *) echo "unknown machine $machine"; exit 2 ;;
esac
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

header=$("$triplet-objdump" -f "$dll")
grep -q "file format $format" <<<"$header" || fail "not $format: $header"
grep -q "architecture: ${machine/x86-64/i386:x86-64}" <<<"$header" || fail "architecture: $header"

private=$("$triplet-objdump" -p "$dll")
base=$(sed -n 's/^Ordinal Base[[:space:]]*//p' <<<"$private")
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$private" |
  sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\] \(.*\)$/\1 \2/p' |
  while read -r index name; do echo "$((index + base)) $name"; done)
expected_exports=$'1 DllCanUnloadNow\n2 DllGetClassObject\n3 DllRegisterServer\n4 DllUnregisterServer'
[ "$exports" = "$expected_exports" ] || fail "exports by ordinal and name:"$'\n'"$exports"

# Statically linked: nothing from the compiler's runtime DLLs.
while read -r import; do
  case ${import,,} in
    kernel32.dll | user32.dll | advapi32.dll | ole32.dll | oleaut32.dll | msvcrt.dll) ;;
    *) fail "imports $import, which is not a system DLL" ;;
  esac
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$private")

resources=$("$triplet-windres" -i "$dll" -O rc 2>&1)
grep -q '^1 "TYPELIB"' <<<"$resources" || fail "no resource TYPELIB 1"
grep -q '^1 VERSIONINFO' <<<"$resources" || fail "no version resource"
numbers="${version//./, }, 0"
IFS=. read -r major minor _ <<<"$version"
text=$(printf '%d.%02d' "$major" "$minor")  # the strings' form: 1.0.0 is "1.00"
for entry in "FILEVERSION $numbers" "PRODUCTVERSION $numbers" 'BLOCK "040904B0"' \
  "VALUE \"FileVersion\", \"$text\"" "VALUE \"ProductVersion\", \"$text\"" \
  'VALUE "InternalName", "VORLEN"' \
  'VALUE "OriginalFilename", "VORLEN.dll"' 'VALUE "OLESelfRegister", ""' \
  'VALUE "LegalCopyright", "Copyright 2026 The VORLEN authors"' \
  'VALUE "Translation", 0x409, 1200'; do
  grep -qF "$entry" <<<"$resources" || fail "version resource lacks: $entry"
done
# The embedded library is an MSFT type library.
grep -q '0x5446534dL' <<<"$resources" || fail "TYPELIB 1 is not an MSFT type library"

[ $failures -eq 0 ] && echo "$dll: $machine, 4 exports, system imports, TYPELIB and VERSIONINFO"
exit $((failures > 0))
