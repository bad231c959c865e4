#!/usr/bin/env bash
# Builds Thinwick and starts it.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build" -G Ninja >/dev/null
cmake --build "$top/build" --target thinwick
exec "$top/build/thinwick" "$@"
