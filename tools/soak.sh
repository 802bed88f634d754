#!/usr/bin/env bash
# Soak run: the real program follows a log that a writer appends to at 1,000
# lines a second, in newest mode at 0.5 s (the 最新追跡 button), with the
# highlight text "ERROR" and extract mode on, for SECONDS (default 600).
# Passes when no sanitizer report appears, the program still follows at the
# end (the view holds only recent ERROR lines), it exits with 0 on Alt+X, and
# its resident memory after the warm-up (60 s, or a third of a shorter run)
# grows by no more than 10 MiB. Prints the memory figures.
#
# Usage: tools/soak.sh [SECONDS]
# By default it builds the program with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ first. TAILPEEK_SOAK_PROGRAM and
# TAILPEEK_SOAK_PROBE name a program and its x11probe helper to use instead
# (the 30-second test of the ordinary suite does so).
set -euo pipefail
# The real program runs on the X server started for it, whatever platform
# the caller's environment names (CTest's Qt tests ask for offscreen).
unset QT_QPA_PLATFORM
seconds="${1:-600}"
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -n 121 -s "-screen 0 1280x800x24 -noreset" "$0" "$@"
fi

program="${TAILPEEK_SOAK_PROGRAM:-}"
PROBE="${TAILPEEK_SOAK_PROBE:-}"
if [ -z "$program" ]; then
  "$root/tools/install-deps.sh"
  build="${TAILPEEK_ASAN_BUILD_DIR:-$root/build-asan}"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTAILPEEK_SANITIZE=ON -DTAILPEEK_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" --target tailpeek x11probe >/dev/null
  program="$build/tailpeek"
  PROBE="$build/tests/x11probe"
fi
source "$root/tests/x11lib.sh"

work="$(mktemp -d)"
writer=""
pid=""
cleanup() {
  [ -n "$writer" ] && kill "$writer" 2>/dev/null
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/VARNOK"
# Newest mode, 500 lines, extract mode on; the rest is set through the window.
printf '[General]\nsktype=1\nlinecnt=500\nchmode=true\n' > "$XDG_CONFIG_HOME/VARNOK/Tailpeek.conf"

# Same report options as tools/test-sanitize.sh (they do nothing in a build
# without sanitizers). AddressSanitizer keeps freed memory in a quarantine
# (256 MiB by default) to catch uses after free; at this rate it fills over
# minutes and would read as growth, so it is held at 16 MiB here.
export ASAN_OPTIONS="halt_on_error=1:exitcode=23:detect_leaks=1:quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0:exitcode=23${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=23${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export QT_XCB_GL_INTEGRATION=none

log="$work/soak.log"
: > "$log"
count="$work/written"
# 1,000 lines a second: 50 lines every 50 ms, paced by the clock; every tenth
# line is an ERROR line. The number of lines written goes to $count.
write_lines() {
  local n=0 batch=0 start now wait i
  local -a args
  start=${EPOCHREALTIME/./}
  while true; do
    args=()
    for ((i = 0; i < 50; i++)); do
      n=$((n + 1))
      if ((n % 10 == 0)); then
        args+=("$n" ERROR "接続がタイムアウトしました upstream=10.0.0.$((n % 256))")
      else
        args+=("$n" INFO "request served 処理完了 bytes=$((n * 7 % 65536))")
      fi
    done
    printf '2024-06-01 12:00:00 #%07d [%-5s] %s\n' "${args[@]}" >> "$log"
    # Renamed into place: a writer stopped mid-write leaves the last count, never an empty one.
    echo "$n" > "$count.new" && mv "$count.new" "$count"
    batch=$((batch + 1))
    now=${EPOCHREALTIME/./}
    wait=$((start + batch * 50000 - now))
    ((wait > 0)) && sleep "0.$(printf '%06d' "$wait")"
  done
}
write_lines &
writer=$!

"$program" "$log" > "$work/stderr" 2>&1 &
pid=$!
wait_for_window soak.log 30 || { echo "soak: no window"; cat "$work/stderr"; exit 1; }
wid="$(window_id soak.log)"
positions="$(widget_positions "$XDG_CONFIG_HOME" pushButton_2 lineEdit textEdit)"
pos() { awk -v n="$1" '$1 == n { print $2, $3 }' <<<"$positions"; }
# 最新追跡 (newest mode, 0.5 s), then the highlight text.
click_at "$wid" $(pos pushButton_2)
click_at "$wid" $(pos lineEdit)
xdotool windowfocus --sync "$wid" type --delay 50 ERROR

warmup=$((seconds / 3 < 60 ? seconds / 3 : 60))
samples="$work/rss"
start=$SECONDS
while (( SECONDS - start < seconds )); do
  kill -0 "$pid" 2>/dev/null || { echo "soak: the program ended early"; cat "$work/stderr"; exit 1; }
  echo "$((SECONDS - start)) $(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")" >> "$samples"
  sleep 5
done

# Still following: once the writer stops, the next reload shows the file's
# end, only ERROR lines, the newest of them the last one written. (The writer
# stops first so that no reload replaces the view between select and copy.)
kill "$writer"; wait "$writer" 2>/dev/null || true; writer=""
sleep 1.5
written="$(cat "$count")"
shown="$(copy_view "$wid" $(pos textEdit))"
failures=0
newest="$(grep -o '#[0-9]*' <<<"$shown" | tr -d '#' | sed 's/^0*//' | sort -n | tail -1)"
others="$(grep -v '^$' <<<"$shown" | grep -vc 'ERROR' || true)"
if [ -z "$newest" ] || (( newest < written - written % 10 || newest > written + 50 )); then
  echo "soak: not following (newest line shown: ${newest:-none}, written: $written)"; failures=1
fi
if (( others > 0 )); then echo "soak: $others lines without ERROR in extract mode"; failures=1; fi

xdotool windowfocus --sync "$wid" key --clearmodifiers alt+x
for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "soak: Alt+X did not end the program"; exit 1; fi
rc=0; wait "$pid" || rc=$?; pid=""
if [ $rc -ne 0 ]; then echo "soak: exit code $rc"; failures=1; fi
if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: .*Sanitizer' "$work/stderr"; then
  echo "soak: sanitizer report:"; cat "$work/stderr"; failures=1
fi

# Memory: the sample at the end of the warm-up against every later one.
read -r base_t base < <(awk -v w="$warmup" '$1 >= w { print; exit }' "$samples")
read -r first_t first < <(head -1 "$samples")
read -r end_t end < <(tail -1 "$samples")
peak="$(awk -v w="$warmup" '$1 >= w && $2 > m { m = $2 } END { print m }' "$samples")"
echo "soak: ${seconds} s, $written lines written, newest shown #$newest"
echo "soak: VmRSS first sample ${first} KiB (${first_t} s), after warm-up ${base} KiB (${base_t} s)," \
     "peak after warm-up ${peak} KiB, end ${end} KiB (${end_t} s)"
echo "soak: growth after warm-up $((peak - base)) KiB (limit 10240 KiB)"
if (( peak - base > 10240 )); then echo "soak: resident memory grew"; failures=1; fi
if [ -n "${TAILPEEK_SOAK_SAMPLES:-}" ]; then cp "$samples" "$TAILPEEK_SOAK_SAMPLES"; fi
[ $failures -eq 0 ] && echo "soak: passed"
exit $failures
