#!/usr/bin/env bash
# Makes the private Debian root whose Wine runs the Windows tests:
#   make-wine-root.sh ROOT
# Debian 13 (trixie), minbase, with Wine 10 of both word sizes (wine64 and
# wine32:i386), from the machine's own Debian archive. The host's package
# configuration is not touched: the i386 architecture exists in the root only.
# The root is made once and made again when what it should hold changes (the
# first line of ROOT/.vorlen-root). cmake/wine-root.sh enters it.
set -eu
root=${1:?usage: make-wine-root.sh ROOT}
suite=trixie
packages=(wine64 wine32:i386)
want="$suite amd64,i386 ${packages[*]} minbase nodoc"
if [ -f "$root/.vorlen-root" ] && [ "$(head -n 1 "$root/.vorlen-root")" = "$want" ]; then
  exit 0
fi
if [ "$(id -u)" != 0 ]; then
  echo "setup: the Wine root $root ($want) is made as root: run 'make setup' as root once;" >&2
  echo "setup: later runs, as any user, only enter it (unshare, with user namespaces)" >&2
  exit 1
fi
command -v mmdebstrap >/dev/null || { echo "setup: mmdebstrap is missing (apt-get install mmdebstrap)" >&2; exit 1; }

source "$(dirname "$0")/debian-sources.sh"
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
uri=$(debian_uri "$codename")
security=$(debian_uri "$codename-security")
uri=${uri:-http://deb.debian.org/debian}
security=${security:-${uri%/debian}/debian-security}
main="deb $uri $suite main"
all=("$main" "deb $uri $suite-updates main" "deb $security $suite-security main")

echo "setup: making the Wine root $root ($want; about 350 MB to fetch, 2 GB on disk)"
mkdir -p "$(dirname "$root")"
log=$root.log
make_root() {
  rm -rf "$root.new"
  mmdebstrap --variant=minbase --architectures=amd64,i386 --include="$(
    IFS=,
    echo "${packages[*]}"
  )" \
    --aptopt='APT::Install-Recommends "false"' --keyring=/usr/share/keyrings/debian-archive-keyring.gpg \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' \
    "$suite" "$root.new" "$@" >"$log" 2>&1
}
# A mirror in the middle of a sync can fail an update suite's index for a
# while; the release suite alone still makes a root that runs the tests.
if ! make_root "${all[@]}"; then
  echo "setup: the Wine root could not be made from $suite, $suite-updates and $suite-security:" >&2
  grep -E '^(E|W|Err):|Failed to fetch|Hash Sum|held broken|Unable to locate' "$log" | sort -u | sed 's/^/  /' >&2
  echo "setup: trying $suite alone" >&2
  if ! make_root "$main"; then
    echo "setup: the Wine root could not be made from $suite either (log: $log):" >&2
    grep -E '^(E|W|Err):|Failed to fetch|Hash Sum|held broken|Unable to locate' "$log" | sort -u | sed 's/^/  /' >&2
    rm -rf "$root.new"
    exit 1
  fi
  echo "setup: the Wine root has $suite's packages without its updates; remove $root to try again" >&2
fi
printf '%s\n' "$want" "made $(date -u +%Y-%m-%dT%H:%MZ) from $uri" >"$root.new/.vorlen-root"
rm -rf "$root" "$log"
mv "$root.new" "$root"
echo "setup: Wine root ready: $(du -sh "$root" | cut -f1) in $root"
