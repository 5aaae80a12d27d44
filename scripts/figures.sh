#!/usr/bin/env bash
# Responsiveness and speed figures: the event-loop stall of the first login, a preset open and
# a factory restore against a virtual unit, the discovery sweep times, the EQ curve timings and
# the editor repaint time. Everything runs on loopback (127.0.0.0/8) in a RelWithDebInfo build.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${SONARO_BUILD_DIR:-build}
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
export no_proxy='*'
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONARO_BUILD_UI=ON \
      -DSONARO_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$dir" -j "$jobs" --target sonaro-figures DiscoveryBench DspBench \
      EditorRepaintBench >/dev/null

"$dir/tools/sonaro-figures/sonaro-figures"

# Google Benchmark CSV: name,iterations,real_time,cpu_time,time_unit,...
"$dir/bench/DiscoveryBench" --benchmark_format=csv 2>/dev/null |
    awk -F, '
        function seconds(t, unit) { return unit == "ms" ? t / 1000 : unit == "us" ? t / 1e6 : unit == "ns" ? t / 1e9 : t }
        /BM_PipelinedSweep/     { printf "discovery pipelined: %.2f s\n", seconds($3, $5) }
        /BM_OneHostAtATimeSweep/ { printf "discovery sequential: %.2f s\n", seconds($3, $5) }'

"$dir/bench/DspBench" --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"?BM_/ { gsub(/"/, "", $1); printf "curve %s: %.1f %s\n", $1, $3, $5 }'

"$dir/bench/EditorRepaintBench" 2>/dev/null |
    awk '/median/ { for (i = 1; i <= NF; ++i) if ($i == "median" && $(i + 1) + 0 > worst) worst = $(i + 1) + 0 }
         END { printf "editor repaint: %.2f ms\n", worst }'
