#!/usr/bin/env bash
# Times Thinwick's deletion run against the trash commands a user would type instead:
#   compare-trash.sh [FILES]      (without FILES: 2000 and 20000 distinct names, 2000 of one name)
# For each set, bench_trash, `gio trash` and `trash-put` each move a fresh set of small files to a
# fresh, empty trash, taking turns over several rounds; the median of each counts. A set of
# distinct names is FILES files file_N.txt in one folder; a set of one name is FILES folders
# album_N holding one cover.jpg each, as in a music collection.
# Every tool runs with HOME and XDG_DATA_HOME (and the other XDG folders) inside one temporary
# folder, which also holds the files: the user's own trash is never touched, and the files share
# the file system of that home trash, so all tools use it.
# gio and trash-put get all the files in one call through xargs (from inside the files' folder, so
# the names are short); only a list too long for one command line is split, noted on stderr.
# bench_trash times the click on "Start Deleting Files" inside the program, the trash already there
# and empty as for the floor below; the commands are timed
# whole, start-up included, by hyperfine, which makes their fresh files before each run.
# bench_trash --floor times the bare floor in the same way: per file only an info file written in
# the open info/ folder and one rename into the open files/ folder, nothing looked at, nothing
# synced; thinwick/floor says what the program's checks, its durable records (one syncfs per
# volume at the end of the run) and its window cost on top.
# The last lines give the ratios: thinwick/gio, thinwick/trash-put and thinwick/floor per set,
# thinwick's time for one name against distinct names of the same count, and the worst
# thinwick/gio over the distinct sets.
# The temporary folder follows TMPDIR: TMPDIR=/dev/shm (a tmpfs) takes the disk out of the figures.
# BUILD_DIR names a build folder holding bench_trash; without it one is configured and built in
# build-bench beside the sources.
set -euo pipefail

