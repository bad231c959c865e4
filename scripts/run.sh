#!/usr/bin/env bash
# Builds Thinwick and starts it.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/deps.sh"
cd "$top"
cmake --preset default >/dev/null
cmake --build --preset default --target thinwick
exec "$top/build/thinwick" "$@"
