#!/usr/bin/env bash
# Runs one program of the private Debian root that holds the tests' Wine.
#   wine-root.sh ROOT DIRS PROGRAM ARGS...
# DIRS is a colon-separated list of host folders (the source and build trees)
# that the root sees at the same paths, so that every Z: path stays the same.
# The program runs in a private mount namespace: /dev, /sys, /tmp and DIRS are
# bound into the root, with a proc of its own, and nothing is mounted on the
# host. /tmp is the host's own, so a wineserver started through one call
# serves every later call for its prefix (its socket lies in /tmp/.wine-UID).
# The root's Wine cannot run from the host: it needs the root's newer C
# library, and it re-executes its loader by path.
set -eu
usage="usage: wine-root.sh ROOT DIRS PROGRAM ARGS..."
root=${1:?$usage} dirs=${2?$usage}
shift 2
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }

if [ "${VORLEN_WINE_ROOT_NAMESPACE:-}" != "$root" ]; then
  if [ ! -x "$root/usr/bin/env" ]; then
    echo "wine-root.sh: no Wine root at $root (make setup makes it)" >&2
    exit 127
  fi
  # Private propagation keeps the binds below from reaching the host. It is
  # set on /, which inside a chroot is no mount point: there the mounts are
  # the chroot's to begin with, and stay as they are.
  propagation=private
  mountpoint -q / || propagation=unchanged
  # Another user than root enters through a user namespace of its own.
  user=()
  [ "$(id -u)" = 0 ] || user=(--user --map-root-user)
  VORLEN_WINE_ROOT_NAMESPACE=$root exec unshare "${user[@]}" --mount --propagation $propagation \
    bash "$0" "$root" "$dirs" "$@"
fi
unset VORLEN_WINE_ROOT_NAMESPACE

bind() { # bind HOST_PATH [--rbind]
  mkdir -p "$root$1"
  mount "${2:---bind}" "$1" "$root$1"
}
bind /dev --rbind
bind /sys --rbind
bind /tmp --rbind
# A proc of its own where the kernel allows one; in a user namespace that owns
# no process namespace (the qemu route), the host's.
mount -t proc proc "$root/proc" 2>/dev/null || mount --rbind /proc "$root/proc"
# A folder inside one already bound needs no bind of its own (each costs a
# mount, and a call makes several).
IFS=: read -r -a folders <<<"$dirs"
bound=()
for folder in "${folders[@]}"; do
  [ -n "$folder" ] && [ -d "$folder" ] || continue
  folder=$(cd "$folder" && pwd -P)
  for outer in "${bound[@]}"; do
    case $folder/ in "$outer"/*) continue 2 ;; esac
  done
  bind "$folder"
  bound+=("$folder")
done
wd=$PWD
[ -d "$root$wd" ] || wd=/
exec unshare --root="$root" --wd="$wd" "$@"
