#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}; shift || true
build=$root/build-fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVERO_FUZZ=ON -DTAVERO_BENCH=OFF -DTAVERO_QT=OFF >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(cd "$build" && ninja -t targets all | sed -n 's/^\(fuzz_[a-z_0-9]*\): phony.*/\1/p' | sort -u)
fi
cmake --build "$build" -j 2 --target "${targets[@]}"
for t in "${targets[@]}"; do
  echo "== $t ($seconds s)"
  mkdir -p "$build/corpus/$t"
  "$build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 "$build/corpus/$t"
done
