#!/usr/bin/env bash
# Installs what `make demo` or `make test` runs; quick when all is present.
#   setup.sh demo   the native and 64-bit Windows toolchains and the host's
#                   64-bit Wine: what the demo builds and runs, nothing more
#   setup.sh test   (the default) all that `make test` runs as well: the
#                   32-bit toolchain, the test and benchmark libraries, the
#                   fuzzer's compiler, the MSI and signing tools, the npm
#                   packages of tests/dist/sbom (VORLEN_TOOLS/sbom), and the
#                   private Debian root whose Wine runs the Windows tests
#                   (VORLEN_TOOLS/wine-root, cmake/make-wine-root.sh)
# VORLEN_TOOLS is build/tools by default. As root it installs what is missing;
# otherwise it names it. Nothing 32-bit is added to this machine: the 32-bit
# Wine lives in the root only.
set -eu
source=$(cd "$(dirname "$0")/.." && pwd)
tools=${VORLEN_TOOLS:-$source/build/tools}
mode=${1:-test}
case $mode in demo | test) ;; *) echo "usage: setup.sh [demo|test]" >&2; exit 2 ;; esac

packages=(cmake make g++ g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools
  wine64 wine64-tools libwine-dev poppler-utils)
if [ "$mode" = test ]; then
  packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest libgtest-dev libbenchmark-dev
    clang clang-format libclang-rt-14-dev wixl msitools osslsigncode openssl zip libxml2-utils
    mmdebstrap locales)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node.js and npm may come from elsewhere than Debian; Debian's only where there are none.
[ "$mode" = demo ] || command -v npm >/dev/null || missing+=(nodejs npm)

# apt-get update, three times at most. A mirror in the middle of a sync fails
# one index or another for a while; what the other indexes list still
# installs, so the indexes that failed are only remembered, to be named if a
# package cannot be had.
failed_indexes=""
update() {
  local try log
  log=$(mktemp)
  for try in 1 2 3; do
    if apt-get update -q >"$log" 2>&1; then rm -f "$log"; failed_indexes=""; return; fi
    failed_indexes=$(grep -E '^(E|W|Err):' "$log" | grep -v '^W: Some index files failed' || true)
    [ $try = 3 ] || sleep 10
  done
  rm -f "$log"
  echo "setup: some package indexes could not be read; installing from the rest:" >&2
  sed 's/^/  /' <<<"$failed_indexes" >&2
}

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: missing Debian packages: ${missing[*]}" >&2
    echo "setup: install them as root (apt-get install --no-install-recommends ${missing[*]}) and run again" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  update
  apt=(apt-get install -y -q --no-install-recommends)
  if ! "${apt[@]}" "${missing[@]}" >/dev/null 2>&1; then
    # One by one, so that a package that cannot be had keeps none of the
    # others out, and the failure names it.
    failed=()
    for p in "${missing[@]}"; do
      out=$("${apt[@]}" "$p" 2>&1) || { failed+=("$p"); printf '%s\n' "$out" | grep '^E:' | sed 's/^/  /' >&2; }
    done
    if [ ${#failed[@]} -gt 0 ]; then
      echo "setup: could not install ${failed[*]}" >&2
      [ -z "$failed_indexes" ] || { echo "setup: these package indexes could not be read:" >&2; sed 's/^/  /' <<<"$failed_indexes" >&2; }
      exit 1
    fi
  fi
  # A tree configured before these were here left some parts out: its next
  # build configures it again (see the top CMakeLists.txt).
fi
[ "$mode" = demo ] && exit 0

# Again only when the lock file changed. Its optional dependencies (an XML
# validator that builds native code) are left out.
lock=$source/tests/dist/sbom/package-lock.json
if ! cmp -s "$lock" "$tools/sbom/package-lock.json" || [ ! -d "$tools/sbom/node_modules" ]; then
  echo "setup: installing the npm packages of tests/dist/sbom into $tools/sbom"
  mkdir -p "$tools/sbom"
  cp "$source/tests/dist/sbom/package.json" "$lock" "$tools/sbom/"
  npm ci --prefix "$tools/sbom" --omit=optional --no-audit --no-fund --loglevel=error >/dev/null
fi

bash "$source/cmake/make-wine-root.sh" "$tools/wine-root"
