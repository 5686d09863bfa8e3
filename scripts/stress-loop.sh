#!/usr/bin/env bash
# Runs the crash and stress tests of VMR transactions between processes
# (a writer killed around the commit point; four processes moving amounts
# between two files) the given number of times in a row, 20 by default,
# and stops at the first failure.
#
#   TAVERO_BUILD_DIR=build bash scripts/stress-loop.sh [runs]
#   TAVERO_STRESS_TRANSACTIONS=2000 bash scripts/stress-loop.sh   # longer runs
#   TAVERO_TEST_SCRATCH=/var/tmp bash scripts/stress-loop.sh       # files on disk, not /dev/shm
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVERO_BUILD_DIR:-$root/build}
runs=${1:-20}
test_binary=$build/storage/vmr/tavero_vmr_transaction_process_test
if [ ! -x "$test_binary" ]; then
  cmake --build "$build" -j "${TAVERO_JOBS:-2}" --target tavero_vmr_transaction_process_test
fi
for run in $(seq 1 "$runs"); do
  if ! output=$("$test_binary" --gtest_brief=1 2>&1); then
    printf '%s\n' "$output"
    echo "stress loop: run $run of $runs FAILED"
    exit 1
  fi
  echo "stress loop: run $run of $runs: $(printf '%s\n' "$output" | grep 'PASSED')"
done
echo "stress loop: all $runs runs passed"
