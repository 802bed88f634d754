#!/usr/bin/env bash
# The real program's first window on small screens at display scales above 1:
# with no stored geometry the window, dock included, lies inside the screen
# (checked on the X server and on a screenshot); the geometry it stores comes
# back unchanged, and so does a stored geometry that fits.
# Usage: firstwindow_test.sh TAILPEEK [SCREENSHOT-FOLDER]   (starts its own Xvfb)
set -u
# The real program runs on the X server started for it, whatever platform
# the caller's environment names (CTest's Qt tests ask for offscreen).
unset QT_QPA_PLATFORM
tailpeek="$1"
shots="${2:-}"
here="$(cd "$(dirname "$0")" && pwd)"

# One case inside its own X server: case.sh SCREEN_W SCREEN_H SCALE
if [ "${FIRSTWINDOW_CASE:-}" = 1 ]; then
  width="$3"; height="$4"; scale="$5"
  source "$here/x11lib.sh"
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  export XDG_CONFIG_HOME="$work/config" HOME="$work/home" QT_SCALE_FACTOR="$scale"
  mkdir -p "$HOME"
  conf="$XDG_CONFIG_HOME/VARNOK/Tailpeek.conf"
  failures=0
  fail() { echo "FAIL ($width x $height, scale $scale): $*"; failures=$((failures + 1)); }
  pass() { echo "ok ($width x $height, scale $scale): $*"; }

  # Starts the program; its window's "X Y W H" in screen pixels go to $work/geom.
  start() {
    "$tailpeek" >"$work/out" 2>&1 &
    pid=$!
    wait_for_window Tailpeek 10 || { fail "no window: $(tail -3 "$work/out")"; kill "$pid" 2>/dev/null; return 1; }
    sleep 1
    wid="$(window_id Tailpeek)"
    xwininfo -id "$wid" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
                               /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }' >"$work/geom"
  }
  stop() {
    xdotool windowfocus --sync "$wid" key --clearmodifiers alt+x
    local waited=0
    while kill -0 "$pid" 2>/dev/null && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
    kill -0 "$pid" 2>/dev/null && { kill -9 "$pid"; fail "Alt+X did not end it"; }
    wait "$pid" 2>/dev/null
  }
  stored() { grep -E '^(pos|size)=' "$conf" | sort | tr '\n' ' '; }
  # Equal within the rounding of one scaled pixel.
  near() { [ $(( $1 > $2 ? $1 - $2 : $2 - $1 )) -le 2 ]; }

  start || exit 1
  read -r x y w h < "$work/geom"
  if [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$width" ] && [ $((y + h)) -le "$height" ]; then
    pass "first window $w x $h at $x,$y inside the screen"
  else
    fail "first window $w x $h at $x,$y is not inside the screen"
  fi
  # The dock is the window's right-hand strip between the menu and status bars.
  # On the screenshot it must be drawn there: a strip of the X root or of
  # nothing has one or two colours, controls with their captions have many.
  shot="$work/first.png"
  import -window root "$shot"
  strip_w=$(awk "BEGIN { printf \"%d\", 120 * $scale }")
  strip_y=$((y + h / 8)); strip_h=$((h * 3 / 4))
  colours=$(convert "$shot" -crop "${strip_w}x${strip_h}+$((x + w - strip_w))+${strip_y}" +repage -format %k info:)
  [ "${colours:-0}" -ge 16 ] && pass "dock drawn inside the screen ($colours colours)" \
    || fail "no dock drawn at the window's right edge ($colours colours)"
  [ -n "$shots" ] && cp "$shot" "$shots/firstwindow-${width}x${height}-${scale}.png"
  stop
  first="$(stored)"

  start || exit 1
  read -r x2 y2 w2 h2 < "$work/geom"
  { near "$x2" "$x" && near "$y2" "$y" && near "$w2" "$w" && near "$h2" "$h"; } \
    && pass "the stored first geometry comes back" || fail "came back as $w2 x $h2 at $x2,$y2, not $w x $h at $x,$y"
  stop
  [ "$(stored)" = "$first" ] && pass "stored again unchanged" || fail "stored $(stored), was $first"

  # A stored geometry that fits, in another place: restored as it is.
  size_line="$(grep '^size=' "$conf")"
  sed -i 's/^pos=.*/pos=@Point(0 0)/' "$conf"
  moved="$(stored)"
  start || exit 1
  read -r x3 y3 w3 h3 < "$work/geom"
  { near "$x3" 0 && near "$y3" 0 && near "$w3" "$w" && near "$h3" "$h"; } \
    && pass "a stored geometry that fits is restored" || fail "$size_line at 0,0 came back as $w3 x $h3 at $x3,$y3"
  stop
  [ "$(stored)" = "$moved" ] && pass "and stored unchanged" || fail "stored $(stored), was $moved"
  exit $((failures > 0))
fi

status=0
for screen in "1600 1000 2" "1366 768 1.25" "1280 800 1"; do
  set -- $screen
  FIRSTWINDOW_CASE=1 xvfb-run -a -n 131 -s "-screen 0 ${1}x${2}x24 -noreset" \
    bash "$0" "$tailpeek" "$shots" "$1" "$2" "$3" || status=1
done
exit $status
