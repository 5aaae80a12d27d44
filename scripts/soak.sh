#!/usr/bin/env bash
# Fault soak: the real core against a virtual unit on loopback (127.0.0.1 -> 127.0.0.2) with
# 20 % of datagrams dropped each way, two 5 s silences and 2 % corrupted checksums, while a
# seeded random operator works the strips, matrix, system page, EQ and limiter.
# Usage: scripts/soak.sh [SECONDS] [SEED]   (default 120 s, seed 1)
# Prints actions, frames sent, retries, re-logins and, last, "differing fields: N [names]".
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-120}
seed=${2:-1}
dir=${SONARO_BUILD_DIR:-build}

./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
export no_proxy='*'
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$jobs" --target sonaro-soak >/dev/null
exec "$dir/tools/sonaro-soak/sonaro-soak" --seconds "$seconds" --seed "$seed"
