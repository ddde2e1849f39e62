#!/usr/bin/env bash
# Runs a Windows program of the cross build under wine: ctest's emulator for the build
# (cmake/mingw-w64-x86_64.cmake), usable by hand too:
#   tests/windows/wine-run.sh build-win/tests/config_tests.exe --gtest_filter=...
#
# The wine prefix lives in the build tree (<build>/wine-prefix) and is made on first use.
# The program finds brenvoli.dll (<build>/bin) and the simulated ftd2xx.dll (<build>/sim)
# on the DLL search path, so neither needs to stand beside a test or beside the other.
# The program's output is shown when it has ended, without the carriage returns of its
# text-mode output, so that it reads as on Linux (gtest's list of tests, for one). The exit
# status is the program's.
set -uo pipefail

# "wine-run.sh --prepare BUILD" only makes the prefix, so that the first test does not pay
# for it. "wine-run.sh --wait BUILD SECONDS" waits until every program started in the
# build's prefix has ended (one started in the background, say); those still running when
# the time is up are ended, and the status is then 1.
prepare_only=false
wait_seconds=
if [ "${1:-}" = --prepare ]; then
    prepare_only=true
    shift
    program=${1:?usage: wine-run.sh --prepare BUILD}/CMakeCache.txt
elif [ "${1:-}" = --wait ]; then
    wait_seconds=${3:?usage: wine-run.sh --wait BUILD SECONDS}
    program=$2/CMakeCache.txt
else
    program=${1:?usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]}
fi
# The build tree is the nearest folder above the program that holds CMakeCache.txt.
build=$(cd "$(dirname "$program")" && pwd)
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do
    build=$(dirname "$build")
done
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "wine-run.sh: $program is not in a build tree" >&2
    exit 2
fi

# The build's own prefix, whatever prefix the caller uses otherwise.
export WINEPREFIX=$build/wine-prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Debian keeps the 64-bit loader and server in /usr/lib/wine; elsewhere they are on PATH.
wine=$(command -v wine64 || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
[ -n "$wine" ] || wine=$(command -v wine || true)
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || [ ! -x /usr/lib/wine/wineserver64 ] || wineserver=/usr/lib/wine/wineserver64
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
    echo "wine-run.sh: wine is not installed" >&2
    exit 127
fi

# A fresh prefix is made once, under a lock, with a time limit so a stuck first start
# cannot hang a test run.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            timeout 300 "$wine" wineboot -i >/dev/null 2>&1
            status=$?
            if [ $status -eq 0 ]; then
                # The registry files are written when the server ends.
                timeout 120 "$wineserver" -w
                status=$?
            fi
            if [ $status -ne 0 ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
                echo "wine-run.sh: making the wine prefix $WINEPREFIX failed ($status)" >&2
                exit 1
            fi
        fi
    ) 9>"$WINEPREFIX.lock" || exit 1
fi

$prepare_only && exit 0
if [ -n "$wait_seconds" ]; then
    timeout "$wait_seconds" "$wineserver" -w && exit 0
    "$wineserver" -k
    exit 1
fi

# The DLL search path: <build>/bin and <build>/sim, then the folders of Qt's and the
# mingw-w64 runtime's DLLs for a build with the window (<build>/wine-dll-path, one a line);
# or the folders that KESTRAVION_WINE_DLL_PATH names instead (Unix paths separated by
# colons, like LD_LIBRARY_PATH; set but empty: none). Wine sees the host's folders on
# drive Z:.
default_dll_path=$build/bin:$build/sim
if [ -f "$build/wine-dll-path" ]; then
    while read -r dir; do
        default_dll_path+=:$dir
    done <"$build/wine-dll-path"
fi
WINEPATH=""
IFS=: read -ra dll_dirs <<<"${KESTRAVION_WINE_DLL_PATH-$default_dll_path}"
for dir in "${dll_dirs[@]}"; do
    [ -n "$dir" ] && WINEPATH+="${WINEPATH:+;}Z:${dir//\//\\}"
done
export WINEPATH

# Wine starts its background processes (services, devices) with the first program of a
# session and they inherit that program's output: were it ctest's pipe, ctest would wait
# for them to end. The output goes through files instead.
output=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$output" "$errors"' EXIT
# A program that hangs is ended, so that a test run cannot hang with it.
timeout -k 10 "${KESTRAVION_WINE_TIMEOUT:-300}" "$wine" "$@" </dev/null >"$output" 2>"$errors"
status=$?
tr -d '\r' <"$output"
tr -d '\r' <"$errors" >&2
exit $status
