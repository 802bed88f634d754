#!/usr/bin/env bash
# Installs what is missing, then configures and builds Tailpeek into build/
# (or $TAILPEEK_BUILD_DIR) with the Qt that TAILPEEK_QT names: 5, 6 or auto
# (the default: Qt 6 when it is there, else Qt 5). Extra arguments go to
# cmake's configure step. $TAILPEEK_TARGETS names the targets to build
# (default: all of them, the tests and benchmarks included).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install-deps.sh"
build="${TAILPEEK_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAILPEEK_QT="${TAILPEEK_QT:-auto}" "$@" >/dev/null
# shellcheck disable=SC2086  # a list of target names
cmake --build "$build" -j"$(nproc)" ${TAILPEEK_TARGETS:+--target $TAILPEEK_TARGETS}
