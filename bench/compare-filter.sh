#!/usr/bin/env bash
# Times Thinwick's name filters against grep on the same lines:
#   compare-filter.sh [ROWS]      (default 1000000)
# bench_filter makes ROWS realistic file paths (about 80 characters, some with umlauts), writes
# them to a file in a temporary folder and times, through the window offscreen,
#   RemoveItemsWith / RemoveItemsWithout   scan, removal from the delete list and summary text
#   the click on either button             the same plus the summary box
# while grep works on that file, its output going to a file:
#   grep -viF TEXT   keeps what "Remove Filenames Containing X" keeps
#   grep -iF TEXT    keeps what "Remove Filenames Not Cont. X" keeps
# grep runs in the C.UTF-8 locale, so it folds case beyond ASCII as the filters do. Each grep
# figure is the median of REPS runs (default 5, at least 5) after one untimed run, timed by
# hyperfine; bench_filter
# takes the median of 5 itself. The kept line counts must agree, or the comparison means nothing.
# The ratios compare the filter procedures (without the summary box's layout) with grep; the last
# line is the larger of the two. TEXT is "urlaub" unless FILTER_TEXT says otherwise.
# BUILD_DIR names a build folder holding bench_filter; without it one is configured and built in
# build-bench beside the sources.
set -euo pipefail

rows=${1:-1000000}
reps=${REPS:-5}
text=${FILTER_TEXT:-urlaub}
if (( $# > 1 )) || ! [[ $rows =~ ^[1-9][0-9]*$ && $reps =~ ^[1-9][0-9]*$ ]] || (( reps < 5 )); then
    echo "usage: $0 [ROWS]  (a whole number above 0; REPS at least 5)" >&2
    exit 2
fi
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
prepare_bench bench_filter "grep" grep awk sort
export LC_ALL=C.UTF-8

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lines=$work/lines.txt

"$bench" "$rows" "$lines" "$text" | tee "$work/bench.out"

# The median time in ms of REPS runs of grep OPTION TEXT on the lines, after one untimed run. The
# output goes to a file: GNU grep stops at the first match when it writes to /dev/null. A grep that
# keeps nothing exits with 1, which is no failure here.
export text lines work
grep_ms() {
    hyperfine_ms --warmup 1 --runs "$reps" --ignore-failure \
        "grep $1 -- \"\$text\" \"\$lines\" >\"\$work/out\""
}

# The figure and the kept count that bench_filter printed for one measurement.
figure() { awk -v key="thinwick $1:" 'index($0, key) == 1 { print $(NF - 4) }' "$work/bench.out"; }
kept() { awk -v key="thinwick $1:" 'index($0, key) == 1 { print $(NF - 2) }' "$work/bench.out"; }

worst=0
for pair in "RemoveItemsWith|-viF|click Remove Filenames Containing X" \
            "RemoveItemsWithout|-iF|click Remove Filenames Not Cont. X"; do
    IFS='|' read -r procedure option click <<<"$pair"
    ms=$(grep_ms "$option")
    grep_kept=$(grep -c "$option" -- "$text" "$lines" || true)
    echo "grep $option $text: $ms ms, $grep_kept lines kept"
    ours=$(figure "$procedure")
    [[ -n $ours ]] || { echo "$0: bench_filter printed no time for $procedure" >&2; exit 1; }
    if [[ $(kept "$procedure") != "$grep_kept" || $(kept "$click") != "$grep_kept" ]]; then
        echo "$0: $procedure kept $(kept "$procedure") rows, grep $option $grep_kept" >&2
        exit 1
    fi
    ratio=$(awk -v a="$ours" -v b="$ms" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    click_ratio=$(awk -v a="$(figure "$click")" -v b="$ms" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    echo "ratio thinwick/grep $procedure: $ratio (whole click: $click_ratio)"
    worst=$(awk -v a="$worst" -v b="$ratio" 'BEGIN { print (b > a ? b : a) }')
done
echo "worst ratio thinwick/grep: $(awk -v a="$worst" 'BEGIN { printf "%.2f", a }')"
