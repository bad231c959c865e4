#!/usr/bin/env bash
# Builds Thinwick for Windows with MinGW-w64 and runs the whole test suite under Wine, then builds
# the portable zip and checks that it starts in a fresh Wine prefix.
# The cross-built Qt comes from $THINWICK_QT_MINGW (an unpacked folder) when set; else from the
# prebuilt copy in ../shared/windows/ beside the clone when it matches our recipe; else it is
# built from Debian's source by scripts/build-qt-mingw.sh (about 30 CPU-minutes, once). Both go
# into a cache folder outside the clone, keyed by the recipe.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
# Wine maps file names between Windows and the host through the host's locale: a UTF-8 one, or a
# name outside ASCII cannot be made. Whatever the caller's locale (or none), the run uses this one.
unset LANGUAGE
export LC_ALL=C.UTF-8 LANG=C.UTF-8
say() { echo "test-windows: $*"; }
# Each step prints a line with its wall and CPU time.
source "$top/scripts/phase.sh"
started=$SECONDS
host_tmp="${TMPDIR:-/tmp}"
# Wine makes a folder for its server's socket under the temp folder (wine-XXXXXX) and leaves it:
# the ones this run made are removed at its end.
wine_dirs_before="$(ls -d "$host_tmp"/wine-* 2>/dev/null || true)"
remove_wine_dirs() {
  local dir
  for dir in "$host_tmp"/wine-*; do
    [ -d "$dir" ] && [ -O "$dir" ] || continue
    grep -qxF -- "$dir" <<<"$wine_dirs_before" || rm -rf -- "$dir"
  done
}

say "installing the Debian packages it needs (when missing)"
phase "Windows: packages" "$top/scripts/deps.sh" g++-mingw-w64-x86-64-posix wine64 xvfb xauth \
  fonts-liberation xz-utils zip unzip nsis ccache
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "test-windows: no $wine (wine64)" >&2; exit 1; }

# --- Qt for Windows -------------------------------------------------------------------------
phaseBegin "Windows: Qt for Windows"
key="$(bash "$top/scripts/build-qt-mingw.sh" --key)"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/thinwick"
qt="$cache/qt6.4.2-mingw-$key"
prebuilt="$top/../shared/windows/qt6.4.2-mingw-w64-x86_64-posix.tar.xz"
# A copy matches when it is this Qt version, built by this compiler's major version, with the
# modules and plugins the recipe makes and the features it leaves out left out.
matches() {
  local dir="$1" pri="$1/mkspecs/qconfig.pri" gcc
  gcc="$(x86_64-w64-mingw32-g++-posix -dumpversion | cut -d . -f 1 | tr -dc 0-9)"
  [ -f "$pri" ] &&
    grep -qx 'QT_VERSION = 6.4.2' "$pri" &&
    grep -qx "QT_GCC_MAJOR_VERSION = $gcc" "$pri" &&
    grep -q '^QT.global.disabled_features = .* zstd concurrent dbus' "$pri" &&
    for file in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
      plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll \
      plugins/styles/qwindowsvistastyle.dll lib/cmake/Qt6/qt.toolchain.cmake; do
      [ -f "$dir/$file" ] || return 1
    done &&
    [ ! -e "$dir/bin/Qt6Network.dll" ]
}
if [ -n "${THINWICK_QT_MINGW:-}" ]; then
  qt="$(realpath "$THINWICK_QT_MINGW")"
  say "Qt for Windows from THINWICK_QT_MINGW: $qt"
elif [ -f "$qt/.complete" ]; then
  say "Qt for Windows from the cache: $qt"
elif [ -f "$prebuilt" ]; then
  say "unpacking the prebuilt Qt for Windows from $prebuilt into $qt"
  rm -rf "$qt" "$qt.unpack"
  mkdir -p "$qt.unpack"
  tar xJf "$prebuilt" -C "$qt.unpack"
  if matches "$qt.unpack/qt6-mingw"; then
    mv "$qt.unpack/qt6-mingw" "$qt"
    rm -rf "$qt.unpack"
    touch "$qt/.complete"
  else
    say "the prebuilt copy does not match this recipe: building Qt instead"
    rm -rf "$qt.unpack"
  fi
fi
if [ ! -f "$qt/.complete" ] && [ -z "${THINWICK_QT_MINGW:-}" ]; then
  say "building Qt for Windows from Debian's source into $qt (about 30 CPU-minutes, once)"
  rm -rf "$qt"
  bash "$top/scripts/build-qt-mingw.sh" "$qt"
  touch "$qt/.complete"
