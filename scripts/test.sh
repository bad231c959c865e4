#!/usr/bin/env bash
# Builds Thinwick and runs the whole test suite: lint (clang-format, clang-tidy), the tests in the
# normal build, then again in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# Fails when a run leaves anything behind in the temp folder.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
# The package check builds a Debian package and runs its validators.
"$top/scripts/deps.sh" clang-format clang-tidy dpkg-dev file desktop-file-utils appstream lintian \
  g++-mingw-w64-x86-64
cd "$top"
export QT_QPA_PLATFORM=offscreen
tmp="${TMPDIR:-/tmp}"
before="$(mktemp)"
trap 'rm -f "$before"' EXIT
ls -A "$tmp" >"$before"

cmake --preset default >/dev/null
cmake --build --preset default
bash "$top/scripts/lint.sh" "$top/build"
ctest --preset default

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

# Tests clean up after themselves: the temp folder holds what it held before.
leftovers="$(ls -A "$tmp" | grep -vxF -f "$before" | grep -v "^$(basename "$before")\$" || true)"
if [ -n "$leftovers" ]; then
  echo "The tests left these behind in $tmp:" >&2
  echo "$leftovers" >&2
  exit 1
fi
echo "All tests passed."
