#!/usr/bin/env bash
# Builds Thinwick and runs the whole test suite: lint (clang-format, clang-tidy), the tests in the
# normal build, then again in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# The tests run with a temp folder of their own (TMPDIR); the run fails when they leave anything
# in it. Needs no locale: the steps that need UTF-8 select it themselves.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
# Each step prints a line with its wall and CPU time.
source "$top/scripts/phase.sh"
# The package check builds a Debian package and runs its validators; zsh and fish try the
# completions; ccache keeps compiled files between clones and builds.
phase "Linux: packages" "$top/scripts/deps.sh" clang-format clang-tidy dpkg-dev file \
  desktop-file-utils appstream lintian zsh fish ccache
cd "$top"
export QT_QPA_PLATFORM=offscreen
tmp="$(mktemp -d "${TMPDIR:-/tmp}/thinwick-tests.XXXXXX")"
trap 'rm -rf -- "$tmp"' EXIT
# Tests that drop to an unprivileged user reach their own folders in it.
chmod 755 "$tmp"

cmake --preset default >/dev/null
phase "Linux: build" cmake --build --preset default
phase "Linux: lint" bash "$top/scripts/lint.sh" "$top/build"
phase "Linux: tests" env TMPDIR="$tmp" ctest --preset default --parallel "$(nproc)"

cmake --preset asan >/dev/null
phase "Linux: sanitizer build" cmake --build --preset asan
phase "Linux: sanitizer tests" env TMPDIR="$tmp" ctest --preset asan --parallel "$(nproc)"

# Tests clean up after themselves: their temp folder is empty again.
leftovers="$(cd "$tmp" && find . -mindepth 1 -maxdepth 2 | sort)"
if [ -n "$leftovers" ]; then
  echo "The tests left these behind in their temp folder:" >&2
  echo "$leftovers" >&2
  exit 1
fi
echo "All tests passed."
