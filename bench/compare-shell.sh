#!/usr/bin/env bash
# Times Thinwick's command line against the pipelines a user would type for the same jobs:
#   compare-shell.sh [FOLDERS] [FILES_PER_FOLDER] [TRASH_FILES]      (defaults 1000 1000 20000)
# The draw: one tree of FOLDERS x FILES_PER_FOLDER empty files (a million by default), warm, and
#   thinwick --count N DIR...
#   find DIR... -maxdepth 1 -type f ! -name '.*' | shuf -n N
#   fdfind --type f --max-depth 1 --no-ignore . DIR... | shuf -n N
# for N = 1000 and 100000, every folder of the tree named on the command line; output thrown away.
# The draw over the whole tree, the same tree named once:
#   thinwick --count N --subfolders DIR
#   find DIR -type f ! -path '*/.*' | shuf -n N
#   bench_walkdraw N DIR      the floor: one thread, readdir, byte strings, a partial shuffle
# The trash: TRASH_FILES small files in one folder, moved by
#   thinwick --count TRASH_FILES --trash --yes DIR
#   find DIR -maxdepth 1 -type f | shuf | xargs -d '\n' gio trash
#   find DIR -maxdepth 1 -type f | shuf | xargs -d '\n' trash-put
# each from a fresh set of files and an empty trash (made before each timed run, not timed).
# Every command runs with HOME and the XDG folders inside this script's own temporary folder, which
# also holds the files: the user's own trash and run records are never touched.
# Each figure is the median of REPS runs (default 5; 3 for the trash) timed by hyperfine. The last
# lines are the worst ratios of thinwick's draw over the tree to find | shuf and to the floor, and
# of thinwick's draw to find | shuf. DRAW_ONLY=1 leaves the trash out.
# BUILD_DIR names a build folder holding thinwick; without it one is configured and built in
# build-bench beside the sources. TMPDIR=/dev/shm takes the disk out of the figures.
set -euo pipefail

folders=${1:-1000}
per_folder=${2:-1000}
trash_files=${3:-20000}
reps=${REPS:-5}
trash_reps=${TRASH_REPS:-3}
counts=(1000 100000)

for value in "$folders" "$per_folder" "$trash_files" "$reps" "$trash_reps"; do
    if ! [[ $value =~ ^[1-9][0-9]*$ ]]; then
        echo "usage: $0 [FOLDERS] [FILES_PER_FOLDER] [TRASH_FILES]  (whole numbers above 0)" >&2
        exit 2
    fi
done
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
prepare_bench thinwick "fd-find libglib2.0-bin trash-cli" find fdfind shuf gio trash-put awk xargs
thinwick=$bench
floor=$(dirname "$thinwick")/bench_walkdraw
[[ -n ${BUILD_DIR:-} ]] || cmake --build "$(dirname "$thinwick")" --target bench_walkdraw >&2
[[ -x $floor ]] || { echo "$0: no bench_walkdraw beside $thinwick" >&2; exit 1; }
draw_only=${DRAW_ONLY:-0}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Whatever this script makes, moves or removes lies inside $work (inside_work, common.sh).

home=$work/home
mkdir -p "$home/.local/share" "$home/.local/state" "$home/.config" "$home/.cache" "$home/runtime"
chmod 700 "$home/runtime"
export HOME=$home XDG_DATA_HOME=$home/.local/share XDG_STATE_HOME=$home/.local/state \
    XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$home/runtime
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

# --- The draw -------------------------------------------------------------------------------------
tree=$work/tree
inside_work "$tree"
mkdir "$tree"
echo "making $folders x $per_folder files in $tree" >&2
last_folder=$((folders - 1)) last_file=$((per_folder - 1))
awk -v root="$tree" -v n="$folders" -v w="${#last_folder}" \
    'BEGIN { for (f = 0; f < n; f++) printf "%s/album%0*d\n", root, w, f }' | xargs -d '\n' mkdir
awk -v root="$tree" -v n="$folders" -v p="$per_folder" -v w="${#last_folder}" \
    -v v="${#last_file}" 'BEGIN { for (f = 0; f < n; f++) for (i = 0; i < p; i++)
        printf "%s/album%0*d/photo_%0*d.jpg\n", root, w, f, v, i }' | xargs -d '\n' touch
total=$((folders * per_folder))
# The new tree goes to disk and into the caches before anything is timed, so that no tool pays
# for the writing back of a million new files.
sync
find "$tree" >/dev/null

