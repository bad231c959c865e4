#!/usr/bin/env bash
# scripts/deps.sh as a user who is not root and has no sudo, asked for a package that is missing:
# one line that says what to do, naming the package, and a failure; no attempt to install.
# Usage: nosudo.sh <source folder>
set -euo pipefail
source="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/thinwick-nosudo.XXXXXX")"
trap 'rm -rf -- "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# A PATH with only the tools deps.sh uses to look, sudo not among them.
mkdir "$work/bin"
for tool in dpkg-query grep id; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
chmod -R a+rX "$work"
status=0
output=$(setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH="$work/bin" \
  "$(command -v bash)" "$source/scripts/deps.sh" thinwick-no-such-package 2>&1) || status=$?
echo "$output"
[ "$status" -ne 0 ] || fail "deps.sh succeeded"
[ "$(wc -l <<<"$output")" -eq 1 ] || fail "more than one line"
grep -qF "run as root, or install sudo" <<<"$output" || fail "it does not say what to do"
grep -qF "thinwick-no-such-package" <<<"$output" || fail "it does not name the missing package"
echo "nosudo: ok"
