#!/usr/bin/env bash
# Times "1. Add All Subfolders In Folder" against the command a user would type to list a tree's
# folders, on trees of 20000 and 100000 folders:
#   compare-walk.sh [FOLDERS...]      (default 20000 100000)
# For each size bench_walk makes a tree (5 to 10 subfolders per folder, at most 6 levels, one empty
# file in each folder) in a temporary folder removed at the end, or in TREE_DIR/FOLDERS when
# TREE_DIR is set (made once, kept for later runs), and waits 2.5 s after making it: a folder
# changed within the last 2 s is listed again by every rebuild, which an archive made earlier is
# not. On the tree, warm, it times:
#   the plain readdir walk (one thread), Thinwick's walk alone, and the whole click as a user first
#   makes it (walk listing every folder, rows, rebuild, repaint) with the longest stretch without
#   a message-loop pass, each click beside a plain walk (the click's ratio to the plain walk is
#   taken from those pairs); then the click again with the listings of the last rebuild kept
#   find TREE -type d
#   fdfind --type d --unrestricted . TREE
# and, when strace is there, the system calls per folder of the plain walk and Thinwick's walk.
# Each figure is the median of REPS runs (default 5) after one untimed run, the commands timed by
# hyperfine. The last line is the click's ratio to find on the largest tree.
# BUILD_DIR names a build folder holding bench_walk; without it one is configured and built in
# build-bench beside the sources.
set -euo pipefail

sizes=("$@")
((${#sizes[@]} > 0)) || sizes=(20000 100000)
reps=${REPS:-5}
for value in "${sizes[@]}" "$reps"; do
    if ! [[ $value =~ ^[1-9][0-9]*$ ]]; then
        echo "usage: $0 [FOLDERS...]  (whole numbers above 0)" >&2
        exit 2
    fi
done
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
prepare_bench bench_walk "fd-find" find fdfind awk

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The median time in ms of REPS runs of a command line, after one untimed run.
median_ms() { hyperfine_ms --warmup 1 --runs "$reps" "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
# System calls per folder of one walk: bench_walk --once WHAT, less its start-up (--once none).
calls_per_folder() {
    local what=$1 tree=$2 folders=$3 calls base
    count() { strace -f -c -o "$work/strace" "$bench" --once "$1" "$tree" >/dev/null &&
        awk '$NF == "total" { print $4 }' "$work/strace"; }
    calls=$(count "$what") base=$(count none)
    awk -v a="$calls" -v b="$base" -v n="$folders" 'BEGIN { printf "%.2f", (a - b) / n }'
}

for folders in "${sizes[@]}"; do
    echo "== $folders folders"
    if [[ -n ${TREE_DIR:-} ]]; then
        tree=$TREE_DIR/$folders
    else
        tree=$work/tree-$folders
    fi
    "$bench" "$folders" "$tree" | tee "$work/bench.out"

    # All three must see the same folders, or the comparison means nothing.
    found=$(awk -F': ' '/^folders found:/ { print $2 }' "$work/bench.out")
    by_find=$(find "$tree" -type d | wc -l)
    by_fd=$(($(fdfind --type d --unrestricted . "$tree" | wc -l) + 1)) # fdfind leaves out the top
    # shellcheck disable=SC2055 # either count differing is a failure
    if [[ $found != "$by_find" || $found != "$by_fd" ]]; then
        echo "$0: folders found: thinwick $found, find $by_find, fdfind $by_fd" >&2
        exit 1
    fi

    export tree
    # shellcheck disable=SC2016 # $tree expands in hyperfine's shell
    find_ms=$(median_ms 'find "$tree" -type d')
    echo "find -type d: $find_ms ms"
    # shellcheck disable=SC2016
    fd_ms=$(median_ms 'fdfind --type d --unrestricted . "$tree"')
    echo "fdfind --type d: $fd_ms ms"
    if command -v strace >/dev/null; then
        echo "system calls per folder: plain walk $(calls_per_folder plain "$tree" "$found")," \
            "thinwick walk $(calls_per_folder walk "$tree" "$found")"
    fi

    figure() { awk -v key="$1:" 'index($0, key) == 1 { print $(NF - 1) }' "$work/bench.out"; }
    plain=$(figure "plain readdir walk")
    walk=$(figure "thinwick walk")
    click=$(figure "thinwick click")
    kept=$(figure "thinwick click, listings kept")
    [[ -n $plain && -n $walk && -n $click ]] || {
        echo "$0: bench_walk printed no walk or click time" >&2
        exit 1
    }
    echo "ratio thinwick walk/plain walk: $(ratio "$walk" "$plain")"
    beside=$(figure "plain readdir walk beside the click")
    echo "ratio thinwick click/plain walk: $(ratio "$click" "${beside:-$plain}")"
    echo "ratio thinwick click with listings kept/find: $(ratio "$kept" "$find_ms")"
    last="ratio thinwick click/find: $(ratio "$click" "$find_ms")"
    echo "$last"
done
# The largest tree's figure once more, as the last line.
echo "$last"
