#!/usr/bin/env bash
# Times Thinwick's loading of a folder list file against the tools a user would read it with:
#   compare-listfile.sh [LINES]      (default 100000)
# The same two list files bench_listfile loads (UTF-8, and Windows-1252 with accented names, CR LF
# line ends) are written to a temporary folder, and
#   iconv -f UTF-8 -t UTF-8 FILE | wc -l          and   iconv -f WINDOWS-1252 -t UTF-8 FILE | wc -l
# read them; each figure is the median of REPS runs (default 5) after one untimed run, timed by hyperfine.
# BUILD_DIR names a build folder holding bench_listfile; without it one is configured and built in
# build-bench beside the sources.
set -euo pipefail

lines=${1:-100000}
reps=${REPS:-5}
for value in "$lines" "$reps"; do
    if ! [[ $value =~ ^[1-9][0-9]*$ ]]; then
        echo "usage: $0 [LINES]  (a whole number above 0)" >&2
        exit 2
    fi
done
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
prepare_bench bench_listfile "" iconv wc awk

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++) printf "/srv/archive/photos/album %d/\r\n", i }' \
    >"$work/utf8.txt"
awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++)
                               printf "/srv/archive/Fotos S\351gol\350ne M\374ller/album %d/\r\n", i }' \
    >"$work/ansi.txt"

"$bench" "$lines"

# The median time in ms of REPS runs of a command line, after one untimed run.
median_ms() { hyperfine_ms --warmup 1 --runs "$reps" "$1"; }
read_utf8() { iconv -f UTF-8 -t UTF-8 "$work/utf8.txt" | wc -l; }
read_ansi() { iconv -f WINDOWS-1252 -t UTF-8 "$work/ansi.txt" | wc -l; }
export work
export -f read_utf8 read_ansi
echo "iconv|wc UTF-8 list, $lines lines: $(median_ms read_utf8) ms"
echo "iconv|wc Windows-1252 list, $lines lines: $(median_ms read_ansi) ms"
