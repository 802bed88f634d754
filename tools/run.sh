#!/usr/bin/env bash
# Installs, builds the program alone (tools/test.sh builds the tests and
# benchmarks) and starts the viewer on FILE. Without FILE it starts on a demo
# log in a temporary folder that a background writer keeps appending to, so
# the viewer can be seen following a growing file.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
TAILPEEK_TARGETS=tailpeek "$root/tools/build.sh"
build="${TAILPEEK_BUILD_DIR:-$root/build}"

if [ $# -gt 0 ]; then
  exec "$build/tailpeek" "$@"
fi

demo="$(mktemp -d)"
log="$demo/demo.log"
"$root/tools/demo-writer.sh" "$log" &
writer=$!
trap 'kill $writer 2>/dev/null || true; rm -rf "$demo"' EXIT
sleep 0.3
echo "tailpeek: following $log (press 最新追跡 to track it)" >&2
"$build/tailpeek" "$log"
