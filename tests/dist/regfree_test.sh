#!/usr/bin/env bash
# Registration-free use from the zip, in a prefix where the class is not
# registered; the zip's documents link only to its own files. Each bitness's
# folder holds no loose manifest: VORLEN.dll carries its assembly manifest
# as RT_MANIFEST #1 and vorlen-convert.exe embeds its dependency on it. A C++ client without a manifest cannot create
# the class (exit 4), which shows that nothing is registered; with a
# side-by-side manifest that names the dependency, it converts (exit 0). Both
# clients convert in both layouts that Windows searches: VORLEN.dll in the
# application's folder, and in its subfolder VORLEN\. Both still convert with
# the next patch release's VORLEN.dll (each tree's bin/next-patch/), whose
# assembly identity must be the one their manifests name. The i686 half needs a
# machine that runs 32-bit code (cmake/probe-32bit.sh) and says so when
# skipped.
# Usage: regfree_test.sh ZIP SAMPLE_HTML SOURCE_DIR PREFIX WIN64_BIN WIN32_BIN ASSEMBLY_VERSION
#   (VORLEN_EMULATOR runs Windows programs in PREFIX; the C++ client is each
#   tree's bin/vorlen-example.exe)
set -u -o pipefail
zip=$1 sample=$2 source=$3 prefix=$4 bin64=$5 bin32=$6 assembly=$7
run=${VORLEN_EMULATOR:?set by the test: runs Windows programs}
[ -f "$zip" ] || { echo "FAIL: $zip is missing (make dist)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
status=0
fail() { echo "FAIL: $*"; status=1; }
(cd "$work" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
loose=$(cd "$work" && find . -iname '*.manifest')
[ -z "$loose" ] || fail "the zip holds loose manifests: $loose"
# The zip's documents link only to files of the zip.
[ -f "$work/docs/reference.md" ] || fail "the zip holds no docs/reference.md"
bash "$source/tests/dist/doc_links.sh" "$work" || fail "the zip's documents link outside the zip"
arches=(x64)
if reason=$(bash "$source/cmake/probe-32bit.sh" "$prefix"); then
  arches+=(x86)
else
  echo "skipped (32-bit): x86: $reason"
fi
# The application manifest of a program that embeds none, as the README shows it.
side_by_side() {
  printf '%s\r\n' '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>' \
    '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">' \
    "  <assemblyIdentity type=\"win32\" name=\"vorlen-example\" version=\"$assembly\" />" \
    '  <dependency>' '    <dependentAssembly>' \
    "      <assemblyIdentity type=\"win32\" name=\"VORLEN\" version=\"$assembly\" />" \
    '    </dependentAssembly>' '  </dependency>' '</assembly>'
}
for arch in "${arches[@]}"; do
  dir=$work/$arch bin=$bin64
  [ "$arch" = x86 ] && bin=$bin32
  cp "$bin/vorlen-example.exe" "$dir/"
  convert() {  # PROGRAM PDF: exit code of a conversion of the sample
    rm -f "$2"
    if [ "$1" = vorlen-convert.exe ]; then
      "$run" "$dir/$1" --converter "$(windows "$dir/vorlen.exe")" --html \
        "$(windows "$sample")" "$(windows "$2")" >/dev/null 2>&1
    else
      "$run" "$dir/$1" "$(windows "$dir/vorlen.exe")" "$(windows "$sample")" "$(windows "$2")" \
        >/dev/null 2>&1
    fi
  }
  convert vorlen-example.exe "$work/unbound.pdf"
  code=$?
  [ $code = 4 ] || fail "$arch: the C++ client without a manifest: exit $code (4 expected)"
  # The README's first conversion from the zip, as it prints it: relative
  # paths from the zip's folder, and the converter found beside the client.
  rm -f "$work/sample.pdf"
  # A box left open would hang the run: the timeout ends it.
  (cd "$work" && env -u VORLEN_CONVERTER timeout -k 5 120 "$run" "$arch\vorlen-convert.exe" --html \
    'examples\sample.html' sample.pdf >/dev/null 2>&1)
  code=$?
  [ $code = 0 ] && [ -s "$work/sample.pdf" ] || fail "$arch: the README's first conversion from the zip: exit $code"
  side_by_side >"$dir/vorlen-example.exe.manifest"
  for layout in folder subfolder; do
    if [ $layout = subfolder ]; then
      mkdir "$dir/VORLEN" && mv "$dir/VORLEN.dll" "$dir/VORLEN/"
    fi
    for program in vorlen-convert.exe vorlen-example.exe; do
      pdf=$work/$arch-$layout-${program%.exe}.pdf
      convert $program "$pdf"
      code=$?
      [ $code = 0 ] && [ -s "$pdf" ] ||
        fail "$arch, VORLEN.dll in the application's $layout: $program: exit $code"
    done
  done
  # A patch release replaces the DLL alone; the applications stay as they are.
  cp "$bin/next-patch/VORLEN.dll" "$dir/VORLEN/VORLEN.dll" ||
    fail "$arch: no next-patch VORLEN.dll in $bin"
  for program in vorlen-convert.exe vorlen-example.exe; do
    pdf=$work/$arch-next-patch-${program%.exe}.pdf
    convert $program "$pdf"
    code=$?
    [ $code = 0 ] && [ -s "$pdf" ] || fail "$arch, the next patch release's VORLEN.dll: $program: exit $code"
  done
done
[ $status -eq 0 ] &&
  echo "registration-free: ok (${arches[*]}; application folder, VORLEN\\, next patch release)"
exit $status
