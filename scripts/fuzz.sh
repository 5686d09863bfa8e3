#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time,
# starting from its committed seed corpus (fuzz/corpus/<target>/, read only;
# new inputs go to build-fuzz/corpus/<target>/). A crash, leak, timeout or
# sanitizer finding stops with a failure and leaves the input in
# build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=$root/build-fuzz
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVERO_FUZZ=ON -DTAVERO_BENCH=OFF -DTAVERO_QT=OFF "${launcher[@]}" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(cd "$build" && ninja -t targets all | sed -n 's/^\(fuzz_[a-z_0-9]*\): phony.*/\1/p' | sort -u)
fi
cmake --build "$build" -j "${TAVERO_JOBS:-2}" --target "${targets[@]}"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  echo "== $t ($seconds s)"
  mkdir -p "$build/corpus/$t"
  seeds=()
  [ -d "$root/fuzz/corpus/$t" ] && seeds=("$root/fuzz/corpus/$t")
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" "${seeds[@]}"
done
