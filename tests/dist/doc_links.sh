#!/usr/bin/env bash
# Every link in the Markdown documents below DIR leads to a file below DIR,
# and every #anchor to a heading of that file: a package's documents must
# not send its reader to a file that the package lacks.
# Usage: doc_links.sh DIR   (prints each broken link; exit 1 if any)
set -u -o pipefail
root=$(cd "${1:?usage: doc_links.sh DIR}" && pwd)
status=0
# The anchors of a file's headings, as the usual Markdown renderers make them.
anchors() {
  sed -n 's/^#\{1,6\} \(.*\)$/\1/p' "$1" | tr -d '\r' | tr 'A-Z' 'a-z' | tr -d '`' |
    sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}
declare -A headings
count=0
while IFS= read -r -d '' doc; do
  dir=${doc%/*}
  while IFS= read -r link; do
    count=$((count + 1))
    case $link in http://* | https://* | mailto:*) continue ;; esac
    target=${link%%#*} anchor=
    [ "$target" != "$link" ] && anchor=${link#*#}
    file=$doc
    if [ -n "$target" ]; then
      file=$(realpath -m "$dir/$target")
      case $file in "$root"/* | "$root") ;; *) echo "FAIL: ${doc#"$root"/}: $link leaves the package"; status=1; continue ;; esac
      [ -e "$file" ] || { echo "FAIL: ${doc#"$root"/}: $link: no such file"; status=1; continue; }
    fi
    [ -n "$anchor" ] && [ -f "$file" ] && [ -z "${headings[$file]+set}" ] &&
      headings[$file]=$'\n'$(anchors "$file")$'\n'
    if [ -n "$anchor" ] && [ -f "$file" ] && [[ ${headings[$file]} != *$'\n'"$anchor"$'\n'* ]]; then
      echo "FAIL: ${doc#"$root"/}: $link: no such heading"
      status=1
    fi
  done < <(tr -d '\r' <"$doc" | grep -o '\]([^) ]*)' | sed 's/^](//; s/)$//')
done < <(find "$root" -name '*.md' -print0)
[ $count -gt 0 ] || { echo "FAIL: no links found below $root"; status=1; }
exit $status
