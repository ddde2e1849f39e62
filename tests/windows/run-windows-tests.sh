#!/usr/bin/env bash
# Builds the whole tool for 64-bit Windows with mingw-w64 (cmake/mingw-w64-x86_64.cmake):
# the library, the simulated driver, the program's core, tarvelo-cli and the window, on Qt
# cross-built from Debian's source (tools/build-qt-mingw.sh: once per machine, about 40
# minutes on 2 cores, then reused), and runs the tests under wine: the core's and the
# window's headless tests, and the Windows package, whose window is opened on the simulated
# master (run-package.sh).
#
#   tests/windows/run-windows-tests.sh [--build-only] [--no-window] [BUILD_DIR]
#
# BUILD_DIR defaults to build-win. Prints ctest's summary ("N% tests passed, M tests failed
# out of T") and exits with ctest's status; exits 1 when Qt or the tool cannot be built.
# --build-only stops after the build and the wine prefix, for a caller that runs ctest on
# BUILD_DIR itself (ctest then runs the programs under wine through the build's emulator,
# tests/windows/wine-run.sh). --no-window builds without Qt and so without the window and
# the package (the package test then says it is skipped, and why).
set -uo pipefail
cd "$(dirname "$0")/../.."

build_only=false
window=true
while [ $# -gt 0 ]; do
    case $1 in
    --build-only) build_only=true ;;
    --no-window) window=false ;;
    *) break ;;
    esac
    shift
done
build=${1:-build-win}
jobs=$(nproc)

for tool in x86_64-w64-mingw32-g++-posix cmake ninja; do
    if ! command -v "$tool" >/dev/null; then
        echo "run-windows-tests.sh: $tool is missing (tools/install-deps.sh installs it)" >&2
        exit 1
    fi
done

window_options=(-DKESTRAVION_GUI=OFF)
if $window; then
    qt=$(tools/build-qt-mingw.sh) || {
        echo "run-windows-tests.sh: Qt for Windows could not be built (see above)" >&2
        exit 1
    }
    window_options=(-DKESTRAVION_GUI=ON -DCMAKE_PREFIX_PATH="$qt")
fi

# Release: no debug information, which would make the mingw objects slow to build.
cmake -S . -B "$build" -G Ninja --no-warn-unused-cli \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    "${window_options[@]}" -DKESTRAVION_BENCH=OFF -DKESTRAVION_TESTS=ON >/dev/null || exit 1
cmake --build "$build" -j "$jobs" || exit 1
tests/windows/wine-run.sh --prepare "$build" || exit 1
$build_only && exit 0

ctest --test-dir "$build" --output-on-failure -j "$jobs"
