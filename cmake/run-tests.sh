#!/usr/bin/env bash
# Runs CTest in each named tree and ends with one summary over all of them.
set -u
build=$1; shift
passed=0 failed=0 status=0
for tree in "$@"; do
  echo "== tests: $tree"
  log=$(mktemp)
  (cd "$build/$tree" && ctest --output-on-failure --timeout 900) 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  if [ -n "$summary" ]; then
    passed=$((passed + total - bad)); failed=$((failed + bad))
  else
    status=1
  fi
  rm -f "$log"
done
echo
echo "total: $passed passed, $failed failed"
exit $status