fi
matches "$qt" || { echo "test-windows: $qt is not a Qt for Windows of this recipe" >&2; exit 1; }
phaseEnd

# --- Build ----------------------------------------------------------------------------------
build="$top/build-windows"
mingw_runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
mingw_lib="/usr/x86_64-w64-mingw32/lib"
export WINEPATH="$(winepath_of() { echo "Z:${1//\//\\}"; }; echo "$(winepath_of "$qt/bin");$(winepath_of "$mingw_runtime");$(winepath_of "$mingw_lib")")"
# No QT_ variable reaches a Windows program under Wine (Wine keeps the host's Qt settings out):
# Qt finds its plugins beside its DLLs, and the tests choose their platform themselves.
export WINEPREFIX="$build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
say "configuring the Windows build in $build"
mkdir -p "$build"
# A build folder configured against another Qt starts afresh: CMake keeps its first toolchain.
if [ -f "$build/CMakeCache.txt" ] &&
  ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$qt/lib/cmake/Qt6/qt.toolchain.cmake" "$build/CMakeCache.txt"; then
  say "the build folder was configured against another Qt: configuring afresh"
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
build_started=$SECONDS
# CMakeLists.txt puts ccache in front of the compiler where the machine has it.
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$top/cmake/windows/mingw-w64-x86_64-posix.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" -DTHINWICK_BENCH=OFF -DTHINWICK_MINGW_RUNTIME="$mingw_runtime" \
  >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
say "building thinwick.exe and the tests"
phase "Windows: build" cmake --build "$build" -j"$(nproc)"
build_time=$((SECONDS - build_started))

# --- Wine -----------------------------------------------------------------------------------
# Liberation Sans, Arial's metric twin, as the prefix's Arial and its dialog fonts; and files whose
# name starts with "." shown as on Windows, not hidden as Wine would by default.
installFonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" liberation=/usr/share/fonts/truetype/liberation
  mkdir -p "$fonts"
  cp "$liberation/LiberationSans-Regular.ttf" "$fonts/arial.ttf"
  cp "$liberation/LiberationSans-Bold.ttf" "$fonts/arialbd.ttf"
  cp "$liberation/LiberationSans-Italic.ttf" "$fonts/ariali.ttf"
  cp "$liberation/LiberationSans-BoldItalic.ttf" "$fonts/arialbi.ttf"
  printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"Arial"="Liberation Sans"' '"MS Shell Dlg"="Liberation Sans"' \
    '"MS Shell Dlg 2"="Liberation Sans"' '"Tahoma"="Liberation Sans"' \
    '"Segoe UI"="Liberation Sans"' '' '[HKEY_CURRENT_USER\Software\Wine]' \
    '"ShowDotFiles"="Y"' >"$WINEPREFIX/drive_c/fonts.reg"
  # Right after the prefix is made regedit's import can be lost: wait for the wineserver to write
  # the registry out, and import again if the replacements are not there.
  for _ in 1 2 3; do
    "$wine" regedit /S 'C:\fonts.reg' >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver64 -w
    grep -q '^"Arial"="Liberation Sans"' "$WINEPREFIX/user.reg" && return 0
  done
  echo "test-windows: could not set Liberation Sans as Arial in $WINEPREFIX" >&2
  return 1
}
# A private prefix under the build folder, made once, with Liberation Sans as the window's Arial.
if [ ! -f "$WINEPREFIX/.thinwick-ready-2" ]; then
  say "making a private Wine prefix in $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
  installFonts
  touch "$WINEPREFIX/.thinwick-ready-2"
