#!/usr/bin/env bash
# Times Thinwick's subfolder walk against the commands a user would type to list a tree's folders:
#   compare-walk.sh [FOLDERS]      (default 20000)
# bench_walk makes one tree of FOLDERS folders (5 to 10 subfolders each, at most 6 levels, one
# empty file in each) in a temporary folder and times the walk alone and the whole
# "1. Add All Subfolders In Folder" click (walk, rows, rebuild) in an offscreen window; then
#   find TREE -type d
#   fdfind --type d --unrestricted . TREE
# run on the same tree, warm. Each figure is the median of REPS runs (default 5) after one untimed
# run, the commands timed by hyperfine. The last line is the walk's ratio to find.
# BUILD_DIR names a build folder holding bench_walk; without it one is configured and built in
# build-bench beside the sources.
set -euo pipefail

folders=${1:-20000}
reps=${REPS:-5}
for value in "$folders" "$reps"; do
    if ! [[ $value =~ ^[1-9][0-9]*$ ]]; then
        echo "usage: $0 [FOLDERS]  (a whole number above 0)" >&2
        exit 2
    fi
done
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
prepare_bench bench_walk "fd-find" find fdfind awk

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/tree

"$bench" "$folders" "$tree" | tee "$work/bench.out"

# All three must see the same folders, or the comparison means nothing.
found=$(awk -F': ' '/^folders found:/ { print $2 }' "$work/bench.out")
by_find=$(find "$tree" -type d | wc -l)
by_fd=$(( $(fdfind --type d --unrestricted . "$tree" | wc -l) + 1 )) # fdfind leaves out the top
# shellcheck disable=SC2055 # either count differing is a failure
if [[ $found != "$by_find" || $found != "$by_fd" ]]; then
    echo "$0: folders found: thinwick $found, find $by_find, fdfind $by_fd" >&2
    exit 1
fi

# The median time in ms of REPS runs of a command line, after one untimed run.
median_ms() { hyperfine_ms --warmup 1 --runs "$reps" "$1"; }
export tree
# shellcheck disable=SC2016 # $tree expands in hyperfine's shell
find_ms=$(median_ms 'find "$tree" -type d')
echo "find -type d: $find_ms ms"
# shellcheck disable=SC2016
fd_ms=$(median_ms 'fdfind --type d --unrestricted . "$tree"')
echo "fdfind --type d: $fd_ms ms"

figure() { awk -v key="thinwick $1:" 'index($0, key) == 1 { print $(NF - 1) }' "$work/bench.out"; }
walk=$(figure walk)
click=$(figure click)
[[ -n $walk && -n $click ]] || { echo "$0: bench_walk printed no walk or click time" >&2; exit 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
echo "walk per folder: $(awk -v a="$walk" -v n="$found" 'BEGIN { printf "%.2f", a * 1000 / n }') us"
echo "ratio thinwick walk/fdfind: $(ratio "$walk" "$fd_ms")"
echo "ratio thinwick click/find: $(ratio "$click" "$find_ms")"
echo "worst ratio thinwick/find: $(ratio "$walk" "$find_ms")"
