#!/usr/bin/env bash
# scripts/deps.sh as a user who is not root and has no sudo, asked for a package that is missing:
# a line that says what to do and one with the command to copy, naming the package, and a failure;
# no attempt to install.
# Usage: nosudo.sh <source folder>
set -euo pipefail
source="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/thinwick-nosudo.XXXXXX")"
trap 'rm -rf -- "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# A PATH with only the tools deps.sh uses to look, sudo not among them; a copy of the script that
# the user can read wherever the source lies.
mkdir "$work/bin"
for tool in dpkg-query grep id; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
cp "$source/scripts/deps.sh" "$work/deps.sh"
chmod -R a+rX "$work"
as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
as_nobody test -r "$work/deps.sh" || fail "nobody cannot reach $work: the temp folder must be open to others"
status=0
output=$(as_nobody env -i PATH="$work/bin" \
  "$(command -v bash)" "$work/deps.sh" thinwick-no-such-package 2>&1) || status=$?
echo "$output"
[ "$status" -ne 0 ] || fail "deps.sh succeeded"
[ "$(wc -l <<<"$output")" -eq 2 ] || fail "not two lines"
grep -qx "apt-get update && apt-get install -y --no-install-recommends thinwick-no-such-package" \
  <<<"$output" || fail "the command to copy is not on a line of its own"
grep -qF "run as root, or install sudo" <<<"$output" || fail "it does not say what to do"
grep -qF "thinwick-no-such-package" <<<"$output" || fail "it does not name the missing package"
# The build tools are installed here (the suite was built with them): only what is missing is named.
! grep -qw cmake <<<"$output" || fail "it names packages that are installed"
echo "nosudo: ok"
