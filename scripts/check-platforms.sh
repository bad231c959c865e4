#!/usr/bin/env bash
# Compiles (syntax only), with the host compiler, the files only the macOS branch of the build adds
# (Qt's trash, the native display check): neither this machine's build nor the Windows build
# (scripts/test-windows.sh, which builds and tests the Windows files for real) compiles them.
# Each is compiled with this build's command for a file of the same folder.
# Needs the compile commands of a configured build: check-platforms.sh [BUILD_DIR], default build/.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$top/build}")"
cd "$top"
commands="$build/compile_commands.json"
[ -f "$commands" ] || { echo "check-platforms: no $commands (configure the build first)" >&2; exit 2; }

# The files of the macOS branch in src/logic/CMakeLists.txt (the branch after UNIX and WIN32).
mapfile -t others < <(sed -n '/^else()$/,/^endif()$/p' src/logic/CMakeLists.txt |
  grep -o '[A-Za-z/_]*\.cpp' | sort -u)
[ ${#others[@]} -gt 0 ] || { echo "check-platforms: no macOS files found" >&2; exit 1; }

# "command<TAB>file" for each of our own sources in the compile commands.
hostSources="$(awk -v top="$top/" '
    function value(line) { sub(/^  "[a-z]*": "/, "", line); sub(/",?$/, "", line); return line }
    /^  "command": / { command = value($0) }
    /^  "file": / { file = value($0); if (index(file, top) == 1) print command "\t" file }' "$commands")"

# Those this build does not compile already.
macos=()
for file in "${others[@]}"; do
  grep -qF "	$top/src/logic/$file" <<<"$hostSources" || macos+=("src/logic/$file")
done
echo "check-platforms: the host compiler on the files of the macOS branch: ${macos[*]}"
failed=0
for file in "${macos[@]}"; do
  sibling="$(grep -m 1 -F "	$top/$(dirname "$file")/" <<<"$hostSources" | cut -f 1)" ||
    { echo "check-platforms: no compile command beside $file" >&2; exit 1; }
  sibling="${sibling//\\\"/\"}"
  sibling="${sibling//\\\\/\\}"
  (cd "$build" && eval "${sibling%% -o *} -fsyntax-only $(printf %q "$top/$file")") || failed=1
done
if [ "$failed" -ne 0 ]; then
  echo "check-platforms: files of another platform do not compile" >&2
  exit 1
fi
echo "check-platforms: clean"
