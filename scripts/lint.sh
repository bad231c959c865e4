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
# A file found clean is not looked at again while nothing it may depend on has changed: its own
# text, our headers and designer files, the compile commands, the checks, clang-tidy and Qt. The
# marks are kept in the user's cache folder, with the clone's own paths left out of the key, so
# another clone of the same sources (CI's fresh one) finds them too.
stamps="${XDG_CACHE_HOME:-$HOME/.cache}/thinwick/lint-clean"
mkdir -p "$stamps"
common=$({
  clang-tidy --version
  cat .clang-tidy
  sed "s#$top#<top>#g" "$build/compile_commands.json"
  find src -type f ! -name '*.cpp' -print0 | sort -z | xargs -0 cat
  dpkg-query -W qt6-base-dev 2>/dev/null || true
} | sha256sum | cut -c1-64)
keys=()
for source in "${compiled[@]}"; do
  keys+=("$(cat - "$source" <<<"$common" | sha256sum | cut -c1-64)")
done
# Marks of other clones and older sources stay a while; those unused for a month go.
find "$stamps" -type f -mtime +30 -delete
echo "lint: clang-tidy on ${#compiled[@]} files, $(nproc) at a time"
# A line per file as it finishes, so a long run shows that it moves; any finding fails the lint.
export LINT_BUILD="$build" LINT_TOTAL="${#compiled[@]}" LINT_STAMPS="$stamps"
for index in "${!compiled[@]}"; do
  printf '%s %s %s\n' "$((index + 1))" "${compiled[index]}" "${keys[index]}"
done |
  xargs -P "$(nproc)" -L 1 sh -c 'start=$(date +%s) log="$LINT_STAMPS/$2.log"
    if [ -e "$LINT_STAMPS/$2" ]; then
      touch "$LINT_STAMPS/$2"
      echo "lint: [$0/$LINT_TOTAL] $1 clean (unchanged)"; exit 0
    fi
    clang-tidy -p "$LINT_BUILD" --quiet --warnings-as-errors="*" "$1" >"$log" 2>&1 &
    tidy=$! next=20
    # A heavy file takes a while: say so every 20 s.
    while sleep 1 && kill -0 "$tidy" 2>/dev/null; do
      seconds=$(($(date +%s) - start))
      if [ "$seconds" -ge "$next" ]; then
        echo "lint: [$0/$LINT_TOTAL] $1 still being checked ($seconds s)"; next=$((next + 20))
      fi
    done
    if wait "$tidy"; then
      rm -f "$log"; touch "$LINT_STAMPS/$2"
      echo "lint: [$0/$LINT_TOTAL] $1 clean ($(($(date +%s) - start)) s)"
    else
      grep -v "warnings generated" "$log"; rm -f "$log"
      echo "lint: [$0/$LINT_TOTAL] $1 has findings"; exit 1
    fi'
echo "lint: clean"
