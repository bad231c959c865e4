#!/usr/bin/env bash
# Compiles (syntax only) what this machine's build leaves out: every source of the Windows build,
# with MinGW-w64 against Qt's own headers, and the files only the macOS branch adds, with the host
# compiler. A full Windows build needs Qt's Windows libraries; this check needs only the headers.
# Needs the compile commands of a configured build: check-platforms.sh [BUILD_DIR], default build/.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$top/build}")"
cd "$top"
commands="$build/compile_commands.json"
[ -f "$commands" ] || { echo "check-platforms: no $commands (configure the build first)" >&2; exit 2; }
# The POSIX-thread flavour, as Qt's own MinGW builds use: it has std::thread, which the win32
# flavour lacks.
mingw=x86_64-w64-mingw32-g++-posix
command -v "$mingw" >/dev/null || { echo "check-platforms: no $mingw (g++-mingw-w64-x86-64)" >&2; exit 2; }
qt="$(sed -n 's/^Qt6_DIR:PATH=//p' "$build/CMakeCache.txt")"

# The Windows build as CMake lays it out, with MinGW-w64 and this machine's Qt package made to look
# like Qt's Windows package: UNICODE defined, MinGW's mkspec, the host's /usr/include (Vulkan's
# headers) not searched, and any existing file as import library, as nothing is linked.
windows="$build/windows-check"
mkdir -p "$windows"
printf 'set(CMAKE_SYSTEM_NAME Windows)\nset(CMAKE_CXX_COMPILER %s)\n' "$mingw" >"$windows/mingw.cmake"
cat >"$windows/windows.cmake" <<'END'
add_compile_options(-fsyntax-only)
add_compile_definitions(UNICODE _UNICODE)
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL thinwick_as_on_windows)
function(thinwick_as_on_windows)
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY IMPORTED_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      set_target_properties(${target} PROPERTIES IMPORTED_IMPLIB ${CMAKE_CURRENT_FUNCTION_LIST_FILE})
    endif()
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    if(dirs)
      list(REMOVE_ITEM dirs /usr/include)
      list(TRANSFORM dirs REPLACE "/mkspecs/linux-g\\+\\+$" "/mkspecs/win32-g++")
      set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${dirs}")
    endif()
  endforeach()
  # No moc (its output is not ours to check) and uic by hand: automatic moc and uic would wait for
  # the libraries, which syntax-only compiles never make.
  thinwick_without_autogen(${CMAKE_SOURCE_DIR})
endfunction()
function(thinwick_without_autogen directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF)
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    get_target_property(binary_dir ${target} BINARY_DIR)
    foreach(form IN LISTS sources)
      if(form MATCHES "\\.ui$")
        get_filename_component(name ${form} NAME_WE)
        set(header ${binary_dir}/${target}_autogen/include/ui_${name}.h)
        add_custom_target(${target}_uic_${name} BYPRODUCTS ${header}
          COMMAND Qt6::uic ${source_dir}/${form} -o ${header})
        add_dependencies(${target} ${target}_uic_${name})
      endif()
    endforeach()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    thinwick_without_autogen(${subdirectory})
  endforeach()
endfunction()
END
cmake -S "$top" -B "$windows" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$windows/mingw.cmake" -DCMAKE_PROJECT_INCLUDE="$windows/windows.cmake" \
  -DQt6_DIR="$qt" -DBUILD_TESTING=OFF -DTHINWICK_BENCH=OFF \
  >"$windows/configure.log" 2>&1 || { cat "$windows/configure.log" >&2; exit 1; }

# "command<TAB>file" for each of our own sources (not generated ones) in compile commands.
ownSources() {
  awk -v top="$top/" -v generated="$build/" '
    function value(line) { sub(/^  "[a-z]*": "/, "", line); sub(/",?$/, "", line); return line }
    /^  "command": / { command = value($0) }
    /^  "file": / {
      file = value($0)
      if (index(file, top) == 1 && index(file, generated) != 1) print command "\t" file
    }' "$1"
}

hostSources="$(ownSources "$commands")"
declare -A hostFiles=()
while IFS= read -r file; do hostFiles["$file"]=1; done < <(cut -f 2 <<<"$hostSources")
mapfile -t windowsFiles < <(ownSources "$windows/compile_commands.json" | cut -f 2 | sort -u)
windowsOnly=()
for file in "${windowsFiles[@]}"; do
  [ -n "${hostFiles["$file"]:-}" ] || windowsOnly+=("${file#"$top"/}")
done
[ ${#windowsOnly[@]} -gt 0 ] || { echo "check-platforms: the Windows build adds no file" >&2; exit 1; }
echo "check-platforms: MinGW-w64 on the ${#windowsFiles[@]} files of the Windows build," \
  "${#windowsOnly[@]} of them its own: ${windowsOnly[*]}"
# Every object of the Windows build; ninja runs uic first.
mapfile -t objects < <(sed -n 's/^  "command": ".* -o \([^ ]*\) -c .*/\1/p' "$windows/compile_commands.json" |
  sort -u)
[ ${#objects[@]} -gt 0 ] || { echo "check-platforms: no objects in the Windows build" >&2; exit 1; }
failed=0
ninja -C "$windows" -k 0 "${objects[@]}" >"$windows/build.log" 2>&1 || {
  grep -v '^\[[0-9]*/[0-9]*\] ' "$windows/build.log" >&2
  failed=1
}

# The macOS branch adds the files Windows and macOS share (Qt's trash, the native display check):
# those the Windows build compiles beyond this one that are not Windows' own. Each is compiled
# with this build's command for a file of the same folder.
others=()
for file in "${windowsOnly[@]}"; do
  case "$file" in *_win.cpp | *Windows.cpp | *_registry.cpp) continue ;; esac
  others+=("$file")
done
echo "check-platforms: the host compiler on the files of the macOS branch: ${others[*]}"
for file in "${others[@]}"; do
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
