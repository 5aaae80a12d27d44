#!/usr/bin/env bash
# Builds Sonaro and starts the desktop program in demo mode: an embedded virtual unit on
# 127.0.0.2, the link bound to 127.0.0.1, files kept in a demo data directory of their own.
# Extra arguments go to the program (for example --units 3 for a chain of three units,
# --data-dir DIR, or -- to drop --demo).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target sonaro

if [ "${1:-}" = "--" ]; then
    shift
    exec ./build/tools/sonaro/sonaro "$@"
fi
exec ./build/tools/sonaro/sonaro --demo "$@"
