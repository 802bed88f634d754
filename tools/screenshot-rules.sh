#!/usr/bin/env bash
# Writes docs/screenshot-rules.png through tools/screenshot.sh, with five
# highlight rules (ERROR lines on a red ground, WARN in yellow, the line
# numbers in blue, Japanese timeouts white on red, retries in purple) and
# "cache" in the ハイライト field above them.
# Usage: tools/screenshot-rules.sh [OUT.png]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/screenshot-rules.png}"
settings="$(mktemp)"
trap 'rm -f "$settings"' EXIT
# pattern regex caseSensitive foreground background wholeLine, in priority order;
# QSettings reads characters beyond ASCII in an INI file as \x escapes (タイムアウト).
rules=('\x30bf\x30a4\x30e0\x30a2\x30a6\x30c8|false|false|#ffffff|#c62828|false'
       "[WARN |false|true||#ffe14d|false"
       "#[0-9]+|true|false|#1565c0||false"
       "retrying upstream|false|false|#6a1b9a||false"
       "[ERROR]|false|true||#ffd6d6|true")
printf '\n[highlightRules]\n' > "$settings"
i=0
for rule in "${rules[@]}"; do
  i=$((i + 1))
  IFS='|' read -r pattern regex cs fg bg whole <<< "$rule"
  printf '%s\\enabled=true\n%s\\pattern="%s"\n%s\\regex=%s\n%s\\caseSensitive=%s\n' \
    "$i" "$i" "$pattern" "$i" "$regex" "$i" "$cs" >> "$settings"
  printf '%s\\foreground="%s"\n%s\\background="%s"\n%s\\wholeLine=%s\n' \
    "$i" "$fg" "$i" "$bg" "$i" "$whole" >> "$settings"
done
printf 'size=%s\n' "$i" >> "$settings"
SCREENSHOT_SETTINGS="$settings" SCREENSHOT_HIGHLIGHT=cache "$root/tools/screenshot.sh" "$out"
