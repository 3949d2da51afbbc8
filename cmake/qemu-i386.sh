#!/usr/bin/env bash
# The second way to run 32-bit programs, for a kernel that refuses them:
# i386 ELF programs go through a static qemu-i386 by way of binfmt_misc.
#   qemu-i386.sh fetch DIR        puts qemu-i386 (QEMU 8.1 or newer) into DIR,
#                                 once, and prints its version
#   qemu-i386.sh run DIR CMD...   runs CMD where i386 programs go through DIR's
#                                 qemu-i386
# QEMU comes from Debian's backports suite of this release, fetched with the
# URI of the machine's own Debian sources; nothing is installed system-wide.
# Debian 12's own QEMU 7.2 cannot run Wine (it takes MAP_FIXED_NOREPLACE for a
# hint, and every 32-bit Wine start fails).
set -eu
usage="usage: qemu-i386.sh fetch DIR | run DIR CMD..."
action=${1:?$usage}
dir=${2:?$usage}
shift 2
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
qemu=$dir/usr/bin/qemu-i386
source "$(dirname "$0")/debian-sources.sh"

fetch() {
  if [ ! -x "$qemu" ]; then
    local codename uri apt_dir
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
    uri=$(debian_uri "$codename")
    [ -n "$uri" ] || { echo "no Debian sources entry for $codename" >&2; return 1; }
    apt_dir=$dir/apt
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    echo "deb $uri $codename-backports main" >"$apt_dir/sources.list"
    local options=(-q -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o APT::Sandbox::User=root)
    apt-get "${options[@]}" update >/dev/null
    (cd "$apt_dir" && apt-get "${options[@]}" download qemu-user >/dev/null)
    dpkg-deb -x "$apt_dir"/qemu-user_*.deb "$dir"
    rm -rf "$apt_dir"
  fi
  local version
  version=$("$qemu" --version | sed -n '1s/^qemu-i386 version \([0-9.]*\).*/\1/p')
  case $version in
    [1-9][0-9].* | 9.* | 8.[1-9]*) echo "$version" ;;
    *) echo "qemu-i386 $version is older than 8.1" >&2; return 1 ;;
  esac
}

# Debian's own entry for i386 ELF, with our name, our interpreter and flag F
# (the interpreter is opened now, so it need not be reachable later).
register() {
  local conf
  conf=$(cat "$dir/usr/share/qemu/binfmt.d/qemu-i386.conf")
  IFS=: read -r _ _ type offset magic mask _ _ <<<"$conf"
  echo ":vorlen-i386:$type:$offset:$magic:$mask:$qemu:F" >"$1/register"
}

case $action in
  fetch) fetch ;;
  run)
    [ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }
    export VORLEN_QEMU_DIR=$dir
    if [ "${VORLEN_QEMU_NAMESPACE:-}" = private ]; then
      mount -t binfmt_misc none /proc/sys/fs/binfmt_misc
      register /proc/sys/fs/binfmt_misc
      exec "$@"
    fi
    # A private user and mount namespace with a binfmt_misc of its own, where
    # the kernel allows one; otherwise the machine's, which on such a machine
    # serves no 32-bit program of its own.
    if VORLEN_QEMU_NAMESPACE=probe unshare -Urm sh -c \
      'mount -t binfmt_misc none /proc/sys/fs/binfmt_misc' 2>/dev/null; then
      VORLEN_QEMU_NAMESPACE=private exec unshare -Urm bash "$0" run "$dir" "$@"
    fi
    machine=/proc/sys/fs/binfmt_misc
    [ -e "$machine/register" ] || mount -t binfmt_misc none "$machine"
    [ -e "$machine/vorlen-i386" ] && echo -1 >"$machine/vorlen-i386"
    register "$machine"
    trap 'echo -1 >"$machine/vorlen-i386"' EXIT
    "$@" ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
