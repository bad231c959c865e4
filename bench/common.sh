# Shared by the comparison scripts (sourced, not run).
# prepare_bench PROGRAM "PACKAGES" TOOL...: installs the Debian packages when missing, checks that
# each tool is there, and sets $bench to the benchmark program, from the build folder named by
# BUILD_DIR or, without it, from build-bench beside the sources, configured and built here.
prepare_bench() {
    local program=$1 packages=$2
    shift 2
    local repo
    repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    # shellcheck disable=SC2086
    "$repo/scripts/deps.sh" $packages >&2
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
    done
    local build
    if [[ -n ${BUILD_DIR:-} ]]; then
        build=$BUILD_DIR
    else
        build=$repo/build-bench
        cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTHINWICK_TESTS=OFF >&2
        ninja -C "$build" "$program" >&2
    fi
    bench=$build/$program
    [[ -x $bench ]] || { echo "$0: no $program in $build" >&2; exit 1; }
}
