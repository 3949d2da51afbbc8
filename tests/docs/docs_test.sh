#!/usr/bin/env bash
# The user documents as the packages ship them. (1) A fenced block after
# "<!-- same as FILE -->" is FILE's whole text; after
# "<!-- shortened from FILE -->" its lines (leading blanks aside, "..."
# comment lines skipped) occur in FILE in the same order, and the text just
# above says "shortened". (2) The documents that packaging/VORLEN.wxs ships,
# laid out as the packages hold them, link only to one another
# (tests/dist/doc_links.sh).
# Usage: docs_test.sh SOURCE_DIR
set -u -o pipefail
source=$(cd "${1:?usage: docs_test.sh SOURCE_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
trim() { tr -d '\r' | sed 's/^[[:space:]]*//; s/[[:space:]]*$//'; }
strip() { stripped=${1%$'\r'}; stripped=${stripped#"${stripped%%[![:space:]]*}"}; stripped=${stripped%"${stripped##*[![:space:]]}"}; }
elision() { [[ $1 =~ ^(("'"|//|#)" ")?"..."$ ]]; }

# The documents and examples of the packages, from the installer's source.
shipped=$(sed -n 's/.* Source="\([^"]*\)".*/\1/p' "$source/packaging/VORLEN.wxs" |
  grep -vE '^(x86/|x64/|THIRD-PARTY-NOTICES.txt$)')
for file in $shipped; do
  [ -f "$source/$file" ] || { fail "packaging/VORLEN.wxs ships $file, which is missing"; continue; }
  mkdir -p "$work/package/$(dirname "$file")" && cp "$source/$file" "$work/package/$file"
done
touch "$work/package/THIRD-PARTY-NOTICES.txt"  # made by make dist

# (1) Snippets.
checked=0
for doc in $(grep -x '.*\.md' <<<"$shipped"); do
  n=0 mark= previous=()
  while IFS= read -r line; do
    n=$((n + 1))
    if [[ $line =~ ^'<!-- '(same as|shortened from)' '([^ ]+)' -->'$ ]]; then
      mark=${BASH_REMATCH[1]} file=${BASH_REMATCH[2]} at=$n block=() inside=0
      [ "$mark" = "shortened from" ] && [[ ${previous[*]: -4} != *[Ss]hortened* ]] &&
        fail "$doc:$n: the text above the shortened snippet of $file does not say so"
      continue
    fi
    previous+=("$line")
    [ -n "$mark" ] || continue
    if [ $inside = 0 ]; then
      [[ $line == '```'* ]] || { fail "$doc:$at: no fenced block follows the mark"; mark=; continue; }
      inside=1
      continue
    fi
    if [ "$line" != '```' ]; then
      block+=("$line")
      continue
    fi
    checked=$((checked + 1))
    if [ ! -f "$source/$file" ]; then
      fail "$doc:$at: $file does not exist"
    elif [ "$mark" = "same as" ]; then
      printf '%s\n' "${block[@]}" | diff -u --label "$file" --label "$doc:$at" \
        <(tr -d '\r' <"$source/$file") - >&2 || fail "$doc:$at: the snippet differs from $file"
    else
      mapfile -t lines < <(trim <"$source/$file")
      i=0
      for want in "${block[@]}"; do
        strip "$want"
        want=$stripped
        [ -z "$want" ] && continue
        elision "$want" && continue
        while [ $i -lt ${#lines[@]} ] && [ "${lines[$i]}" != "$want" ]; do i=$((i + 1)); done
        [ $i -lt ${#lines[@]} ] || { fail "$doc:$at: not in $file, or out of order: $want"; break; }
        i=$((i + 1))
      done
    fi
    mark=
  done < <(tr -d '\r' <"$source/$doc")
done
[ $checked -gt 0 ] || fail "no snippet carries a mark"

# (2) Links.
bash "$source/tests/dist/doc_links.sh" "$work/package" || status=1
[ $status -eq 0 ] && echo "docs: ok ($checked snippets, links of $(grep -c '\.md$' <<<"$shipped") documents)"
exit $status
