#!/usr/bin/env bash
# Fault soak: the real core against a virtual unit on loopback (127.0.0.1 -> 127.0.0.2) with
# 20 % of datagrams dropped each way, two 5 s silences and 2 % corrupted checksums, while a
# seeded random operator works the strips, matrix, system page, EQ and limiter.
# Usage: scripts/soak.sh [--seeds N] [SECONDS] [SEED]   (default 120 s, seed 1)
# Meanwhile the virtual unit's front panel changes a gain or a switch every 1.5 s.
# One run prints actions, frames sent, retries, re-logins, the read-back's share of all datagrams
# (both ways), the front-panel changes kept and, last, "differing fields: N [names]".
# With --seeds N, seeds SEED .. SEED+N-1 run (in parallel, SOAK_JOBS at once, default the number
# of processors): one line per seed, the read-back's share over all, and last
# "differing fields: N" summed over all of them. The exit status is 0 only when nothing differs
# and no front-panel change was taken back.
set -euo pipefail
cd "$(dirname "$0")/.."

seeds=0
positional=()
while [ $# -gt 0 ]; do
    case "$1" in
    --seeds) seeds=${2:-}; shift 2 || { echo "soak.sh: --seeds needs a number" >&2; exit 2; } ;;
    --seeds=*) seeds=${1#*=}; shift ;;
    *) positional+=("$1"); shift ;;
    esac
done
if ! [[ "$seeds" =~ ^[0-9]+$ ]]; then
    echo "soak.sh: --seeds needs a number" >&2
    exit 2
fi
seconds=${positional[0]:-120}
seed=${positional[1]:-1}
dir=${SONARO_BUILD_DIR:-build}

./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
export no_proxy='*'
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$jobs" --target sonaro-soak >/dev/null
soak="$dir/tools/sonaro-soak/sonaro-soak"
if [ "$seeds" -eq 0 ]; then
    exec "$soak" --seconds "$seconds" --seed "$seed"
fi

# Seeds run side by side, as many at once as there are processors (--jobs N to choose); each run
# binds its own free loopback port.
out_dir=$(mktemp -d)
trap 'rm -rf "$out_dir"' EXIT
parallel=${SOAK_JOBS:-$jobs}
for ((i = 0; i < seeds; i++)); do
    s=$((seed + i))
    "$soak" --seconds "$seconds" --seed "$s" >"$out_dir/$s" 2>&1 &
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
        wait -n || true
    done
done
wait || true

total=0
failed=0
readback=0
datagrams=0
for ((i = 0; i < seeds; i++)); do
    s=$((seed + i))
    out=$(cat "$out_dir/$s")
    line=$(printf '%s\n' "$out" | grep '^differing fields:' || true)
    if [ -z "$line" ]; then
        echo "seed $s: no login, no comparison"
        failed=1
        continue
    fi
    frames=$(printf '%s\n' "$out" | sed -n 's/^frames sent: //p')
    rb=$(printf '%s\n' "$out" | sed -n 's/^read-back datagrams: //p')
    panel=$(printf '%s\n' "$out" | sed -n 's/^front-panel changes kept: //p')
    count=$(printf '%s\n' "$line" | awk '{print $3}')
    echo "seed $s: frames sent ${frames:-?}, read-back ${rb:-?}, front panel kept ${panel:-?}, ${line}"
    case "$panel" in *reverted*) failed=1 ;; esac
    readback=$((readback + $(printf '%s\n' "$rb" | awk '{print $1}')))
    datagrams=$((datagrams + $(printf '%s\n' "$rb" | awk '{print $3}')))
    total=$((total + count))
done
if [ "$datagrams" -gt 0 ]; then
    awk -v r="$readback" -v d="$datagrams" \
        'BEGIN { printf "read-back datagrams: %d of %d (%.1f %%)\n", r, d, 100 * r / d }'
fi
echo "differing fields: $total"
[ "$total" -eq 0 ] && [ "$failed" -eq 0 ]
