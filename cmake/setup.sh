#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need. Quick when all
# are present; as root it installs what is missing, otherwise it names it.
# 32-bit Wine (wine32:i386) is added unless VORLEN_NO_32BIT=1: where the kernel
# refuses 32-bit programs it still runs through qemu-i386 (cmake/qemu-i386.sh).
# Then the npm packages of tests/dist/sbom (the CycloneDX schemas and their
# validator), at the versions its package-lock.json pins, into
# VORLEN_TOOLS/sbom (build/tools/sbom by default).
set -eu
source=$(cd "$(dirname "$0")/.." && pwd)
tools=${VORLEN_TOOLS:-$source/build/tools}
packages=(cmake make g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 wine64 libwine-dev googletest libgtest-dev libbenchmark-dev poppler-utils
  clang-format wixl msitools osslsigncode openssl zip libxml2-utils)
if [ "${VORLEN_FUZZ:-0}" = 1 ]; then packages+=(clang libclang-rt-14-dev); fi
runs32=0
if [ "${VORLEN_NO_32BIT:-0}" != 1 ]; then
  runs32=1
  packages+=(wine32:i386)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node.js and npm may come from elsewhere than Debian; Debian's only where there are none.
command -v npm >/dev/null || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: missing Debian packages: ${missing[*]}" >&2
    [ $runs32 = 1 ] && echo "setup: wine32:i386 needs 'dpkg --add-architecture i386' first" >&2
    echo "setup: install them as root (apt-get install ${missing[*]}) and run again" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ $runs32 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # A mirror in the middle of a sync fails one index or another for a while;
  # what the other indexes list still installs, so a last failure only warns.
  for try in 1 2 3; do
    apt-get update -qq && break
    [ $try = 3 ] && echo "setup: some package indexes could not be read; installing from the rest" >&2
    sleep 10
  done
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Again only when the lock file changed. Its optional dependencies (an XML
# validator that builds native code) are left out.
lock=$source/tests/dist/sbom/package-lock.json
if ! cmp -s "$lock" "$tools/sbom/package-lock.json" || [ ! -d "$tools/sbom/node_modules" ]; then
  echo "setup: installing the npm packages of tests/dist/sbom into $tools/sbom"
  mkdir -p "$tools/sbom"
  cp "$source/tests/dist/sbom/package.json" "$lock" "$tools/sbom/"
  npm ci --prefix "$tools/sbom" --omit=optional --no-audit --no-fund --loglevel=error >/dev/null
fi
