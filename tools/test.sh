#!/usr/bin/env bash
# Installs what is missing, builds Tailpeek with its tests, and runs them all
# with CTest (Qt tests on the offscreen platform; the whole-program tests start
# their own Xvfb).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/build.sh"
build="${TAILPEEK_BUILD_DIR:-$root/build}"
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
