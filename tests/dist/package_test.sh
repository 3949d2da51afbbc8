#!/usr/bin/env bash
# The MSI in a fresh WoW64 prefix of its own: its registry rows in each view
# are what regsvr32 writes (taken in a copy of the prefix, where unregistering
# one bitness must leave the other's script clients working), Add/Remove
# Programs shows its publisher, version and links, the documents, license,
# notices and examples are the package's and link only to one another, both
# bitnesses convert through it, a newer version replaces it and an older one
# is refused, and uninstalling leaves no key and no file. The 32-bit steps
# need a machine that runs 32-bit code (cmake/probe-32bit.sh) and say so when
# skipped.
# Usage: package_test.sh DIST_DIR MSI_STAGE WIN64_BIN WIN32_BIN VERSION SOURCE_DIR
set -u -o pipefail
dist=$1 stage=$2 bin64=$3 bin32=$4 version=$5 source=$6
# The tree passes Wine's programs and wixl in (VORLEN_WINE, VORLEN_WINESERVER, VORLEN_WIXL).
wine=${VORLEN_WINE:-/usr/lib/wine/wine64} server=${VORLEN_WINESERVER:-wineserver} wixl=${VORLEN_WIXL:-wixl}
msi=$dist/VORLEN-$version.msi
[ -f "$msi" ] || { echo "FAIL: $msi is missing (make dist)"; exit 1; }
work=$(mktemp -d)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=$work/prefix
stop() { for p in "$work/prefix" "$work/reference"; do WINEPREFIX=$p "$server" -k 2>/dev/null; done; }
trap 'stop; rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
skip32() { echo "skipped (32-bit): $*"; }
w() { "$wine" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
clsid='{C9B018FD-C0A1-4D50-AE16-0E5E0EF71C91}' libid='{70AF29CD-4604-40AB-A91B-2EA696822611}'
keys=("CLSID\\$clsid" VorlenCOM.Vorlen "TypeLib\\$libid" 'Interface\{B88EEB95-53FA-4CCF-9FA2-9ADBA03999ED}'
  'Interface\{F08755C3-5247-45C0-AA50-1192CD09EC2F}')
# Both views of every key the component owns; HELPDIR may end in a backslash.
# Without 32-bit code there is no reference for what the i686 DLL adds to the
# shared type library key (0\win32), so that key is left out.
views() {
  for k in "${keys[@]}"; do w reg query "HKLM\\Software\\Classes\\$k" /s; done | sed 's/\\$//' |
    if [ "$has32" = 1 ]; then cat; else awk -v RS= -v ORS='\n\n' '!/\\0\\win32\n/'; fi >"$1.64"
  if [ "$has32" = 1 ]; then
    for k in "${keys[@]}"; do w 'C:\windows\syswow64\reg.exe' query "HKLM\\Software\\Classes\\$k" /s; done |
      sed 's/\\$//' >"$1.32"
  fi
}

# 1. A fresh prefix reporting Windows 10, and a copy of it for the reference. Each gets one
# persistent server, whose services start away from this script's pipes.
"$wine" wineboot -i >/dev/null 2>&1 </dev/null
"$wine" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1 </dev/null
"$server" -k 2>/dev/null
cp -a "$work/prefix" "$work/reference"
for p in "$work/prefix" "$work/reference"; do
  WINEPREFIX=$p "$server" -p </dev/null >/dev/null 2>&1
  WINEPREFIX=$p "$wine" cmd /c exit </dev/null >/dev/null 2>&1
done
has32=0
if reason=$(bash "$source/cmake/probe-32bit.sh" "$work/prefix"); then has32=1; else skip32 "$reason"; fi

# 2. The reference: regsvr32 of each DLL where the package puts it.
(
  export WINEPREFIX=$work/reference
  c=$WINEPREFIX/drive_c
  install -D "$bin64/VORLEN.dll" "$c/Program Files/VORLEN/VORLEN.dll"
  install -D "$bin32/VORLEN.dll" "$c/Program Files (x86)/VORLEN/VORLEN.dll"
  # The installer's 64-bit rows win in the shared type library key: HELPDIR.
  [ $has32 = 1 ] && w 'C:\windows\syswow64\regsvr32.exe' /s 'C:\Program Files (x86)\VORLEN\VORLEN.dll'
  w regsvr32 /s 'C:\Program Files\VORLEN\VORLEN.dll'
  views "$work/expected"
)
grep -q InprocServer32 "$work/expected.64" || fail "regsvr32 wrote no reference"

# 2b. Unregistering one bitness keeps the other's script clients working: what
# both views share (the ProgID, the type library's values) goes with the last.
printf '%s\r\n' 'On Error Resume Next' 'CreateObject "VorlenCOM.Vorlen"' 'WScript.Echo Err.Number' \
  >"$work/create.vbs"
if [ $has32 = 1 ]; then
  (
    export WINEPREFIX=$work/reference
    dll64='C:\Program Files\VORLEN\VORLEN.dll' dll32='C:\Program Files (x86)\VORLEN\VORLEN.dll'
    create() { w "$1" //nologo "$(windows "$work/create.vbs")"; }
    st=0
    w regsvr32 /s /u "$dll64"
    out=$(create 'C:\windows\syswow64\cscript.exe')
    [ "$out" = 0 ] || { echo "FAIL: 32-bit CreateObject, 64-bit DLL unregistered: error '$out'"; st=1; }
    w regsvr32 /s "$dll64"
    w 'C:\windows\syswow64\regsvr32.exe' /s /u "$dll32"
    out=$(create cscript)
    [ "$out" = 0 ] || { echo "FAIL: 64-bit CreateObject, 32-bit DLL unregistered: error '$out'"; st=1; }
    w regsvr32 /s /u "$dll64"
    out=$(create cscript)
    [ "$out" = 429 ] || { echo "FAIL: CreateObject, both unregistered: error '$out', not 429"; st=1; }
    exit $st
  ) || status=1
else
  skip32 "unregistering one bitness of two"
fi

# 3. Before the install nobody can create the class.
examples='C:\Program Files\VORLEN\examples'
convert_vbs() {  # CSCRIPT CONVERTER PDF
  w "$1" //nologo "$examples\\vorlen.vbs" "$2" "$examples\\sample.html" "$(windows "$3")"
}
out=$(w cscript //nologo "$(windows "$work/create.vbs")")
[ "$out" = 429 ] || fail "CreateObject before the install: error '$out', not 429"

# 4. Install; each view as regsvr32 left it.
w msiexec /i "$(windows "$msi")" /qn || fail "msiexec /i: exit $?"
views "$work/installed"
diff "$work/expected.64" "$work/installed.64" || fail "the 64-bit view differs from regsvr32's"
if [ $has32 = 1 ]; then
  diff "$work/expected.32" "$work/installed.32" || fail "the 32-bit view differs from regsvr32's"
else
  skip32 "the 32-bit view against syswow64's regsvr32"
fi

# 4b. The entry of Add/Remove Programs, and the documents installed.
arp() {  # VALUE of the package's Uninstall key
  w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    awk -v RS= '/DisplayName +REG_SZ +VORLEN /' | sed -n "s/^ *$1 *REG_SZ *//p"
}
[ "$(arp Publisher)" = "The VORLEN authors" ] || fail "Publisher: '$(arp Publisher)'"
[ "$(arp DisplayVersion)" = "$version" ] || fail "DisplayVersion: '$(arp DisplayVersion)'"
# Its links are the ones the build was given, and none without (the tree
# passes VORLEN_ABOUT_URL and VORLEN_HELP_URL in).
[ "$(arp URLInfoAbout)" = "${VORLEN_ABOUT_URL:-}" ] || fail "URLInfoAbout: '$(arp URLInfoAbout)'"
[ "$(arp HelpLink)" = "${VORLEN_HELP_URL:-}" ] || fail "HelpLink: '$(arp HelpLink)'"
# Every document and example of the stage, and the documents link only to
# what is installed beside them.
installed="$WINEPREFIX/drive_c/Program Files/VORLEN"
while IFS= read -r file; do
  cmp -s "$installed/$file" "$stage/$file" || fail "C:\Program Files\VORLEN\$file is not the package's"
done < <(cd "$stage" && find . -type f ! -path './x86/*' ! -path './x64/*' ! -name VORLEN.wxs | sed 's|^\./||')
[ -f "$installed/docs/reference.md" ] || fail "the MSI installs no docs\reference.md"
bash "$source/tests/dist/doc_links.sh" "$installed" || fail "the installed documents link outside the install"

# 5. Convert with the installed converters: scripts and vorlen-convert.exe.
conv64='C:\Program Files\VORLEN\converter\vorlen.exe'
conv32='C:\Program Files (x86)\VORLEN\converter\vorlen.exe'
out=$(convert_vbs cscript "$conv64" "$work/a.pdf")
[ "$out" = "converted: $(windows "$work/a.pdf")" ] && [ -s "$work/a.pdf" ] || fail "64-bit cscript: $out"
w "$bin64/vorlen-convert.exe" --converter "$conv64" --html "$examples\\sample.html" \
  "$(windows "$work/b.pdf")" >/dev/null && [ -s "$work/b.pdf" ] || fail "64-bit vorlen-convert.exe"
if [ $has32 = 1 ]; then
  out=$(convert_vbs 'C:\windows\syswow64\cscript.exe' "$conv32" "$work/c.pdf")
  [ -s "$work/c.pdf" ] || fail "32-bit cscript: $out"
  w "$bin32/vorlen-convert.exe" --converter "$conv32" --html "$examples\\sample.html" \
    "$(windows "$work/d.pdf")" >/dev/null && [ -s "$work/d.pdf" ] || fail "32-bit vorlen-convert.exe"
else
  skip32 "converting through syswow64's cscript and the i686 vorlen-convert.exe"
fi

# 6. Version+1 replaces it; going back is refused.
IFS=. read -r major minor patch <<<"$version"
next=$major.$minor.$((patch + 1))
(cd "$stage" && "$wixl" -a x64 -D Version="$next" -D ProductCode='{5C1B0E2A-7D43-4F8E-9A61-3B2D8C4E7F10}' \
  -o "$work/next.msi" VORLEN.wxs) || fail "wixl $next"
w msiexec /i "$(windows "$work/next.msi")" /qn || fail "msiexec /i of $next: exit $?"
products() {
  w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    sed -n 's/^ *DisplayName *REG_SZ *\(VORLEN .*\)$/\1/p'
}
[ "$(products)" = "VORLEN $next" ] || fail "after the upgrade: $(products | tr '\n' ',')"
w msiexec /i "$(windows "$msi")" /qn && fail "the downgrade to $version was accepted"
[ "$(products)" = "VORLEN $next" ] || fail "after the downgrade: $(products | tr '\n' ',')"

# 7. Uninstall: no key in either view, no file.
w msiexec /x "$(windows "$work/next.msi")" /qn || fail "msiexec /x: exit $?"
for k in "${keys[@]}"; do
  for view in 64 32; do
    w reg query "HKLM\\Software\\Classes\\$k" /reg:$view >/dev/null && fail "left: $k (view $view)"
  done
done
for d in "Program Files" "Program Files (x86)"; do
  [ -e "$WINEPREFIX/drive_c/$d/VORLEN" ] && fail "left: C:\\$d\\VORLEN"
done
[ -n "$(products)" ] && fail "still installed: $(products)"

[ $status -eq 0 ] && echo "package: ok"
exit $status
