#!/usr/bin/env bash
# Fuzzes LineWindowReader::read for SECONDS (default 60): builds the libFuzzer
# target of fuzz/ on the Qt that TAILPEEK_QT names (5, 6 or auto) with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# into build-fuzz/ (or $TAILPEEK_FUZZ_BUILD_DIR), writes the seed corpus of
# tools/fuzz-seeds.py, and runs on it and on the corpus that earlier runs
# grew in build-fuzz/corpus. A crash, a sanitizer report or a broken
# invariant ends with a non-zero exit and leaves the input in
# build-fuzz/artifacts/.
set -euo pipefail
seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install-deps.sh"
build="${TAILPEEK_FUZZ_BUILD_DIR:-$root/build-fuzz}"
cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DTAILPEEK_QT="${TAILPEEK_QT:-auto}" >/dev/null
cmake --build "$build" -j"$(nproc)"
mkdir -p "$build/corpus" "$build/artifacts"
rm -rf "$build/seeds"
python3 "$root/tools/fuzz-seeds.py" "$build/seeds"

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
cd "$build"
# New inputs go into the first folder; the seeds are only read.
"$build/fuzz_linewindowreader" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=32768 -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
    "$build/corpus" "$build/seeds"
