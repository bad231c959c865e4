#!/usr/bin/env bash
# Times Thinwick's deletion run against the trash commands a user would type instead:
#   compare-trash.sh [FILES]      (without FILES: 2000, then 20000)
# For each count, bench_trash, `gio trash` and `trash-put` each move a fresh set of FILES small
# files to a fresh, empty trash, taking turns over several rounds; the median of each counts.
# Every tool runs with HOME and XDG_DATA_HOME (and the other XDG folders) inside one temporary
# folder, which also holds the files: the user's own trash is never touched, and the files share
# the file system of that home trash, so all tools use it.
# gio and trash-put get all the files in one call (from inside the files' folder, so the names
# are short); only a list too long for one command line is split with xargs, noted on stderr.
# bench_trash times the click on "Start Deleting Files" inside the program; the commands are timed
# whole, start-up included.
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
    counts=("$1")
else
    counts=(2000 20000)
fi
source "$(dirname "$0")/common.sh"
prepare_bench bench_trash "libglib2.0-bin trash-cli" gio trash-put awk xargs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now_us() { echo "${EPOCHREALTIME/./}"; }

# A home of its own under $1: home/ with its XDG folders, and files/ holding $2 small files with
# the names and contents bench_trash makes.
prepare() {
    local root=$1 count=$2
    mkdir -p "$root/files" "$root/home/.local/share" "$root/home/.config" "$root/home/.cache" \
        "$root/home/runtime"
    chmod 700 "$root/home/runtime"
    (cd "$root/files" && awk -v n="$count" -v w="${#count}" 'BEGIN {
        for (i = 1; i <= n; i++) {
            name = sprintf("file_%0*d.txt", w, i)
            print "some text" > name
            close(name)
        }
    }')
}

# Runs a command in the home under $1, from inside its files folder.
in_home() {
    local root=$1
    shift
    (cd "$root/files" && env HOME="$root/home" XDG_DATA_HOME="$root/home/.local/share" \
        XDG_CONFIG_HOME="$root/home/.config" XDG_CACHE_HOME="$root/home/.cache" \
        XDG_RUNTIME_DIR="$root/home/runtime" "$@")
}

# Every file gone from files/, and one entry per file in the trash's files/ and info/.
check() {
    local root=$1 count=$2 tool=$3 left trashed infos
    left=$(find "$root/files" -mindepth 1 | wc -l)
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

# Times one command given every file of $root/files; prints the milliseconds.
time_tool() {
    local root=$1 count=$2
    shift 2
    local names start end bytes limit
    names=$(cd "$root/files" && printf '%s\n' *)
    bytes=$(( ${#names} + count ))
    limit=$(( $(getconf ARG_MAX) / 2 ))
    start=$(now_us)
    if (( bytes < limit )); then
        mapfile -t list <<<"$names"
        in_home "$root" "$@" "${list[@]}" || echo "note: $1 M=$count exited with status $?" >&2
    else
        echo "note: $1 M=$count: the names do not fit one command line; split with xargs" >&2
        in_home "$root" xargs -d '\n' "$@" <<<"$names" ||
            echo "note: $1 M=$count exited with status $?" >&2
    fi
    end=$(now_us)
    awk -v us=$((end - start)) 'BEGIN { printf "%.2f", us / 1000 }'
}

# One timed run of one tool on fresh files and a fresh trash under $1; prints the milliseconds.
run_thinwick() {
    local line ms
    line=$("$bench" "$2" "$1") || { echo "$0: FAILED: bench_trash M=$2" >&2; return 1; }
    ms=$(awk -v key="thinwick trash M=$2:" 'index($0, key) == 1 { print $(NF - 1) }' <<<"$line")
    [[ -n $ms ]] || { echo "$0: bench_trash printed no time" >&2; return 1; }
    echo "$ms"
}
run_gio() {
    local ms
    prepare "$1" "$2"
    ms=$(time_tool "$1" "$2" gio trash)
    check "$1" "$2" "gio trash"
    echo "$ms"
}
run_put() {
    local ms
    prepare "$1" "$2"
    ms=$(time_tool "$1" "$2" trash-put)
    check "$1" "$2" "trash-put"
    echo "$ms"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The file system makes new files more slowly for a while after many were deleted (ext4 skips
# recently freed inodes), so whichever tool runs first would pay for what ran before it. The tools
# therefore take turns over ROUNDS rounds (default 3), each round starting with the next tool, and
# the median of each tool's runs counts.
rounds=${ROUNDS:-3}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "$0: ROUNDS must be a whole number above 0" >&2; exit 2; }
tools=(thinwick gio put)
declare -A thinwick_ms gio_ms put_ms
for m in "${counts[@]}"; do
    declare -A runs=([thinwick]="" [gio]="" [put]="")
    for ((round = 0; round < rounds; round++)); do
        for ((k = 0; k < ${#tools[@]}; k++)); do
            tool=${tools[(round + k) % ${#tools[@]}]}
            ms=$("run_$tool" "$work/$tool-$m-$round" "$m")
            label=$tool
            [[ $tool == put ]] && label=trash-put
            echo "run $((round + 1)): $label M=$m: $ms ms" >&2
            runs[$tool]+=" $ms"
        done
    done
    # shellcheck disable=SC2086 # the runs are a list of numbers
    {
        thinwick_ms[$m]=$(median ${runs[thinwick]})
        gio_ms[$m]=$(median ${runs[gio]})
        put_ms[$m]=$(median ${runs[put]})
    }
    echo "thinwick trash M=$m: ${thinwick_ms[$m]} ms"
    echo "gio trash M=$m: ${gio_ms[$m]} ms"
    echo "trash-put M=$m: ${put_ms[$m]} ms"
    rm -rf "$work"/*-"$m"-*
done

worst=0
for m in "${counts[@]}"; do
    gio_ratio=$(awk -v a="${thinwick_ms[$m]}" -v b="${gio_ms[$m]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    put_ratio=$(awk -v a="${thinwick_ms[$m]}" -v b="${put_ms[$m]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    echo "ratio thinwick/gio M=$m: $gio_ratio"
    echo "ratio thinwick/trash-put M=$m: $put_ratio"
    worst=$(awk -v a="$worst" -v b="$gio_ratio" 'BEGIN { print (b > a ? b : a) }')
done
echo "worst ratio thinwick/gio: $(awk -v a="$worst" 'BEGIN { printf "%.2f", a }')"