fi
# One virtual display for the whole run: Wine's window driver wants one even for the offscreen
# platform's message windows.
display=""
for n in $(seq 90 120); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }; done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# The prefix's own temp folders (the Windows user's Temp) hold what a test left there, even one
# stopped by its time limit before it could clean up: they are emptied before and after the tests.
empty_prefix_temp() {
  local dir
  for dir in "$WINEPREFIX"/drive_c/users/*/Temp "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp; do
    [ -d "$dir" ] && [ ! -L "$dir" ] || continue
    chmod -R u+rwx -- "$dir" 2>/dev/null || true
    find "$dir" -mindepth 1 -maxdepth 1 -exec rm -rf -- {} + 2>/dev/null || true
  done
}
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  WINEPREFIX="$build/wine" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  empty_prefix_temp
  remove_wine_dirs
}
trap cleanup EXIT
export DISPLAY="$display"
tmp="$(mktemp -d "$host_tmp/thinwick-wine-tests.XXXXXX")"
export TMPDIR="$tmp"
# Wine's Recycle Bin is the host's freedesktop trash: each test points it into its own folder;
# anything else run here gets this one, not the user's.
export XDG_DATA_HOME="$tmp/data"
# The prefix's wineserver starts afresh with this environment, once for all tests.
/usr/lib/wine/wineserver64 -k 2>/dev/null || true
empty_prefix_temp
"$wine" wineboot >/dev/null 2>&1 || true

# --- Tests ----------------------------------------------------------------------------------
say "running the test suite under Wine"
test_started=$SECONDS
failed=0
# No log of an earlier run may stand in for a program that wrote none this time.
find "$build/tests" -name '*.log' -delete
phase "Windows: tests under Wine" ctest --test-dir "$build" --parallel "$(nproc)" --timeout 600 ||
  failed=1
test_time=$((SECONDS - test_started))
rm -rf -- "$tmp"
# Each test program writes its log to a file beside it (tests/CMakeLists.txt): one line per
# program with its totals, as Qt Test prints them on Linux, and what failed in full.
# Programs without a Qt Test log (the fuzz corpora's replays) are named with ctest's verdict.
failed_list="$build/Testing/Temporary/LastTestsFailed.log"
while read -r name; do
  log="$(find "$build/tests/$name" -name "$name.log" -print -quit 2>/dev/null || true)"
  if [ -n "$log" ]; then
    printf '%-24s %s\n' "$name" "$(grep -a '^Totals:' "$log" | tail -1 || true)"
  elif [ "$failed" -ne 0 ] && grep -qx "[0-9]*:$name" "$failed_list" 2>/dev/null; then
    printf '%-24s %s\n' "$name" "failed"
  else
    printf '%-24s %s\n' "$name" "passed"
  fi
done < <(ctest --test-dir "$build" -N | sed -n 's/^ *Test *#[0-9]*: //p')
if [ "$failed" -ne 0 ]; then
  while IFS=: read -r _ name; do
    log="$(find "$build/tests" -name "$name.log" -print -quit 2>/dev/null || true)"
    echo "=== $name ==="
    if [ -n "$log" ]; then grep -av '^PASS ' "$log"; else echo "(no log)"; fi
  done <"$failed_list"
  say "tests failed under Wine (build ${build_time}s, tests ${test_time}s)"
  exit 1
fi

# --- Package --------------------------------------------------------------------------------
say "packaging: the portable zip (and the NSIS installer when makensis is there)"
package_started=$SECONDS
phaseBegin "Windows: package and zip check"
(cd "$build" && cpack >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
zip="$(ls "$build"/Thinwick-*-win64.zip)"
say "unpacking $(basename "$zip") into a fresh Wine prefix and running --self-check there"
fresh="$(mktemp -d "$host_tmp/thinwick-zip.XXXXXX")"
(
  cd "$fresh"
  unzip -q "$zip"
  # Nothing of the build's: no Qt or MinGW on the path, no plugin folder, a prefix of its own.
  unset WINEPATH
  export WINEPREFIX="$fresh/prefix"
  # The tests' temp folder is gone; Wine keeps its server's socket under TMPDIR.
  export TMPDIR="$host_tmp" XDG_DATA_HOME="$fresh/data"
  # wineboot may answer non-zero for what a headless prefix lacks; the self-check says what counts.
  "$wine" wineboot --init >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver64 -w
  program="$(echo "$fresh"/Thinwick-*-win64/bin/thinwick.exe)"
  "$wine" "$program" --self-check >"$fresh/self-check.txt" 2>&1 || {
    cat "$fresh/self-check.txt" >&2
    exit 1
  }
  cat "$fresh/self-check.txt"
  grep -q '^samples: [1-9][0-9]* files in ' "$fresh/self-check.txt" &&
    grep -q '^hand pointer: loaded' "$fresh/self-check.txt" ||
    { echo "test-windows: the unpacked zip's self-check is incomplete" >&2; exit 1; }
  /usr/lib/wine/wineserver64 -k 2>/dev/null || true
)
rm -rf -- "$fresh"
phaseEnd
package_time=$((SECONDS - package_started))

say "passed: build ${build_time}s, tests ${test_time}s, package ${package_time}s," \
  "all $((SECONDS - started))s; packages in $build: $(cd "$build" && echo Thinwick-*-win64.*)"
