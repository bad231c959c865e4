#!/usr/bin/env bash
# Fails on any formatting difference (clang-format) or clang-tidy finding in our own sources.
# Needs the compile commands of a configured build: lint.sh [BUILD_DIR], default build/.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
cd "$top"
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' \
  'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
echo "lint: clang-format on ${#files[@]} files"
clang-format --dry-run -Werror "${files[@]}"
bash "$top/scripts/check-layers.sh" "$build"
bash "$top/scripts/check-platforms.sh" "$build"
mapfile -t sources < <(git ls-files -- 'src/*.cpp')
# Per-platform files of other platforms are not in this build's compile commands.
compiled=()
for source in "${sources[@]}"; do
  grep -q "\"file\": \"$top/$source\"" "$build/compile_commands.json" && compiled+=("$source")
done
echo "lint: clang-tidy on ${#compiled[@]} files"
# Two files at a time; any finding fails the lint.
printf '%s\n' "${compiled[@]}" |
  xargs -P 2 -I{} sh -c 'out=$(clang-tidy -p "$0" --quiet --warnings-as-errors="*" "{}" 2>&1) ||
    { printf "%s\n" "$out" | grep -v "warnings generated"; exit 1; }' "$build"
echo "lint: clean"
