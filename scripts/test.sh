#!/usr/bin/env bash
# Builds Thinwick and runs the whole test suite: once in the normal build, once in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
# The package check builds a Debian package and runs its validators.
"$top/scripts/deps.sh" dpkg-dev file desktop-file-utils appstream lintian
export QT_QPA_PLATFORM=offscreen

cmake -S "$top" -B "$top/build" -G Ninja >/dev/null
cmake --build "$top/build"
ctest --test-dir "$top/build" --output-on-failure

cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHINWICK_SANITIZE=ON \
  -DTHINWICK_BENCH=OFF >/dev/null
cmake --build "$top/build-asan"
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build-asan" --output-on-failure