find_files() { find "$tree"/* -maxdepth 1 -type f ! -name '.*'; }
fd_files() { fdfind --type f --max-depth 1 --no-ignore . "$tree"/*; }
find_pipeline() { find_files | shuf -n "$1"; }
fd_pipeline() { fd_files | shuf -n "$1"; }
thinwick_draw() { "$thinwick" --count "$1" "$tree"/*; }
find_tree() { find "$tree" -type f ! -path '*/.*' | shuf -n "$1"; }
thinwick_tree() { "$thinwick" --count "$1" --subfolders "$tree"; }
floor_tree() { "$floor" "$1" "$tree"; }
export tree thinwick floor
export -f find_files fd_files find_pipeline fd_pipeline thinwick_draw find_tree thinwick_tree \
    floor_tree

# Each tool must give N distinct files of the tree, or the comparison means nothing.
for n in "${counts[@]}"; do
    expected=$((n < total ? n : total))
    for tool in find_pipeline fd_pipeline thinwick_draw find_tree thinwick_tree floor_tree; do
        got=$("$tool" "$n" | sort -u | grep -c "^$tree/album[0-9]*/photo_[0-9]*\.jpg$" || true)
        if ((got != expected)); then
            echo "$0: $tool N=$n gave $got distinct files of the tree, expected $expected" >&2
            exit 1
        fi
    done
done

declare -A draw_ms find_ms fd_ms tree_ms find_tree_ms floor_ms
for n in "${counts[@]}"; do
    tree_ms[$n]=$(hyperfine_ms --warmup 1 --runs "$reps" "thinwick_tree $n")
    find_tree_ms[$n]=$(hyperfine_ms --warmup 1 --runs "$reps" "find_tree $n")
    floor_ms[$n]=$(hyperfine_ms --warmup 1 --runs "$reps" "floor_tree $n")
    echo "draw over the tree of $total files N=$n: thinwick --subfolders ${tree_ms[$n]} ms," \
        "find -type f|shuf ${find_tree_ms[$n]} ms, walk-and-draw floor ${floor_ms[$n]} ms"
done
for n in "${counts[@]}"; do
    draw_ms[$n]=$(hyperfine_ms --warmup 1 --runs "$reps" "thinwick_draw $n")
    find_ms[$n]=$(hyperfine_ms --warmup 1 --runs "$reps" "find_pipeline $n")
    fd_ms[$n]=$(hyperfine_ms --warmup 1 --runs "$reps" "fd_pipeline $n")
    echo "draw $total files N=$n: thinwick ${draw_ms[$n]} ms, find|shuf ${find_ms[$n]} ms," \
        "fdfind|shuf ${fd_ms[$n]} ms"
done
inside_work "$tree"
rm -rf "$tree"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
most() { awk -v a="$1" -v b="$2" 'BEGIN { print (b > a ? b : a) }'; }
worst_tree=0 worst_floor=0
for n in "${counts[@]}"; do
    r=$(ratio "${tree_ms[$n]}" "${find_tree_ms[$n]}")
    f=$(ratio "${tree_ms[$n]}" "${floor_ms[$n]}")
    echo "ratio thinwick-shell subfolders/find-shuf N=$n: $r"
    echo "ratio thinwick-shell subfolders/walk-and-draw floor N=$n: $f"
    worst_tree=$(most "$worst_tree" "$r") worst_floor=$(most "$worst_floor" "$f")
done
tree_lines=("ratio thinwick-shell subfolders/find-shuf: $(ratio "$worst_tree" 1)"
    "ratio thinwick-shell subfolders/walk-and-draw floor: $(ratio "$worst_floor" 1)")
if ((draw_only)); then
    for n in "${counts[@]}"; do
        echo "ratio thinwick-shell/find-shuf N=$n: $(ratio "${draw_ms[$n]}" "${find_ms[$n]}")"
    done
    printf '%s\n' "${tree_lines[@]}"
    exit 0
fi

# --- The trash ------------------------------------------------------------------------------------
files=$work/files
trash=$XDG_DATA_HOME/Trash
inside_work "$files"
inside_work "$trash"
# A fresh set of files and an empty trash and record folder.
fresh_set() {
    rm -rf "$files" "$trash" "$XDG_STATE_HOME/Thinwick"
    mkdir "$files"
    (cd "$files" && awk -v n="$trash_files" -v w="${#trash_files}" 'BEGIN {
        for (i = 1; i <= n; i++) { name = sprintf("file_%0*d.txt", w, i); print "text" > name
                                   close(name) } }')
}
thinwick_trash() { "$thinwick" --count "$trash_files" --trash --yes "$files" 2>/dev/null; }
gio_trash() { find "$files" -maxdepth 1 -type f | shuf | xargs -d '\n' gio trash; }
put_trash() { find "$files" -maxdepth 1 -type f | shuf | xargs -d '\n' trash-put; }
export files trash trash_files
export -f fresh_set thinwick_trash gio_trash put_trash

# Each tool must empty the folder into the trash, one info file per file.
for tool in thinwick_trash gio_trash put_trash; do
    fresh_set
    "$tool" || true
    left=$(find "$files" -type f | wc -l)
    infos=$(find "$trash/info" -type f 2>/dev/null | wc -l)
    if ((left != 0 || infos != trash_files)); then
        echo "$0: $tool left $left files and made $infos trash info files" >&2
        exit 1
    fi
done

declare -A trash_ms
for tool in thinwick_trash gio_trash put_trash; do
    trash_ms[$tool]=$(hyperfine_ms --runs "$trash_reps" --prepare fresh_set "$tool")
done
echo "trash $trash_files files: thinwick ${trash_ms[thinwick_trash]} ms," \
    "find|shuf|gio trash ${trash_ms[gio_trash]} ms, find|shuf|trash-put ${trash_ms[put_trash]} ms"

worst=0
for n in "${counts[@]}"; do
    r=$(ratio "${draw_ms[$n]}" "${find_ms[$n]}")
    echo "ratio thinwick-shell/find-shuf N=$n: $r"
    echo "ratio thinwick-shell/fdfind-shuf N=$n: $(ratio "${draw_ms[$n]}" "${fd_ms[$n]}")"
    worst=$(awk -v a="$worst" -v b="$r" 'BEGIN { print (b > a ? b : a) }')
done
echo "ratio thinwick-shell/gio-trash M=$trash_files: $(ratio "${trash_ms[thinwick_trash]}" "${trash_ms[gio_trash]}")"
echo "ratio thinwick-shell/trash-put M=$trash_files: $(ratio "${trash_ms[thinwick_trash]}" "${trash_ms[put_trash]}")"
printf '%s\n' "${tree_lines[@]}"
echo "worst ratio thinwick-shell/find-shuf: $(awk -v a="$worst" 'BEGIN { printf "%.2f", a }')"
