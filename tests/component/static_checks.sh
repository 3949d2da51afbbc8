#!/usr/bin/env bash
# Static checks of a built VORLEN.dll: its machine, the four exports by name
# at ordinals 1 to 4, imports of system DLLs only, and its resources (the
# type library, the version resource with its fixed entries and the
# project's VERSION, and as RT_MANIFEST #1 the assembly manifest MANIFEST that
# the build generated, byte for byte, with the identity ASSEMBLY). The programs beside it embed
# well-formed application manifests: asInvoker, the supported systems, and
# the dependency on the assembly VORLEN in registration-free/vorlen-convert.exe
# only.
# Usage: static_checks.sh DLL i386|x86-64 VERSION ASSEMBLY MANIFEST PE_RESOURCE
#   exits 77 (skipped) when DLL is absent; PE_RESOURCE is the host tool that
#   reads a resource
set -u
dll=$1 machine=$2 version=$3 assembly=$4 manifest=$5 reader=$6
if [ ! -f "$dll" ]; then
  echo "skipped: $dll is not built"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
    kernel32.dll | user32.dll | advapi32.dll | bcrypt.dll | ole32.dll | oleaut32.dll | msvcrt.dll) ;;
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

# The assembly manifest, as the registration-free layouts need it: inside the
# DLL, as resource 24 (RT_MANIFEST) with ID 1.
if "$reader" "$dll" 24 1 >"$work/VORLEN.manifest"; then
  cmp -s "$work/VORLEN.manifest" "$manifest" || fail "RT_MANIFEST #1 differs from $manifest"
  grep -q "<assemblyIdentity type=\"win32\" name=\"VORLEN\" version=\"$assembly\" />" \
    "$work/VORLEN.manifest" || fail "RT_MANIFEST #1 is not the assembly VORLEN $assembly"
  xmllint --noout "$work/VORLEN.manifest" || fail "RT_MANIFEST #1 is not well-formed XML"
else
  fail "no resource RT_MANIFEST #1"
fi

# Each program's own manifest. Windows refuses to start a program whose
# embedded manifest does not parse; Wine starts it all the same.
bin=$(dirname "$dll")
dependency="<assemblyIdentity type=\"win32\" name=\"VORLEN\" version=\"$assembly\" />"
for program in vorlen.exe vorlen-convert.exe registration-free/vorlen-convert.exe; do
  text=$work/${program//\//-}.manifest
  if ! "$reader" "$bin/$program" 24 1 >"$text"; then
    fail "$program: no RT_MANIFEST #1"
    continue
  fi
  xmllint --noout "$text" || fail "$program: its manifest is not well-formed XML"
  grep -q '<requestedExecutionLevel level="asInvoker"' "$text" || fail "$program: not asInvoker"
  for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
    4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
    8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    grep -q "<supportedOS Id=\"{$os}\" />" "$text" || fail "$program: no supportedOS {$os}"
  done
  if [ "${program%%/*}" = registration-free ]; then
    grep -qF "$dependency" "$text" || fail "$program: no dependency on VORLEN"
  elif grep -q 'name="VORLEN"' "$text"; then
    fail "$program, a client of the registered class, depends on VORLEN"
  fi
done

[ $failures -eq 0 ] &&
  echo "$dll: $machine, 4 exports, system imports, TYPELIB, VERSIONINFO, RT_MANIFEST #1;" \
    "the programs' manifests"
exit $((failures > 0))
