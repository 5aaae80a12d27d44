#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for SECONDS (default 60) on a copy of its seed corpus. Prints the
# executions and findings of every target; exits non-zero when anything was found. Findings are
# kept in build-fuzz/findings/<target>/ (reproduce: build-fuzz/tests/fuzz/fuzz_<target> FILE).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
targets=(dispatcher state_file address_file find_pattern)

./scripts/deps.sh

echo "== configure build-fuzz"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DSONARO_FUZZ=ON \
    -DSONARO_BUILD_TESTS=OFF -DSONARO_BUILD_BENCHMARKS=OFF -DSONARO_BUILD_UI=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
echo "== build build-fuzz"
cmake --build build-fuzz -j 2 --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export no_proxy='*'
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
summary=()
total=0
for t in "${targets[@]}"; do
    corpus=$work/$t/corpus
    artifacts=$work/$t/artifacts
    mkdir -p "$corpus" "$artifacts"
    cp tests/fuzz/corpus/"$t"/* "$corpus"/
    echo "== fuzz $t for ${seconds} s"
    log=$work/$t/log
    set +e
    (cd "$work/$t" && "$OLDPWD"/build-fuzz/tests/fuzz/fuzz_"$t" -max_total_time="$seconds" \
        -artifact_prefix="$artifacts"/ -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
        "$corpus") >"$log" 2>&1
    rc=$?
    set -e
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' |
        tail -1 || true)
    findings=$(find "$artifacts" -type f | wc -l)
    if [ "$findings" -eq 0 ] && [ "$rc" -ne 0 ]; then
        findings=1 # the fuzzer stopped without writing its input
        echo "fuzz_$t exited with status $rc:"; tail -n 30 "$log"
    fi
    if [ "$findings" -gt 0 ]; then
        mkdir -p build-fuzz/findings/"$t"
        cp "$artifacts"/* build-fuzz/findings/"$t"/ 2>/dev/null || true
        cp "$log" build-fuzz/findings/"$t"/log
        grep -m1 -A12 'ERROR\|check failed\|runtime error' "$log" || true
    fi
    total=$((total + findings))
    summary+=("$(printf '%-14s executions: %-10s findings: %s' "$t" "${execs:-0}" "$findings")")
done

echo "== results (${seconds} s per target)"
printf '%s\n' "${summary[@]}"
if [ "$total" -gt 0 ]; then
    echo "findings: $total (kept in build-fuzz/findings/)"
    exit 1
fi
echo "findings: 0"
