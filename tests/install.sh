#!/usr/bin/env bash
# Installs the built program into a temporary root with DESTDIR, starts the installed program
# offscreen with --self-check and checks that it found its pointer images and its samples in
# share/thinwick; then moves the whole installation elsewhere and checks again.
# Usage: install.sh <build folder> <source folder>
set -euo pipefail
build="$1"
source="$2"
work="$(mktemp -d "${TMPDIR:-/tmp}/thinwick-install.XXXXXX")"
trap 'rm -rf -- "$work"' EXIT
mkdir "$work/tmp"
export TMPDIR="$work/tmp"
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
prefix="$work/root/usr"
samples=$(find "$source/assets/Samples" -maxdepth 1 -type f | wc -l)

# The layout: the program alone in bin/, its files under share/.
[ "$(ls "$prefix/bin")" = thinwick ] || fail "bin/ holds more than the program: $(ls "$prefix/bin")"
for file in share/thinwick/HAND-M.CUR share/thinwick/drag.ico share/applications/thinwick.desktop \
  share/metainfo/example.brindlewood.thinwick.metainfo.xml share/doc/thinwick/copyright \
  share/bash-completion/completions/thinwick share/zsh/vendor-completions/_thinwick \
  share/fish/vendor_completions.d/thinwick.fish; do
  [ -f "$prefix/$file" ] || fail "missing $file"
done
for size in 16 24 32 48 64 128 256; do
  [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/thinwick.png" ] || fail "no ${size}px icon"
done
installed=$(find "$prefix/share/thinwick/Samples" -maxdepth 1 -type f | wc -l)
[ "$installed" -eq "$samples" ] || fail "$installed sample files installed, $samples expected"

# The installed program, run as a user would: its own data home, no display.
check() {
  local program="$1" folder="$2" output
  output=$(env -i HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen PATH="$PATH" \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" \
    UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" "$program" --self-check) || {
    echo "$output"
    fail "self-check of $program failed"
  }
  echo "$output"
  grep -qxF "program folder: $folder (installed layout)" <<<"$output" || fail "program folder"
  grep -qxF "hand pointer: loaded" <<<"$output" || fail "hand pointer"
  grep -qxF "drag pointer: loaded" <<<"$output" || fail "drag pointer"
  grep -qxF "samples: $samples files in $folder/Samples" <<<"$output" || fail "samples"
  grep -qxF "sample runs use: $work/data/Thinwick/Samples" <<<"$output" || fail "sample copy"
  # Looking is all it does: the user's copy is made by the sample button, not here.
  [ ! -e "$work/data/Thinwick" ] || fail "the self-check wrote the sample copy"
  [ ! -e "$work/config/Brindlewood.ini" ] || fail "the self-check wrote the settings"
}
mkdir -p "$work/home" "$work/runtime" && chmod 700 "$work/runtime"
check "$prefix/bin/thinwick" "$prefix/share/thinwick"

# A relocated installation finds its files relative to the program.
mv "$work/root/usr" "$work/moved"
check "$work/moved/bin/thinwick" "$work/moved/share/thinwick"
echo "install: ok"
