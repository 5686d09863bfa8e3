#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${TAVERO_BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen
# Tests that check output with an outside tool (wmf2svg, pdfinfo) fail here
# when the tool is missing; run by hand they skip.
export TAVERO_REQUIRE_TOOLS=1
cd "$build"
exec ctest --output-on-failure -j "${TAVERO_JOBS:-2}" --timeout 600
