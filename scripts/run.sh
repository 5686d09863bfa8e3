#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs the program's main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${TAVERO_BUILD_DIR:-$root/build}
exec "$build/tools/tavero" --help
