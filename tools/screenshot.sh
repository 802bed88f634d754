#!/usr/bin/env bash
# Writes docs/screenshot.png: the viewer under Xvfb following the demo log
# (tools/demo-writer.sh) in newest mode with "WARN" highlighted (extract mode
# off), status line included. Needs a build with x11probe (tools/build.sh).
# SCREENSHOT_HIGHLIGHT replaces "WARN"; SCREENSHOT_SETTINGS names a file whose
# settings are added to the viewer's (tools/screenshot-rules.sh uses both).
# Usage: tools/screenshot.sh [OUT.png]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAILPEEK_BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshot.png}"

if [ "${SCREENSHOT_INSIDE_X:-}" != 1 ]; then
  SCREENSHOT_INSIDE_X=1 exec xvfb-run -a -n 141 -s "-screen 0 1280x800x24 -noreset" bash "$0" "$out"
fi

PROBE="$build/tests/x11probe"
source "$root/tests/x11lib.sh"
work="$(mktemp -d)"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/VARNOK"
conf="$XDG_CONFIG_HOME/VARNOK/Tailpeek.conf"
printf '[General]\npos=@Point(0 0)\nsize=@Size(1000 560)\nsktype=1\nlinecnt=30\nchmode=false\n' > "$conf"
if [ -n "${SCREENSHOT_SETTINGS:-}" ]; then cat "$SCREENSHOT_SETTINGS" >> "$conf"; fi

"$root/tools/demo-writer.sh" "$work/demo.log" 8 & pids+=($!)
sleep 2
read -r _ track_x track_y < <(widget_positions "$XDG_CONFIG_HOME" pushButton_2)
read -r _ field_x field_y < <(widget_positions "$XDG_CONFIG_HOME" lineEdit)
"$build/tailpeek" "$work/demo.log" & pids+=($!)
wait_for_window demo.log 10
wid="$(window_id demo.log)"
click_at "$wid" "$track_x" "$track_y"              # 最新追跡
click_at "$wid" "$field_x" "$field_y"
xdotool type --window "$wid" "${SCREENSHOT_HIGHLIGHT:-WARN}"
xdotool key --window "$wid" Return                 # Enter applies the highlight
sleep 3
import -window "$wid" "$out"
echo "wrote $out" >&2
