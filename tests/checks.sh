# The checks of the shell tests: each names what it checks, the value it
# got and the value it wants; `finish` prints the count and fails the test
# when any check did. Sourced, not run.
passes=0 failures=0
check() {  # check NAME ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then
    echo "ok: $1"
    passes=$((passes + 1))
  else
    echo "FAIL: $1: got [$2], want [$3]"
    failures=$((failures + 1))
  fi
}
finish() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
