#!/usr/bin/env bash
# Builds the Debian package from the build folder with CPack, lists its contents and checks its
# files and computed dependencies; then runs desktop-file-validate, appstreamcli validate and
# lintian where installed (scripts/deps.sh installs them), failing on any error they report.
# Exits 77 (skipped) when cpack's Debian tools are missing. CTest runs it with no locale selected.
# Usage: package.sh <build folder>
set -euo pipefail
build="$1"
for tool in cpack dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work="$(mktemp -d "${TMPDIR:-/tmp}/thinwick-package.XXXXXX")"
trap 'rm -rf -- "$work"' EXIT
# The tools' own temporary files (lintian leaves some) go into the work folder and with it.
mkdir "$work/tmp"
export TMPDIR="$work/tmp"
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"
  fail "cpack failed"
}
deb=$(ls "$work"/thinwick_*.deb)
echo "== $(basename "$deb")"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb" | tee "$work/contents"

has() { grep -qE " \./$1\$" "$work/contents" || fail "the package lacks $1"; }
has usr/bin/thinwick
has usr/share/thinwick/HAND-M.CUR
has usr/share/thinwick/drag.ico
has usr/share/applications/thinwick.desktop
has 'usr/share/metainfo/[^/]+\.metainfo\.xml'
has usr/share/icons/hicolor/48x48/apps/thinwick.png
has usr/share/doc/thinwick/copyright
has usr/share/doc/thinwick/changelog.gz
has usr/share/man/man1/thinwick.1.gz
has usr/share/bash-completion/completions/thinwick
has usr/share/zsh/vendor-completions/_thinwick
has usr/share/fish/vendor_completions.d/thinwick.fish
samples=$(grep -c ' \./usr/share/thinwick/Samples/[^/]\+$' "$work/contents" || true)
expected=$(find "$(dirname "$0")/../assets/Samples" -maxdepth 1 -type f | wc -l)
[ "$samples" -eq "$expected" ] || fail "$samples sample files in the package, $expected expected"
[ "$(grep -c ' \./usr/bin/[^/]' "$work/contents")" -eq 1 ] || fail "more than the program in bin/"
depends=$(dpkg-deb --field "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -qF 'fonts-liberation2 | fonts-liberation' <<<"$depends" || fail "Depends lacks the font: $depends"
[ -n "$(dpkg-deb --field "$deb" Description | sed -n 2p)" ] || fail "no long description"

# The validators, on the files as packaged.
dpkg-deb -x "$deb" "$work/root"
if command -v desktop-file-validate >/dev/null; then
  echo "== desktop-file-validate"
  desktop-file-validate "$work/root/usr/share/applications/thinwick.desktop" || fail "desktop entry"
else
  echo "desktop-file-validate not installed: not run"
fi
if command -v appstreamcli >/dev/null; then
  echo "== appstreamcli validate"
  appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml ||
    fail "AppStream metadata"
else
  echo "appstreamcli not installed: not run"
fi
if command -v lintian >/dev/null; then
  echo "== lintian"
  lintian --tag-display-limit 0 "$deb" | tee "$work/lintian" || true
  ! grep -q '^E:' "$work/lintian" || fail "lintian reports errors"
else
  echo "lintian not installed: not run"
fi
echo "package: ok"
