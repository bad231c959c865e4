#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# and runs each for SECONDS seconds (default 60), or only the targets named after it (countvalue,
# paths, listfile, settings), one job per target, as many targets at a time as
# there are cores (FUZZ_PARALLEL overrides). Inputs that reach new code are merged into
# fuzz/corpus/<target>/; an input that breaks a target is kept in build-fuzz/artifacts/ and the
# script fails. Logs: build-fuzz/logs/<target>.log.
set -euo pipefail
seconds="${1:-60}"
shift || true
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build-fuzz"
"$top/scripts/deps.sh" clang libclang-rt-14-dev locales

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$top"/fuzz/fuzz_*.cpp; do
    name="$(basename "$source" .cpp)"
    targets+=("${name#fuzz_}")
  done
fi

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTHINWICK_FUZZ=ON -DTHINWICK_TESTS=OFF -DTHINWICK_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

# The count target also reads under a locale whose decimal point is a comma; it is made here,
# beside the build, so the system's locales stay as they are.
if [ ! -d "$build/locale/de_DE.UTF-8" ]; then
  mkdir -p "$build/locale"
  localedef -i de_DE -f UTF-8 "$build/locale/de_DE.UTF-8" ||
    echo "No de_DE locale: the count target runs without it"
fi
export LOCPATH="$build/locale"

mkdir -p "$build/artifacts" "$build/logs"
run() {
  local target="$1" program="$build/fuzz/fuzz_$1" work="$build/work/$1" log="$build/logs/$1.log"
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix="$build/artifacts/$target-")
  [ -f "$top/fuzz/$target.dict" ] && options+=(-dict="$top/fuzz/$target.dict")
  rm -rf "$work"
  mkdir -p "$work"
  local status=0
  nice "$program" "${options[@]}" "$work" "$top/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  # Keep only the new inputs that reach code the corpus does not reach yet.
  "$program" -merge=1 "$top/fuzz/corpus/$target" "$work" >>"$log" 2>&1 || status=$?
  local runs
  runs="$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | head -n 1 | grep -o '[0-9]*$' || true)"
  if [ "$status" -eq 0 ]; then
    echo "$target: ${runs:-?} executions, nothing found"
  else
    echo "$target: FAILED after ${runs:-?} executions, see $log and $build/artifacts/"
  fi
  return "$status"
}

parallel="${FUZZ_PARALLEL:-$(nproc)}"
failed=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
