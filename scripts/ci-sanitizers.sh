#!/usr/bin/env bash
# The sanitizer and fuzzing part of CI (.ci/run runs it after scripts/test.sh):
#   asan  AddressSanitizer and UndefinedBehaviorSanitizer, the whole suite
#   tsan  ThreadSanitizer, the tests of the ui engine and of storage/
#   fuzz  every libFuzzer target for TAVERO_FUZZ_SECONDS (20) from its seed
#         corpus in fuzz/corpus/<target>/
# A finding of any of them fails the run. Each builds only what it runs, in
# its own directory (build-asan, build-tsan, build-fuzz), through ccache
# when the machine has it.
#
#   bash scripts/ci-sanitizers.sh              # all three
#   bash scripts/ci-sanitizers.sh tsan fuzz    # some of them
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${TAVERO_JOBS:-2}
export QT_QPA_PLATFORM=offscreen
# Findings end the test or fuzz run with a failure; leaks inside system
# libraries we cannot fix are named in .ci/lsan.supp.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$root/.ci/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

configure() {
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVERO_BENCH=OFF "${launcher[@]}" "$@" \
    >/dev/null
}

# The test executables a build directory defines below the given folders.
test_targets() {
  local dir=$1
  shift
  local folders
  folders=$(IFS='|'; echo "$*")
  ninja -C "$dir" -t targets all | sed -n -E "s#^(($folders)/[^ :]*_test): .*#\\1#p" | sort -u
}

run_asan() {
  local dir=$root/build-asan
  echo "== asan: AddressSanitizer and UndefinedBehaviorSanitizer, every test"
  configure "$dir" -DTAVERO_SANITIZE=ON
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 900
}

run_tsan() {
  local dir=$root/build-tsan
  echo "== tsan: ThreadSanitizer, the ui engine and storage tests"
  configure "$dir" -DTAVERO_TSAN=ON -DTAVERO_QT=OFF
  mapfile -t targets < <(test_targets "$dir" ui storage)
  cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
  # storage/ has no test directory of its own: each driver folder has one.
  for folder in "$dir/ui" "$dir"/storage/*/; do
    [ -f "$folder/CTestTestfile.cmake" ] || continue
    ctest --test-dir "$folder" --output-on-failure -j "$jobs" --timeout 900
  done
}

run_fuzz() {
  echo "== fuzz: every target for ${TAVERO_FUZZ_SECONDS:-20} s from its seed corpus"
  bash "$root/scripts/fuzz.sh" "${TAVERO_FUZZ_SECONDS:-20}"
}

parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(asan tsan fuzz)
for part in "${parts[@]}"; do
  case $part in
    asan | tsan | fuzz) "run_$part" ;;
    *)
      echo "usage: $0 [asan|tsan|fuzz]..." >&2
      exit 2
      ;;
  esac
done
echo "== sanitizers and fuzzing: no findings"
