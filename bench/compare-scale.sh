#!/usr/bin/env bash
# Times Thinwick's full rebuild of the delete list and its summary at scale, side by side with
# the pipelines a user would type for the same draw:
#   compare-scale.sh [FOLDERS] [PER_FOLDER]      (defaults 10000 100: a million files)
# The tree of FOLDERS x PER_FOLDER empty files is made once in TREE_DIR (default
# /tmp/thinwick-scale-FOLDERSxPER_FOLDER) and reused by later runs; remove it when done. For
# N = 1000, 100000 and 1000000 it runs, warm, on the same tree:
#   bench_scale TREE N                 the Generate button: every folder listed, the draw, both
#                                      controls filled and painted, offscreen
#   find TREE -mindepth 2 -maxdepth 2 -type f ! -name '.*' | shuf -n N
#   fdfind --type f --min-depth 2 --max-depth 2 --no-ignore . TREE | shuf -n N
# Each time is the median of REPS runs (default 3) after one untimed run (the commands timed by
# hyperfine), each with its peak resident memory (the largest process of a pipeline); the memory
# ratio is the one of the largest N. Then "100000" is typed into the number box
# key by key (six rebuilds). The last lines are the typing time and the worst ratio of a
# Thinwick rebuild to find | shuf. BUILD_DIR names a build folder holding bench_scale; without it
# one is configured and built in build-bench beside the sources.
set -euo pipefail

folders=${1:-10000}
per_folder=${2:-100}
reps=${REPS:-3}
counts=(1000 100000 1000000)

for value in "$folders" "$per_folder" "$reps"; do
    if ! [[ $value =~ ^[1-9][0-9]*$ ]]; then
        echo "usage: $0 [FOLDERS] [PER_FOLDER]  (whole numbers above 0)" >&2
        exit 2
    fi
done
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
prepare_bench bench_scale "fd-find time" find fdfind shuf awk xargs /usr/bin/time

tree=${TREE_DIR:-/tmp/thinwick-scale-${folders}x${per_folder}}
total=$((folders * per_folder))
if [[ ! -d $tree ]]; then
    # Made under another name and renamed when complete, so a broken run is never reused.
    partial=$tree.partial
    rm -rf "$partial"
    mkdir -p "$partial"
    echo "making $folders x $per_folder files in $tree" >&2
    last_folder=$((folders - 1)) last_file=$((per_folder - 1))
    awk -v root="$partial" -v n="$folders" -v w="${#last_folder}" \
        'BEGIN { for (f = 0; f < n; f++) printf "%s/album%0*d\n", root, w, f }' |
        xargs -d '\n' mkdir
    awk -v root="$partial" -v n="$folders" -v p="$per_folder" -v w="${#last_folder}" \
        -v v="${#last_file}" 'BEGIN { for (f = 0; f < n; f++) for (i = 0; i < p; i++)
                 printf "%s/album%0*d/photo_%0*d.jpg\n", root, w, f, v, i }' |
        xargs -d '\n' touch
    mv "$partial" "$tree"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

find_files() { find "$tree" -mindepth 2 -maxdepth 2 -type f ! -name '.*'; }
fd_files() { fdfind --type f --min-depth 2 --max-depth 2 --no-ignore . "$tree"; }

# Both listings must hold exactly the files of the tree, or the comparison means nothing.
listed=$(find_files | wc -l)
if ((listed != total)); then
    echo "$0: find listed $listed files in $tree, expected $total (remove the tree to remake it)" >&2
    exit 1
fi
listed=$(fd_files | wc -l)
if ((listed != total)); then
    echo "$0: fdfind listed $listed files, expected $total" >&2
    exit 1
fi

# The median time in ms of REPS runs of a command line, after one untimed run.
median_ms() { hyperfine_ms --warmup 1 --runs "$reps" "$1"; }

# The peak resident memory in KiB of the largest process of a pipeline.
peak_kib() {
    /usr/bin/time -f '%M' -o "$work/rss" bash -c "$1" >/dev/null
    tail -n 1 "$work/rss"
}

find_pipeline() { find_files | shuf -n "$1"; }
fd_pipeline() { fd_files | shuf -n "$1"; }
export tree
export -f find_files fd_files find_pipeline fd_pipeline
# shellcheck disable=SC2016 # $tree expands in the shell of peak_kib
find_command='find "$tree" -mindepth 2 -maxdepth 2 -type f ! -name ".*" | shuf -n'
# shellcheck disable=SC2016
fd_command='fdfind --type f --min-depth 2 --max-depth 2 --no-ignore . "$tree" | shuf -n'

value_of() { awk -v key="$1" 'index($0, key) == 1 { print $(NF - 1) }' "$2"; }
mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

echo "$folders folders x $per_folder files = $total files in $tree, median of $reps"
printf '%-9s %14s %14s %14s %8s %8s %12s %12s %12s\n' N thinwick-ms find-shuf-ms fd-shuf-ms \
    tw/find tw/fd thinwick-MiB find-MiB fd-MiB
worst=0
memory_ratio=0
for n in "${counts[@]}"; do
    "$bench" "$tree" "$n" "$reps" >"$work/bench.out" 2>"$work/bench.err" ||
        { cat "$work/bench.err" >&2; exit 1; }
    tw_ms=$(value_of "thinwick rebuild N=$n:" "$work/bench.out")
    tw_kib=$(value_of "thinwick peak-rss:" "$work/bench.out")
    [[ -n $tw_ms && -n $tw_kib ]] || { echo "$0: bench_scale printed no figures for N=$n" >&2; exit 1; }
    find_ms=$(median_ms "find_pipeline $n")
    fd_ms=$(median_ms "fd_pipeline $n")
    find_kib=$(peak_kib "$find_command $n")
    fd_kib=$(peak_kib "$fd_command $n")
    to_find=$(ratio "$tw_ms" "$find_ms")
    printf '%-9s %14s %14s %14s %8s %8s %12s %12s %12s\n' "$n" "$tw_ms" "$find_ms" "$fd_ms" \
        "$to_find" "$(ratio "$tw_ms" "$fd_ms")" "$(mib "$tw_kib")" "$(mib "$find_kib")" \
        "$(mib "$fd_kib")"
    worst=$(awk -v a="$worst" -v b="$to_find" 'BEGIN { print (b > a ? b : a) }')
    memory_ratio=$(ratio "$tw_kib" "$find_kib")
done
echo "peak RSS ratio thinwick/find-shuf at $total files: $memory_ratio (N=${counts[-1]})"
"$bench" "$tree" typing "$reps" >"$work/bench.out" 2>"$work/bench.err" ||
    { cat "$work/bench.err" >&2; exit 1; }
echo "typing 100000: $(value_of "thinwick typing 100000:" "$work/bench.out") ms"
echo "worst ratio thinwick-rebuild/find-shuf: $(awk -v a="$worst" 'BEGIN { printf "%.2f", a }')"
