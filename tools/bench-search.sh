#!/usr/bin/env bash
# Measures the file search side by side with GNU grep in the same run, page
# cache warm, grep under LC_ALL=C, and prints a table of medians and ratios.
# Writes its logs once into /tmp/tailpeek-search (ASCII, Shift-JIS, EUC-JP;
# see bench/bench_search.cpp for what they hold) and reuses them.
# Usage: tools/bench-search.sh [SIZE_MB (default 2048)] [REPETITIONS (default 5)]
# Needs the driver built: cmake --build build --target tailpeek_bench_search
set -euo pipefail
size_mb="${1:-2048}"
reps="${2:-5}"
here="$(cd "$(dirname "$0")/.." && pwd)"
driver="${TAILPEEK_BENCH_SEARCH:-$here/build/bench/tailpeek_bench_search}"
dir=/tmp/tailpeek-search
mkdir -p "$dir"
export LC_ALL=C

declare -A unique
for kind in ascii sjis eucjp; do
    file="$dir/$kind-$size_mb.log"
    if [[ ! -s "$file" || ! -s "$file.unique" ]]; then
        "$driver" generate "$kind" "$size_mb" "$file" > "$file.unique"
    fi
    unique[$kind]=$(cat "$file.unique")
    cat "$file" > /dev/null   # warm the page cache
done

# Median wall time of a command over the repetitions; its output goes to a
# file (grep stops at the first match when its output is /dev/null).
median_of() {
    local times=()
    for ((i = 0; i < reps; i++)); do
        local start end
        start=$(date +%s%N)
        "$@" > "$dir/out" || true
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (reps + 1) / 2 ))p"
}

ours() {   # the driver's own median of in-process runs, in microseconds
    "$driver" "$@" --reps "$reps" | awk '{ printf "%d\n", $1 * 1000000 }'
}

row() {   # name, our time, reference time, reference name, target
    awk -v n="$1" -v a="$2" -v b="$3" -v r="$4" -v t="$5" \
        'BEGIN { printf "| %s | %.3f s | %.3f s (%s) | %.2fx | <= %s |\n", n, a / 1e6, b / 1e6, r, a / b, t }'
}

a="$dir/ascii-$size_mb.log"
s="$dir/sjis-$size_mb.log"
e="$dir/eucjp-$size_mb.log"
jp=$(printf '決済に失敗' | iconv -f UTF-8 -t SHIFT_JIS)
jpe=$(printf '決済に失敗' | iconv -f UTF-8 -t EUC-JP)
end_a=$(( ${unique[ascii]} * 2 ))

echo "File: $size_mb MiB per log, $reps repetitions, medians; $(grep --version | head -1)"
echo
echo "| Case | Tailpeek | Reference | Ratio | Target |"
echo "|---|---|---|---|---|"
row "Next match, unique line at 37 %" "$(ours find "$a" "payment failed order=77123")" \
    "$(median_of grep -F -m1 -b "payment failed order=77123" "$a")" "grep -F -m1 -b" 1.5
row "The same, case ignored" "$(ours find "$a" "payment failed order=77123" --icase)" \
    "$(median_of grep -F -i -m1 -b "payment failed order=77123" "$a")" "grep -F -i -m1 -b" 1.5
row "Japanese, Shift-JIS" "$(ours find "$s" "決済に失敗" --codec SJIS --icase)" \
    "$(median_of grep -F -m1 "$jp" "$s")" "grep -F -m1" 2
row "Japanese, EUC-JP" "$(ours find "$e" "決済に失敗" --codec EUC-JP --icase)" \
    "$(median_of grep -F -m1 "$jpe" "$e")" "grep -F -m1" 2
row "Regex ERROR.*user=u31337" "$(ours find "$a" "ERROR.*user=u31337" --regex)" \
    "$(median_of grep -E -m1 "ERROR.*user=u31337" "$a")" "grep -E -m1" 3
forward=$(ours find "$a" "payment failed order=77123")
row "Backward from 74 % to the line at 37 %" \
    "$(ours find "$a" "payment failed order=77123" --backward --end "$end_a")" "$forward" \
    "forward from 0 %" 1.5
row "Whole list, 1 % of lines match a literal" "$(ours list "$a" "WARN")" \
    "$(median_of grep -c -F WARN "$a")" "grep -c -F" 1.5
row "Whole list, regex" "$(ours list "$a" "WARN.*slow" --regex)" \
    "$(median_of grep -c -E "WARN.*slow" "$a")" "grep -c -E" 3
