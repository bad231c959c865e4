#!/usr/bin/env bash
# Keeps the logic library below the window: nothing under src/logic/ may include a file of
# src/ui/ or a header of a Qt module other than QtCore (QtGui, QtWidgets, ...), and the logic
# library's include path reaches neither. Names file and line of every breach.
# Needs the compile commands of a configured build: check-layers.sh [BUILD_DIR], default build/.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
cd "$top"
logic="$top/src/logic"
ui="$top/src/ui"
commands="$build/compile_commands.json"
[ -f "$commands" ] || { echo "check-layers: no $commands (configure the build first)" >&2; exit 2; }

# Qt's include folder: where this build finds QtCore, else Debian's.
qt="$(grep -m 1 -o -- '-isystem [^ ]*/QtCore ' "$commands" | head -n 1 | sed 's/^-isystem //; s|/QtCore $||')"
[ -d "$qt/QtCore" ] || qt=/usr/include/x86_64-linux-gnu/qt6
[ -d "$qt/QtCore" ] || { echo "check-layers: Qt's headers not found" >&2; exit 2; }

# The Qt module a header belongs to, empty when it is none of Qt's: QtCore first, as QtCore's
# names are the ones logic may use.
qtModule() {
  local name="$1" dir
  case "$name" in
  Qt*/*) echo "${name%%/*}" && return ;;
  Qt*) [ -d "$qt/$name" ] && echo "$name" && return ;;
  esac
  [ -e "$qt/QtCore/$name" ] && echo QtCore && return
  for dir in "$qt"/Qt*/; do
    [ -e "$dir$name" ] && basename "$dir" && return
  done
  return 0
}

failures=0
fail() {
  echo "$1" >&2
  failures=$((failures + 1))
}

while IFS= read -r file; do
  dir="$(dirname "$top/$file")"
  number=0
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\<\"])([^\>\"]+)[\>\"] ]] || continue
    kind="${BASH_REMATCH[1]}"
    name="${BASH_REMATCH[2]}"
    if [ "$kind" = '<' ]; then
      module="$(qtModule "$name")"
      if [ -n "$module" ] && [ "$module" != QtCore ]; then
        fail "$file:$number: includes <$name> from $module; the logic library uses QtCore only"
      elif [ -e "$ui/$name" ]; then
        fail "$file:$number: includes <$name>, a file of src/ui/"
      fi
      continue
    fi
    # A quoted include resolves beside the file, then from src/logic (the only include folder).
    resolved=""
    for candidate in "$dir/$name" "$logic/$name"; do
      if [ -e "$candidate" ]; then
        resolved="$(realpath -m "$candidate")"
        break
      fi
    done
    case "$resolved" in
    "$logic"/*) ;;
    "$ui"/*) fail "$file:$number: includes \"$name\", which is ${resolved#"$top"/}" ;;
    "")
      if [ -e "$ui/$name" ] || [ -n "$(find "$ui" -name "$(basename "$name")" -print -quit)" ] ||
        [[ "$(basename "$name")" == ui_* ]]; then
        fail "$file:$number: includes \"$name\", a file of src/ui/"
      else
        fail "$file:$number: includes \"$name\", which is not under src/logic/"
      fi
      ;;
    *) fail "$file:$number: includes \"$name\", which is ${resolved#"$top"/}, outside src/logic/" ;;
    esac
  done <"$top/$file"
done < <(git ls-files -- 'src/logic/*')

# The logic library's own build files name no folder of the window and link nothing of it.
number=0
while IFS= read -r line || [ -n "$line" ]; do
  number=$((number + 1))
  [[ "$line" =~ ^[[:space:]]*# ]] && continue
  if [[ "$line" =~ (\.\./|src/ui|thinwick_ui|Qt6?::(Gui|Widgets)) ]]; then
    fail "src/logic/CMakeLists.txt:$number: reaches beyond the logic library: $line"
  fi
done <"$logic/CMakeLists.txt"

# What the compiler is really given for each file of the logic library.
checked=0
while IFS= read -r entry; do
  source="${entry#*$'\t'}"
  command="${entry%%$'\t'*}"
  checked=$((checked + 1))
  for bad in "$ui" thinwick_ui_autogen "$qt/QtGui" "$qt/QtWidgets"; do
    if [[ "$command" == *"$bad"* ]]; then
      fail "${source#"$top"/}: its compile command in $commands puts $bad on the include path"
    fi
  done
done < <(awk -v logic="$logic/" '
  /^  "command": / { command = $0 }
  /^  "file": / {
    file = $0
    sub(/^  "file": "/, "", file)
    sub(/",?$/, "", file)
    if (index(file, logic) == 1) print command "\t" file
  }' "$commands")
[ "$checked" -gt 0 ] || fail "check-layers: no file of src/logic/ in $commands"

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures breach(es) of the layers" >&2
  exit 1
fi
echo "check-layers: src/logic/ includes nothing of src/ui/, QtGui or QtWidgets ($checked compile commands)"