if (( $# > 1 )); then
    echo "usage: $0 [FILES]" >&2
    exit 2
fi
if (( $# == 1 )); then
    if ! [[ $1 =~ ^[1-9][0-9]*$ ]]; then
        echo "usage: $0 [FILES]  (a whole number above 0)" >&2
        exit 2
    fi
    sets=("distinct $1" "same $1")
else
    sets=("distinct 2000" "distinct 20000" "same 2000")
fi
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
prepare_bench bench_trash "libglib2.0-bin trash-cli" gio trash-put awk xargs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Whatever this script makes, moves or removes lies inside $work (inside_work, common.sh).

# A home of its own under $1: home/ with its XDG folders, and files/ holding $2 small files with
# the names and contents bench_trash makes: file_N.txt, or with $3 = same, album_N/cover.jpg.
prepare() {
    local root=$1 count=$2 kind=$3
    inside_work "$root"
    mkdir -p "$root/files" "$root/home/.local/share" "$root/home/.config" "$root/home/.cache" \
        "$root/home/runtime"
    chmod 700 "$root/home/runtime"
    if [[ $kind == same ]]; then
        # shellcheck disable=SC2046 # the numbers are words
        (cd "$root/files" && printf "album_%0${#count}d\n" $(seq 1 "$count") | xargs mkdir)
    fi
    (cd "$root/files" && awk -v n="$count" -v w="${#count}" -v same="$([[ $kind == same ]] && echo 1)" 'BEGIN {
        for (i = 1; i <= n; i++) {
            if (same) {
                name = sprintf("album_%0*d/cover.jpg", w, i)
            } else {
                name = sprintf("file_%0*d.txt", w, i)
            }
            print "some text" > name
            close(name)
        }
    }')
    # The names for the commands, one a line, beside the files.
    (cd "$root/files" && if [[ $kind == same ]]; then
        printf '%s\n' */cover.jpg
    else
        printf '%s\n' *
    fi) >"$root/names.txt"
}

# Runs a command in the home under $1, from inside its files folder.
in_home() {
    local root=$1
    shift
    inside_work "$root"
    (cd "$root/files" && env HOME="$root/home" XDG_DATA_HOME="$root/home/.local/share" \
        XDG_CONFIG_HOME="$root/home/.config" XDG_CACHE_HOME="$root/home/.cache" \
        XDG_RUNTIME_DIR="$root/home/runtime" "$@")
}

# Every file gone from files/, and one entry per file in the trash's files/ and info/.
check() {
    local root=$1 count=$2 tool=$3 left trashed infos
    left=$(find "$root/files" -mindepth 1 ! -type d | wc -l)
    # A trash that was never made counts as empty.
    trashed=$({ find "$root/home/.local/share/Trash/files" -mindepth 1 -maxdepth 1 2>/dev/null ||
                true; } | wc -l)
    infos=$({ find "$root/home/.local/share/Trash/info" -mindepth 1 -maxdepth 1 2>/dev/null ||
              true; } | wc -l)
    if (( left != 0 || trashed != count || infos != count )); then
        echo "$0: FAILED: $tool M=$count left $left files in place; the trash holds $trashed files" \
             "and $infos info entries" >&2
        exit 1
    fi
}

# Times one command given every file of $root/files, $count files of kind $kind made fresh just
# before; prints the milliseconds. A command that fails is not stopped: check tells what it left.
time_tool() {
    local root=$1 count=$2 kind=$3
    shift 3
    local limit ms bytes line
    limit=$(( $(getconf ARG_MAX) / 2 ))
    printf -v line '%q ' in_home "$root" xargs -d '\n' -s "$limit" -a "$root/names.txt" "$@"
    ms=$(hyperfine_ms --runs 1 --ignore-failure \
        --prepare "$(printf '%q ' prepare "$root" "$count" "$kind")" "$line") || return 1
    bytes=$(wc -c <"$root/names.txt")
    if (( bytes >= limit )); then
        echo "note: $1 M=$count: the names do not fit one command line; split with xargs" >&2
    fi
    echo "$ms"
}
export work
export -f inside_work prepare in_home

# One timed run of one tool on fresh files and a fresh trash under $1, $2 files of kind $3;
# prints the milliseconds.
# With $4 = floor, the bare floor instead of the program's run.
run_thinwick() {
    local line ms option=() who=${4:-thinwick}
    local key="$who trash M=$2:"
    if [[ $3 == same ]]; then
        option=(--same-name)
        key="$who trash M=$2 same-name:"
    fi
    [[ $who == floor ]] && option+=(--floor)
    line=$("$bench" "${option[@]}" "$2" "$1") || { echo "$0: FAILED: bench_trash $who M=$2 $3" >&2; return 1; }
    ms=$(awk -v key="$key" 'index($0, key) == 1 { print $(NF - 1) }' <<<"$line")
    [[ -n $ms ]] || { echo "$0: bench_trash printed no time" >&2; return 1; }
    echo "$ms"
}
run_floor() { run_thinwick "$@" floor; }
run_gio() {
    local ms
    ms=$(time_tool "$1" "$2" "$3" gio trash) || return 1
    check "$1" "$2" "gio trash"
    echo "$ms"
}
run_put() {
    local ms
    ms=$(time_tool "$1" "$2" "$3" trash-put) || return 1
    check "$1" "$2" "trash-put"
    echo "$ms"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# The file system makes new files more slowly for a while after many were deleted (ext4 skips
# recently freed inodes), so whichever tool runs first would pay for what ran before it. The tools
# therefore take turns over ROUNDS rounds (default 3), each round starting with the next tool, and
# the median of each tool's runs counts.
rounds=${ROUNDS:-3}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "$0: ROUNDS must be a whole number above 0" >&2; exit 2; }
tools=(thinwick gio put floor)
declare -A thinwick_ms gio_ms put_ms floor_ms
for set in "${sets[@]}"; do
    read -r kind m <<<"$set"
    declare -A runs=([thinwick]="" [gio]="" [put]="" [floor]="")
    for ((round = 0; round < rounds; round++)); do
        for ((k = 0; k < ${#tools[@]}; k++)); do
            tool=${tools[(round + k) % ${#tools[@]}]}
            ms=$("run_$tool" "$work/$tool-$kind-$m-$round" "$m" "$kind")
            label=$tool
            [[ $tool == put ]] && label=trash-put
            echo "run $((round + 1)): $label M=$m $kind: $ms ms" >&2
            runs[$tool]+=" $ms"
            rm -rf "$work/$tool-$kind-$m-$round"
        done
    done
    # shellcheck disable=SC2086 # the runs are a list of numbers
    {
        thinwick_ms[$set]=$(median ${runs[thinwick]})
        gio_ms[$set]=$(median ${runs[gio]})
        put_ms[$set]=$(median ${runs[put]})
        floor_ms[$set]=$(median ${runs[floor]})
    }
    label="M=$m"
    [[ $kind == same ]] && label="M=$m same-name"
    echo "thinwick trash $label: ${thinwick_ms[$set]} ms"
    echo "gio trash $label: ${gio_ms[$set]} ms"
    echo "trash-put $label: ${put_ms[$set]} ms"
    echo "floor trash $label: ${floor_ms[$set]} ms"
done

worst=0
same_ratio=
for set in "${sets[@]}"; do
    read -r kind m <<<"$set"
    gio_ratio=$(ratio "${thinwick_ms[$set]}" "${gio_ms[$set]}")
    put_ratio=$(ratio "${thinwick_ms[$set]}" "${put_ms[$set]}")
    label="M=$m"
    [[ $kind == same ]] && label="M=$m same-name"
    echo "ratio thinwick/gio $label: $gio_ratio"
    echo "ratio thinwick/trash-put $label: $put_ratio"
    echo "ratio thinwick/floor $label: $(ratio "${thinwick_ms[$set]}" "${floor_ms[$set]}")"
    if [[ $kind == distinct ]]; then
        worst=$(awk -v a="$worst" -v b="$gio_ratio" 'BEGIN { print (b > a ? b : a) }')
    elif [[ -n ${thinwick_ms["distinct $m"]:-} ]]; then
        same_ratio=$(ratio "${thinwick_ms[$set]}" "${thinwick_ms["distinct $m"]}")
        same_count=$m
    fi
done
if [[ -n $same_ratio ]]; then
    echo "same-name ratio thinwick $same_count same/distinct: $same_ratio"
fi
echo "worst ratio thinwick/gio: $(awk -v a="$worst" 'BEGIN { printf "%.2f", a }')"
