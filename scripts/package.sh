#!/usr/bin/env bash
# Builds the Debian package build/package/sonaro_<version>_<arch>.deb from a Release build of the
# three programs in build-package/ (no tests, no benchmarks; the compiler cache is shared with
# the other build trees). Installs what is missing first.
#
#   scripts/package.sh [--from DIR]
#
# --from DIR packages the programs of a build tree that is already built (the package test uses
# the test build, so that a test run compiles the programs once) and writes DIR/package/.
# Releases are made without it: only build-package/ has Debian's hardening flags.
set -euo pipefail
from=
case "${1:-}" in
--from) from=$(realpath -- "${2:?package.sh: --from needs a build directory}") ;;
"") ;;
*) echo "usage: scripts/package.sh [--from BUILD_DIR]" >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."

./scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
dir=build-package
out=build/package

if [ -n "$from" ]; then
    [ -f "$from/CMakeCache.txt" ] || { echo "package.sh: $from is not a build tree" >&2; exit 2; }
    dir=$from out=$from/package
    echo "== build $dir"
    cmake --build "$dir" -j "$jobs" --target sonaro sonaroctl sonaro-unit sonaro-server sonaro_install_data
else
    # Debian's hardening flags (stack protector, fortified functions, read-only relocations
    # bound at start); CMake's Release type chooses the optimisation.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow
    export DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
    cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
    ldflags="$(dpkg-buildflags --get LDFLAGS)"
    echo "== configure $dir"
    # CMAKE_SKIP_INSTALL_ALL_DEPENDENCY: packaging builds only the targets below, not the tools
    # used for soak and figures.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONARO_BUILD_TESTS=OFF \
        -DSONARO_BUILD_BENCHMARKS=OFF -DSONARO_WERROR="${SONARO_WERROR:-OFF}" \
        -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DCMAKE_CXX_FLAGS="$cxxflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
    echo "== build $dir"
    cmake --build "$dir" -j "$jobs" --target sonaro sonaroctl sonaro-unit sonaro-server sonaro_install_data
fi
echo "== package"
rm -rf "$dir/cpack"
(cd "$dir" && cpack -G DEB -B "$PWD/cpack" >/dev/null)
mkdir -p "$out"
rm -f "$out"/sonaro_*.deb
mv "$dir"/cpack/sonaro_*.deb "$out/"
ls "$out"/sonaro_*.deb
