#!/usr/bin/env bash
# Builds Qt 6.4.2 for Windows (Core, Gui, Widgets, Test as DLLs; MinGW-w64, x86_64, POSIX threads)
# from Debian's own qt6-base source, for the Windows build of Thinwick (scripts/test-windows.sh).
#   build-qt-mingw.sh --key            prints the key of this recipe: the source version, the
#                                      configure line and the compiler (what a cached copy must match)
#   build-qt-mingw.sh PREFIX           downloads, patches, configures, builds and installs into PREFIX
#   build-qt-mingw.sh PREFIX --configure-only   stops after configure (the build folder stays)
# About 30 CPU-minutes and 900 MB of build folder (under PREFIX.build, removed afterwards). A build
# that was interrupted resumes where it stopped: the download, the patched source, the configured
# folder and the compiled files are kept while the recipe's key stays the same.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
source_package=qt6-base
source_version=6.4.2+dfsg-10
upstream=6.4.2
toolchain="$top/cmake/windows/mingw-w64-x86_64-posix.cmake"
patches=("$top/cmake/windows/qtbase-qwindows-no-direct2d.patch")
compiler=x86_64-w64-mingw32-g++-posix
# -no-feature-tabletevent and -direct2d: Debian's source leaves out src/3rdparty/wintab;
# -no-feature-androiddeployqt: Debian's cross.patch would build it.
configure_args=(-release -shared -qt-host-path /usr -xplatform win32-g++ -nomake examples
  -nomake tests -no-opengl -no-dbus -no-icu -no-feature-vulkan -no-feature-sql
  -no-feature-network -no-feature-xml -no-feature-concurrent -no-feature-printsupport
  -no-feature-zstd -no-feature-tabletevent -no-feature-direct2d -no-feature-androiddeployqt
  -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre)

key() {
  {
    echo "$source_package $source_version"
    echo "${configure_args[*]}"
    "$compiler" --version | head -n 1
    cat "${patches[@]}" "$toolchain"
  } | sha256sum | cut -c 1-16
}

if [ "${1:-}" = --key ]; then
  key
  exit 0
fi
[ $# -ge 1 ] || { echo "usage: build-qt-mingw.sh PREFIX [--configure-only] | --key" >&2; exit 2; }
prefix="$(realpath -m "$1")"
configure_only="${2:-}"

"$top/scripts/deps.sh" g++-mingw-w64-x86-64-posix dpkg-dev xz-utils patch ca-certificates
work="$prefix.build"
# Each stage leaves a mark when it has ended; a folder of another recipe starts afresh.
recipe="$(key)"
if [ "$(cat "$work/.key" 2>/dev/null)" != "$recipe" ]; then
  rm -rf "$work"
  mkdir -p "$work"
  echo "$recipe" >"$work/.key"
fi
mkdir -p "$work/apt/lists/partial" "$work/apt/parts"
cd "$work"

if [ -f "$work/.downloaded" ]; then
  echo "build-qt-mingw: the source was downloaded before"
else
echo "build-qt-mingw: downloading the source of $source_package $source_version from Debian"
# A private apt configuration with just the bookworm source list; the machine's own stays as it is.
echo "deb-src http://deb.debian.org/debian bookworm main" >"$work/apt/sources.list"
apt_options=(-o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts="$work/apt/parts"
  -o Dir::State::Lists="$work/apt/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" update -q
apt-get "${apt_options[@]}" source --download-only "$source_package=$source_version"
touch "$work/.downloaded"
fi

src="$work/qtbase-everywhere-src-$upstream"
if [ -f "$work/.unpacked" ]; then
  echo "build-qt-mingw: the source was unpacked and patched before"
  [ -d "$src" ] || src="$(find "$work" -maxdepth 1 -type d -name 'qtbase-*' | head -n 1)"
else

echo "build-qt-mingw: unpacking and applying Debian's patches and our own"
rm -rf "$work"/qtbase-* "$work/build"
tar xJf "${source_package}_${upstream}+dfsg.orig.tar.xz"
[ -d "$src" ] || src="$(find "$work" -maxdepth 1 -type d -name 'qtbase-*' | head -n 1)"
tar xJf "${source_package}_${source_version}.debian.tar.xz" -C "$src"
while IFS= read -r patch; do
  case "$patch" in '' | '#'*) continue ;; esac
  patch -d "$src" -p1 -s <"$src/debian/patches/${patch%% *}"
done <"$src/debian/patches/series"
for patch in "${patches[@]}"; do patch -d "$src" -p1 -s <"$patch"; done
touch "$work/.unpacked"
fi

if [ -f "$work/.configured" ]; then
  echo "build-qt-mingw: configured before"
  cd "$work/build"
else
echo "build-qt-mingw: configuring (host tools from the machine's qt6-base-dev)"
rm -rf "$work/build"
mkdir -p "$work/build"
cd "$work/build"
"$src/configure" -prefix "$prefix" "${configure_args[@]}" -- -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
touch "$work/.configured"
fi
if [ "$configure_only" = --configure-only ]; then
  echo "build-qt-mingw: configured in $work/build (not built)"
  exit 0
fi
# ninja goes on from the files an interrupted build compiled.
echo "build-qt-mingw: building (about 30 CPU-minutes)"
ninja -j"$(nproc)"
ninja install
# The recorded chain-load path points at this script's toolchain file; users pass their own.
cd /
rm -rf "$work"
echo "build-qt-mingw: installed into $prefix"
