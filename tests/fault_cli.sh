#!/usr/bin/env bash
# The real program given a path with Japanese characters and spaces on its
# command line, under the UTF-8 and the C locale: the title names the file and
# the view shows its lines; a missing such path gets the read warning.
# Usage: fault_cli.sh TAILPEEK X11PROBE  (run inside xvfb-run)
set -u
# The real program runs on the X server started for it, whatever platform
# the caller's environment names (CTest's Qt tests ask for offscreen).
unset QT_QPA_PLATFORM
tailpeek="$1"
PROBE="$2"
source "$(dirname "$0")/x11lib.sh"
work="$(mktemp -d)"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/VARNOK"
# Newest mode, 5 lines; the view shows the file's last lines.
printf '[General]\nsktype=1\nlinecnt=5\n' > "$XDG_CONFIG_HOME/VARNOK/Tailpeek.conf"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

dir="$work/ログ フォルダ"
mkdir -p "$dir"
printf '開始 1\n接続 2\n終了 3\n' > "$dir/記録 1 (最新).log"
expected=$'開始 1\n接続 2\n終了 3\n\n'
read -r _ view_x view_y < <(widget_positions "$XDG_CONFIG_HOME" textEdit) || { echo "probe failed"; exit 1; }

# Starts the program on $2 under locale $1 and waits for a window named $3.
start() {
  LANG="$1" LC_ALL="$1" "$tailpeek" "$2" >"$work/out" 2>&1 &
  pid=$!
  pids+=("$pid")
  wait_for_window "$3" 10
}

stop() {   # Alt+X on the main window $1; the program must end with 0
  xdotool windowfocus --sync "$1" key --clearmodifiers alt+x
  local waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
  if kill -0 "$pid" 2>/dev/null; then kill -9 "$pid"; fail "$2: did not end"; return; fi
  wait "$pid" || fail "$2: exit code $?"
}

for locale in C.UTF-8 C; do
  if ! start "$locale" "$dir/記録 1 (最新).log" "記録 1 (最新).log"; then
    fail "$locale: no window named after the file"; kill "$pid"; continue
  fi
  wid="$(window_id "記録 1 (最新).log")"
  sleep 0.5
  [ -z "$(window_id Tailpeek)" ] && pass "$locale: no warning" || fail "$locale: a warning came"
  shown="$(copy_view "$wid" "$view_x" "$view_y"; printf x)"; shown="${shown%x}"
  [ "$shown" = "$expected" ] && pass "$locale: the view shows the file" \
    || fail "$locale: view was $(printf %q "$shown")"
  stop "$wid" "$locale"
done

# A missing path of the same kind: the main window is named after it and the
# read warning (a window titled Tailpeek) comes up over it.
if start C.UTF-8 "$dir/記録 なし.log" "記録 なし.log"; then
  if wait_for_window Tailpeek 5; then
    pass "missing file: the warning came"
    xdotool windowfocus --sync "$(window_id Tailpeek)" key Return
    sleep 0.3
  else
    fail "missing file: no warning"
  fi
  stop "$(window_id "記録 なし.log")" "missing file"
else
  fail "missing file: no window named after it"
fi

echo "$failures failed"
[ $failures -eq 0 ]
