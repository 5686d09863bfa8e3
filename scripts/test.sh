#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${TAVERO_BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen
cd "$build"
exec ctest --output-on-failure -j "${TAVERO_JOBS:-2}" --timeout 600
