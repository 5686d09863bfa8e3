#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and starts the program, zephcol,
# in the current directory (where it keeps its data files).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${TAVERO_BUILD_DIR:-$root/build}
exec "$build/app/zephcol"
