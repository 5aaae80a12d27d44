#!/usr/bin/env bash
# Checks that the source folders stay a one-way stack and that every C++ file is formatted,
# then builds Sonaro and runs every test twice: in the normal build and in the
# AddressSanitizer + UndefinedBehaviorSanitizer build. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh

# Both checks run, so that one run names every problem; either fails the run before a build.
echo "== layers"
checks=0
{ python3 scripts/check-layers.py --self-test && python3 scripts/check-layers.py; } || checks=1
echo "== format"
./scripts/check-format.sh || checks=1
if [ "$checks" -ne 0 ]; then
    echo "test.sh: the layer or the format check failed (above)" >&2
    exit 1
fi

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen
# Tests never reach outside the loopback range; keep Qt from looking for proxies.
export no_proxy='*'

# CI sets SONARO_WERROR=ON so that a new warning fails the run.
werror=${SONARO_WERROR:-OFF}

run_build() {
    local dir=$1; shift
    echo "== configure $dir"
    cmake -S . -B "$dir" -G Ninja -DSONARO_WERROR="$werror" "$@" >/dev/null
    echo "== build $dir"
    cmake --build "$dir" -j "$jobs"
    echo "== test $dir"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
run_build build-asan -DCMAKE_BUILD_TYPE=Debug -DSONARO_SANITIZE=ON -DSONARO_BUILD_BENCHMARKS=OFF
