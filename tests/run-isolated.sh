#!/usr/bin/env bash
# Runs one test program in surroundings of its own: a home, settings, cache and
# runtime folder under DIR, made anew at every run, so that nothing an earlier
# run (or the user's own session) left behind can change what the test sees.
# Usage: run-isolated.sh DIR PROGRAM [ARGS...]
set -euo pipefail
dir="$1"
shift
rm -rf "$dir"
mkdir -p "$dir/home" "$dir/config" "$dir/cache" "$dir/runtime"
chmod 700 "$dir/runtime"
export HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache" \
       XDG_RUNTIME_DIR="$dir/runtime"
exec "$@"
