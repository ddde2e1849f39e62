#!/usr/bin/env bash
# Builds the library, the simulated driver and the program's core for 64-bit Windows with
# mingw-w64 (cmake/mingw-w64-x86_64.cmake) and runs their tests under wine. The windows
# need Qt, which the cross build does not have: they are left out (KESTRAVION_GUI=OFF).
#
#   tests/windows/run-windows-tests.sh [--build-only] [BUILD_DIR]
#
# BUILD_DIR defaults to build-win. Prints ctest's summary ("N% tests passed, M tests failed
# out of T") and exits with ctest's status. --build-only stops after the build and the
# wine prefix, for a caller that runs ctest on BUILD_DIR itself (ctest then runs the
# programs under wine through the build's emulator, tests/windows/wine-run.sh).
set -uo pipefail
cd "$(dirname "$0")/../.."

build_only=false
if [ "${1:-}" = --build-only ]; then
    build_only=true
    shift
fi
build=${1:-build-win}
jobs=$(nproc)

for tool in x86_64-w64-mingw32-g++-posix cmake ninja; do
    if ! command -v "$tool" >/dev/null; then
        echo "run-windows-tests.sh: $tool is missing (tools/install-deps.sh installs it)" >&2
        exit 1
    fi
done

# Release: no debug information, which would make the mingw objects slow to build.
cmake -S . -B "$build" -G Ninja --no-warn-unused-cli \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKESTRAVION_GUI=OFF -DKESTRAVION_BENCH=OFF -DKESTRAVION_TESTS=ON >/dev/null || exit 1
cmake --build "$build" -j "$jobs" || exit 1
tests/windows/wine-run.sh --prepare "$build" || exit 1
$build_only && exit 0

ctest --test-dir "$build" --output-on-failure -j "$jobs"
