#!/bin/sh
# Runs the whole test suite, in the plain and in the ASan+UBSan build, a number of times while one busy
# loop per processor core loads the machine, and prints which tests failed in which run. A suite that
# passes here does not fail by chance on a busy CI machine.
#   scripts/stress-test.sh [runs]     (5 when not given; exits 1 when any test failed in any run)
set -u
cd "$(dirname "$0")/.."
runs="${1:-5}"
case "$runs" in
  '' | *[!0-9]*) echo "usage: $0 [runs]" >&2; exit 2 ;;
esac
logs=$(mktemp -d "${TMPDIR:-/tmp}/ydx-stress-XXXXXX") || exit 2

# The suite is built before the machine is loaded; each run below finds nothing left to build.
echo "stress: building both builds (output in $logs/build.log)"
if ! make --no-print-directory test-plain test-asan CTEST_FLAGS="-N" > "$logs/build.log" 2>&1; then
  tail -n 30 "$logs/build.log"
  echo "stress: the build failed"
  exit 1
fi

# Each loop ends by itself when this script is gone, even when it was killed without a chance to clean up.
cores=$(nproc)
loops=""
for _ in $(seq "$cores"); do
  sh -c 'while kill -0 "$1" 2>/dev/null; do :; done' busy-loop "$$" &
  loops="$loops $!"
done
stop_loops() {
  [ -n "$loops" ] && kill $loops 2>/dev/null
  loops=""
}
trap stop_loops EXIT
trap 'exit 130' INT TERM
echo "stress: $runs runs under $cores busy loops; logs in $logs"

# The names of the tests ctest lists under a heading of its summary.
tests_listed_under() {
  sed -n "/$1/,/^[^[:space:]]/p" "$2" | sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p'
}

failures=0
run=1
while [ "$run" -le "$runs" ]; do
  for build in plain asan; do
    log="$logs/run-$run-$build.log"
    start=$(date +%s)
    make --no-print-directory "test-$build" > "$log" 2>&1
    seconds=$(($(date +%s) - start))
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -n 1)
    failed=$(tests_listed_under 'The following tests FAILED:' "$log")
    # A test that skipped itself (its X server did not start, say) tested nothing: it is shown too.
    skipped=$(tests_listed_under 'The following tests did not run:' "$log")
    [ -z "$skipped" ] || skipped="; skipped: $(echo $skipped)"
    if [ -z "$summary" ]; then
      echo "run $run $build: no test summary (${seconds}s; see $log)"
      failures=$((failures + 1))
    elif [ -n "$failed" ]; then
      echo "run $run $build: ${summary#*, } (${seconds}s$skipped):" $failed
      failures=$((failures + $(echo "$failed" | wc -l)))
    else
      echo "run $run $build: ${summary#*, } (${seconds}s$skipped)"
    fi
  done
  run=$((run + 1))
done

echo "stress: $failures failure(s) in $runs run(s)"
[ "$failures" -eq 0 ]
