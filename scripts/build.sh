#!/usr/bin/env bash
# Configures and builds the project into build/ (or $TAVERO_BUILD_DIR).
# Extra arguments go to the CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVERO_BUILD_DIR:-$root/build}
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/Makefile" ]; then generator=(-G Ninja); fi
# Through ccache when the machine has it (CMAKE_CXX_COMPILER_LAUNCHER in the
# environment still decides when set).
launcher=()
if command -v ccache >/dev/null 2>&1 && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j "${TAVERO_JOBS:-2}"
