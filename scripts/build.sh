#!/usr/bin/env bash
# Configures and builds the project into build/ (or $TAVERO_BUILD_DIR).
# Extra arguments go to the CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVERO_BUILD_DIR:-$root/build}
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/Makefile" ]; then generator=(-G Ninja); fi
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "${TAVERO_JOBS:-2}"
