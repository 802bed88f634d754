#!/usr/bin/env bash
# Appends log lines to FILE (default demo.log) several times a second until it
# is killed: mixed levels, some Japanese text, each line numbered.
set -u
log="${1:-demo.log}"
rate="${2:-5}"     # lines per second
levels=(INFO INFO INFO DEBUG WARN ERROR)
messages=("request served" "cache miss" "接続を受け付けました" "disk usage 71%"
          "タイムアウトしました" "retrying upstream" "ユーザーがログインしました")
n=0
: >> "$log"
while true; do
  n=$((n + 1))
  level=${levels[$((RANDOM % ${#levels[@]}))]}
  msg=${messages[$((RANDOM % ${#messages[@]}))]}
  printf '%s [%-5s] #%06d %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$level" "$n" "$msg" >> "$log"
  sleep "$(awk "BEGIN { print 1 / $rate }")"
done
