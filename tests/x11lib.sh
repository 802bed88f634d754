# Shell functions for driving the real program under Xvfb with xdotool.
# Sourced by tests/fault_cli.sh and tools/soak.sh. Needs PROBE (x11probe).

# The id of the program's top-level window named $1.
window_id() {
  xwininfo -root -tree | awk -v pat="\"$1\": (\"tailpeek\" \"Tailpeek\")" 'index($0, pat) { print $1; exit }'
}

# Waits up to $2 seconds for a window of the program named $1.
wait_for_window() {
  local i
  for i in $(seq 1 $(( $2 * 10 ))); do
    [ -n "$(window_id "$1")" ] && return 0
    sleep 0.1
  done
  return 1
}

# Prints "NAME X Y" for each widget name, from a window built with a copy of
# the settings in $1 (the probe's window stores its settings when it goes).
widget_positions() {
  local config="$1"; shift
  local copy; copy="$(mktemp -d)"
  cp -r "$config/." "$copy/"
  XDG_CONFIG_HOME="$copy" "$PROBE" positions "$@"
  local rc=$?
  rm -rf "$copy"
  return $rc
}

# Clicks at window coordinates X Y of window WID.
click_at() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# Selects the whole view (at X Y of window WID), copies it, prints the clipboard.
copy_view() {
  click_at "$1" "$2" "$3"
  xdotool windowfocus --sync "$1" key --clearmodifiers ctrl+a ctrl+c
  sleep 0.3
  "$PROBE" clipboard
}
