# shellcheck shell=bash
# Shared by the comparison scripts (sourced, not run).
# prepare_bench PROGRAM "PACKAGES" TOOL...: installs the Debian packages when missing, checks that
# each tool is there, and sets $bench to the benchmark program, from the build folder named by
# BUILD_DIR or, without it, from build-bench beside the sources (the bench preset), configured and
# built here. hyperfine, which times the whole commands, is always installed.
prepare_bench() {
    local program=$1 packages=$2
    shift 2
    local repo
    repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    # shellcheck disable=SC2086
    "$repo/scripts/deps.sh" hyperfine $packages >&2
    local tool
    for tool in hyperfine "$@"; do
        command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
    done
    local build
    if [[ -n ${BUILD_DIR:-} ]]; then
        build=$BUILD_DIR
    else
        build=$repo/build-bench
        (cd "$repo" && cmake --preset bench >&2)
        cmake --build "$build" --target "$program" >&2
    fi
    bench=$build/$program
    [[ -x $bench ]] || { echo "$0: no $program in $build" >&2; exit 1; }
}

# hyperfine_ms [HYPERFINE OPTION...] COMMAND: the median wall time in ms (two decimals) of the runs
# hyperfine makes of COMMAND, a bash command line that sees the variables and functions the caller
# exported (shell start-up is measured and taken off by hyperfine). The command's output is thrown
# away unless it redirects it; hyperfine's own messages are shown only when it fails.
hyperfine_ms() {
    local json log status=0
    json=$(mktemp) log=$(mktemp)
    hyperfine --shell=bash --style=none --export-json "$json" "$@" >/dev/null 2>"$log" || status=$?
    if ((status == 0)); then
        awk -F': *' '$1 ~ /"median"$/ { sub(/,.*/, "", $2); printf "%.2f", $2 * 1000; exit }' "$json"
    else
        echo "$0: hyperfine failed on: ${*: -1}" >&2
        cat "$log" >&2
    fi
    rm -f "$json" "$log"
    return "$status"
}

# Refuses (exits) any path that is not inside the calling script's own folder $work: the
# scripts that make, move or remove files check every path they touch with it.
inside_work() {
    local root=${work:?inside_work needs the folder of the script in work}
    if [[ $1 != "$root"/?* || $1 == *"/.."* ]]; then
        echo "$0: refusing $1: not inside $root" >&2
        exit 1
    fi
}
