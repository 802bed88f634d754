#!/usr/bin/env bash
# The real program under Xvfb, driven as a user would: which argument it takes,
# its own options, what the title shows, and that Alt+X ends it with exit code
# 0 and stores the settings. Usage: cli_test.sh TAILPEEK [SCREENSHOT.png]
# (run inside xvfb-run; TAILPEEK_VERSION names the version --version prints)
set -u
# The real program runs on the X server started for it, whatever platform
# the caller's environment names (CTest's Qt tests ask for offscreen).
unset QT_QPA_PLATFORM
tailpeek="$1"
shot="${2:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME"
failures=0
passes=0
display="${DISPLAY:-}"

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }

# The names of the program's top-level windows, as the X server has them.
window_names() { xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "\(.*\)": ("tailpeek" "Tailpeek").*/\1/p'; }

window_id() {   # the id of the program's window named $1
  xwininfo -root -tree | awk -v pat="\"$1\": (\"tailpeek\" \"Tailpeek\")" 'index($0, pat) { print $1; exit }'
}

wait_for_window() {   # name, seconds
  local i
  for i in $(seq 1 $(( $2 * 10 ))); do
    window_names | grep -qxF -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Runs the program with the given arguments, waits for a window named $1,
# optionally takes a screenshot, sends Alt+X, and checks the exit code.
check_run() {
  local expect="$1" what="$2"; shift 2
  "$tailpeek" "$@" >"$work/out" 2>&1 &
  local pid=$!
  if ! wait_for_window "$expect" 10; then
    fail "$what: no window named '$expect' (have: $(window_names | tr '\n' '|'))"
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    return
  fi
  if [ -n "$shot" ] && [ "$what" = "screenshot" ]; then
    sleep 1.5
    import -window root "$shot"
  fi
  local wid
  wid="$(window_id "$expect")"
  xdotool windowfocus --sync "$wid" key --clearmodifiers alt+x
  local waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
  if kill -0 "$pid" 2>/dev/null; then
    fail "$what: Alt+X did not end the program"; kill -9 "$pid"; wait "$pid" 2>/dev/null; return
  fi
  wait "$pid"; local rc=$?
  [ $rc -eq 0 ] && pass "$what (exit 0)" || fail "$what: exit code $rc"
}

printf 'line one\nline two\n' > "$work/first.log"
printf 'other\n' > "$work/second.log"
mkdir -p "$work/ログ フォルダ"
printf '日本語の行\n' > "$work/ログ フォルダ/記録 1.log"

check_run "Tailpeek" "no argument: no file name in the title"
[ -f "$XDG_CONFIG_HOME/VARNOK/Tailpeek.conf" ] && pass "settings stored on exit" || fail "no settings file after exit"
check_run "first.log" "one file" "$work/first.log"
check_run "first.log" "two files: only the first" "$work/first.log" "$work/second.log"
check_run "first.log" "toolkit option before the file" -style fusion "$work/first.log"
check_run "記録 1.log" "Japanese path with a space" "$work/ログ フォルダ/記録 1.log"
printf 'dash\n' > "$work/-dash.log"
check_run "-dash.log" "-- ends the options" -- "$work/-dash.log"

# The program's own options. --help and --version need no display at all.
check_option() {   # what, stdout pattern (grep -E), args...: exit code 0 expected
  local what="$1" out="$2"; shift 2
  DISPLAY= timeout 20 "$tailpeek" "$@" >"$work/stdout" 2>"$work/stderr"; local rc=$?
  if [ $rc -ne 0 ]; then fail "$what: exit code $rc"
  elif ! grep -qE -- "$out" "$work/stdout"; then fail "$what: stdout '$(head -c 200 "$work/stdout")'"
  else pass "$what"; fi
}
check_option "--help" '^使い方: tailpeek' --help
grep -q 'Tailpeek.conf' "$work/stdout" && grep -q 'Ctrl+O' "$work/stdout" \
  && pass "--help names the settings file and the keys" || fail "--help lacks the settings file or the keys"
[ -s "$work/stderr" ] && fail "--help wrote to stderr" || pass "--help: nothing on stderr"
check_option "--version" "^tailpeek ${TAILPEEK_VERSION:-1.0.0}\$" --version
[ "$(wc -l <"$work/stdout")" -eq 1 ] && pass "--version: one line" || fail "--version: $(cat "$work/stdout")"
# An unknown option is refused once the toolkit has taken its own: it needs the display.
DISPLAY="$display" timeout 20 "$tailpeek" -style fusion --bogus "$work/first.log" >"$work/stdout" 2>"$work/stderr"; rc=$?
[ $rc -eq 2 ] && grep -q -- '--bogus' "$work/stderr" && [ ! -s "$work/stdout" ] \
  && pass "unknown option: exit 2 and a message" || fail "unknown option: exit $rc, stderr '$(cat "$work/stderr")'"
if [ -n "$shot" ]; then
  "$(dirname "$0")/../tools/demo-writer.sh" "$work/demo.log" 20 & writer=$!
  sleep 0.5
  check_run "demo.log" "screenshot" "$work/demo.log"
  kill "$writer"
fi

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
