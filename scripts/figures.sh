#!/usr/bin/env bash
# Responsiveness and speed figures: the event-loop stall of the first login, a preset open and
# a factory restore against a virtual unit, the discovery sweep times, the EQ curve timings, the
# editor repaint time and sonaro-server's latency, CPU and page figures. Everything runs on
# loopback (127.0.0.0/8) in a RelWithDebInfo build.
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

# sonaro-server: a set request to its V frame at the unit with 1 and 50 API clients, CPU with 50
# clients receiving meters at 10 Hz, and the web page's size and first meter update in Chromium.
# The real server runs with --demo: its core logged in to the embedded virtual unit, on 127.0.0.0/8.
cmake --build "$dir" -j "$jobs" --target sonaro-server sonaro-server-figures >/dev/null
server="$dir/tools/sonaro-server/sonaro-server"
"$dir/bench/server-figures/sonaro-server-figures" "$server"
/usr/bin/python3 tests/server/browser/remote_page_test.py --server "$server" --figures |
    grep '^web page'
