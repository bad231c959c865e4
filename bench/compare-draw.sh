#!/usr/bin/env bash
# Times Thinwick's random draw against the pipelines a user would type for the same job:
#   compare-draw.sh [FOLDERS] [FILES_PER_FOLDER]      (defaults 2000 100)
# One tree of FOLDERS x FILES_PER_FOLDER empty files is made in a temporary folder; bench_draw and
#   find DIRS -maxdepth 1 -type f ! -name '.*' | shuf -n N
#   fdfind --type f --max-depth 1 --no-ignore . DIRS | shuf -n N
# all work on that same tree, warm, for N = 1000, 100000 and 199000. Each pipeline figure is the
# median of REPS runs (default 5) after one untimed run, timed by hyperfine. The ratios compare bench_draw's draw
# (listing and sampling) with each pipeline; the last line is the largest of them.
# BUILD_DIR names a build folder holding bench_draw; without it one is configured and built in
# build-bench beside the sources.
set -euo pipefail

folders=${1:-2000}
per_folder=${2:-100}
reps=${REPS:-5}
counts=(1000 100000 199000)

for value in "$folders" "$per_folder" "$reps"; do
    if ! [[ $value =~ ^[1-9][0-9]*$ ]]; then
        echo "usage: $0 [FOLDERS] [FILES_PER_FOLDER]  (whole numbers above 0)" >&2
        exit 2
    fi
done
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
prepare_bench bench_draw "fd-find" find fdfind shuf awk xargs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/tree
mkdir "$tree"

# The same names bench_draw would make: albumNNNN/photo_NNN.jpg, zero-padded, one a line (a
# path from mktemp holds no line break).
echo "making $folders x $per_folder files in $tree" >&2
last_folder=$((folders - 1)) last_file=$((per_folder - 1))
folder_digits=${#last_folder} file_digits=${#last_file}
awk -v root="$tree" -v n="$folders" -v w="$folder_digits" \
    'BEGIN { for (f = 0; f < n; f++) printf "%s/album%0*d\n", root, w, f }' | xargs -d '\n' mkdir
awk -v root="$tree" -v n="$folders" -v p="$per_folder" -v w="$folder_digits" -v v="$file_digits" \
    'BEGIN { for (f = 0; f < n; f++) for (i = 0; i < p; i++)
                 printf "%s/album%0*d/photo_%0*d.jpg\n", root, w, f, v, i }' | xargs -d '\n' touch

total=$((folders * per_folder))

# Every folder of the tree named on the command line, as a user would type it.
find_files() { find "$tree"/* -maxdepth 1 -type f ! -name '.*'; }
fd_files() { fdfind --type f --max-depth 1 --no-ignore . "$tree"/*; }

# Both listings must hold exactly the files of the tree, or the comparison means nothing.
find_files | sort >"$work/find.list"
fd_files | sort >"$work/fd.list"
listed=$(wc -l <"$work/find.list")
if (( listed != total )); then
    echo "$0: find listed $listed files, expected $total" >&2
    exit 1
fi
if ! cmp -s "$work/find.list" "$work/fd.list"; then
    echo "$0: fdfind and find list different files" >&2
    exit 1
fi
rm "$work/find.list" "$work/fd.list"

"$bench" "$folders" "$per_folder" "$tree" | tee "$work/bench.out"

# The median time in ms of REPS runs of a command line, after one untimed run.
median_ms() { hyperfine_ms --warmup 1 --runs "$reps" "$1"; }

find_pipeline() { find_files | shuf -n "$1"; }
fd_pipeline() { fd_files | shuf -n "$1"; }
export tree
export -f find_files fd_files find_pipeline fd_pipeline

declare -A find_ms fd_ms
for n in "${counts[@]}"; do
    find_ms[$n]=$(median_ms "find_pipeline $n")
    echo "find|shuf N=$n: ${find_ms[$n]} ms"
    fd_ms[$n]=$(median_ms "fd_pipeline $n")
    echo "fd|shuf N=$n: ${fd_ms[$n]} ms"
done

worst=0
for n in "${counts[@]}"; do
    draw=$(awk -v key="thinwick draw N=$n:" 'index($0, key) == 1 { print $(NF - 1) }' "$work/bench.out")
    [[ -n $draw ]] || { echo "$0: bench_draw printed no draw time for N=$n" >&2; exit 1; }
    for tool in find fd; do
        if [[ $tool == find ]]; then pipeline=${find_ms[$n]}; else pipeline=${fd_ms[$n]}; fi
        ratio=$(awk -v a="$draw" -v b="$pipeline" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
        echo "ratio thinwick/$tool N=$n: $ratio"
        worst=$(awk -v a="$worst" -v b="$ratio" 'BEGIN { print (b > a ? b : a) }')
    done
done
echo "worst ratio thinwick/pipeline: $(awk -v a="$worst" 'BEGIN { printf "%.2f", a }')"
