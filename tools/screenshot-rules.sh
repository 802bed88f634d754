#!/usr/bin/env bash
# Writes docs/screenshot-rules.png: the viewer under Xvfb following the demo log
# (tools/demo-writer.sh) in newest mode with five highlight rules (ERROR lines
# on a red ground, WARN in yellow, the line numbers in blue, Japanese timeouts
# white on red, retries in purple) and "cache" in the ハイライト field above
# them. Needs a build with x11probe (tools/build.sh).
# Usage: tools/screenshot-rules.sh [OUT.png]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAILPEEK_BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshot-rules.png}"

if [ "${SCREENSHOT_INSIDE_X:-}" != 1 ]; then
  SCREENSHOT_INSIDE_X=1 exec xvfb-run -a -n 143 -s "-screen 0 1280x800x24 -noreset" bash "$0" "$out"
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
# pattern regex caseSensitive foreground background wholeLine, in priority order;
# QSettings reads characters beyond ASCII in an INI file as \x escapes (タイムアウト).
rules=('\x30bf\x30a4\x30e0\x30a2\x30a6\x30c8|false|false|#ffffff|#c62828|false'
       "[WARN |false|true||#ffe14d|false"
       "#[0-9]+|true|false|#1565c0||false"
       "retrying upstream|false|false|#6a1b9a||false"
       "[ERROR]|false|true||#ffd6d6|true")
printf '\n[highlightRules]\n' >> "$conf"
i=0
for rule in "${rules[@]}"; do
  i=$((i + 1))
  IFS='|' read -r pattern regex cs fg bg whole <<< "$rule"
  printf '%s\\enabled=true\n%s\\pattern="%s"\n%s\\regex=%s\n%s\\caseSensitive=%s\n' \
    "$i" "$i" "$pattern" "$i" "$regex" "$i" "$cs" >> "$conf"
  printf '%s\\foreground="%s"\n%s\\background="%s"\n%s\\wholeLine=%s\n' \
    "$i" "$fg" "$i" "$bg" "$i" "$whole" >> "$conf"
done
printf 'size=%s\n' "$i" >> "$conf"

"$root/tools/demo-writer.sh" "$work/demo.log" 8 & pids+=($!)
sleep 2
read -r _ track_x track_y < <(widget_positions "$XDG_CONFIG_HOME" pushButton_2)
read -r _ field_x field_y < <(widget_positions "$XDG_CONFIG_HOME" lineEdit)
"$build/tailpeek" "$work/demo.log" & pids+=($!)
wait_for_window demo.log 10
wid="$(window_id demo.log)"
click_at "$wid" "$track_x" "$track_y"              # 最新追跡
click_at "$wid" "$field_x" "$field_y"
xdotool type --window "$wid" cache
xdotool key --window "$wid" Return                 # Enter applies the highlight
sleep 3
import -window "$wid" "$out"
echo "wrote $out" >&2
