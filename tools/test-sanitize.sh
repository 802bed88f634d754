#!/usr/bin/env bash
# Builds Tailpeek with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ (or $TAILPEEK_ASAN_BUILD_DIR) with the Qt that TAILPEEK_QT names
# (5, 6 or auto) and runs the ordinary tests there.
# Any sanitizer report ends the process that made it with a failure, so the
# test that ran it fails. Extra arguments go to ctest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install-deps.sh"
build="${TAILPEEK_ASAN_BUILD_DIR:-$root/build-asan}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTAILPEEK_SANITIZE=ON -DTAILPEEK_BUILD_BENCH=OFF -DTAILPEEK_QT="${TAILPEEK_QT:-auto}" >/dev/null
cmake --build "$build" -j"$(nproc)"

# halt_on_error: the first report ends the process (UBSan is built with
# -fno-sanitize-recover, so it stops on its first report too).
# detect_leaks: leaks are reported at exit; tests/lsan.supp names the few that
# belong to the system's Qt and D-Bus libraries, never our code.
export ASAN_OPTIONS="halt_on_error=1:exitcode=23:detect_leaks=1:check_initialization_order=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0:exitcode=23${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=23${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# The program draws nothing with OpenGL. Under Xvfb Qt's xcb GL integration
# would load Mesa's GLX driver, which leaks an object from a library without
# symbols that no suppression can name; this keeps Qt from loading it.
export QT_XCB_GL_INTEGRATION=none
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
