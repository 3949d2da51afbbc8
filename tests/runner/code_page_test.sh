#!/usr/bin/env bash
# The runner's CodePage cases under the ANSI code pages that Wine takes from
# the Unix locale: hi_IN.UTF-8 has no legacy code page (65001), ja_JP.UTF-8
# gives 932. Both locales are compiled once into WORKDIR, a private LOCPATH.
#   code_page_test.sh RUNNER_TESTS WORKDIR
set -u
tests=$1 locales=$2/locales
mkdir -p "$locales"
fail=0
for case in hi_IN:65001 ja_JP:932; do
  name=${case%%:*} codePage=${case#*:}
  if [ ! -d "$locales/$name.UTF-8" ]; then
    localedef -i "$name" -f UTF-8 "$locales/$name.UTF-8.tmp" >/dev/null 2>&1 &&
      mv "$locales/$name.UTF-8.tmp" "$locales/$name.UTF-8" ||
      { echo "FAIL: cannot compile the locale $name.UTF-8"; fail=1; continue; }
  fi
  LOCPATH=$locales LC_ALL=$name.UTF-8 VORLEN_EXPECT_ACP=$codePage \
    ${VORLEN_EMULATOR:-} "$tests" --gtest_filter='CodePage.*' || { echo "FAIL: code page $codePage"; fail=1; }
done
exit $fail
