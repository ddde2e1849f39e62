#!/usr/bin/env bash
# Builds Qt for the Windows cross build (Core, Gui, Widgets, Test, the Windows, offscreen
# and minimal platform plugins, the Windows styles) from Debian's qt6-base source with
# Debian's mingw-w64 posix toolchain, once per machine, and prints the folder it is
# installed in:
#
#   tools/build-qt-mingw.sh          prints e.g. ~/.cache/kestravion/qt-6.4.2-mingw-1a2b3c4d5e
#
# Debian packages no Qt for mingw-w64, but it does package Qt's source. The source is
# fetched with apt-get source (a deb-src entry for bookworm main is added when apt has
# none; as root), whose files apt checks against the archive's signed index. The host's
# Qt of the same version (qt6-base-dev) provides moc, rcc and uic.
#
# The install folder is keyed by the Qt version and the options below, under
# $KESTRAVION_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/kestravion), outside any work
# tree. It counts as complete only when its stamp file exists, written as the very last
# step, so an interrupted build is never taken for a finished one; a later run resumes
# the build where it stopped. A first build takes about 40 minutes on 2 cores.
# Progress goes to standard error, the build's own output to a log whose end is shown
# when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "build-qt-mingw.sh: $*" >&2
    exit 1
}

host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake
triple=x86_64-w64-mingw32
for tool in $triple-g++-posix $triple-gcc-posix $triple-windres cmake ninja perl; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh test installs it)"
done
[ -f "$host_cmake_dir/Qt6CoreTools/Qt6CoreToolsConfig.cmake" ] ||
    fail "the host's Qt tools are missing (qt6-base-dev; tools/install-deps.sh test installs it)"
debian_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) ||
    fail "qt6-base-dev is not installed; its version decides which Qt source is built"
qt_version=${debian_version%%[+-]*}

# Only what the window and its tests need, as Release without debug information.
# INPUT_opengl=no is configure's -no-opengl: it also turns off the dynamic-GL code of the
# Windows platform plugin, which does not build without OpenGL. Debian's source lacks
# src/3rdparty/wintab, which tablet events need. The bundled image, font and regex
# libraries are used, so the result never depends on which mingw libraries are installed.
options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=$host_cmake_dir
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF
    -DFEATURE_tabletevent=OFF
    -DFEATURE_direct2d=OFF -DFEATURE_direct2d1_1=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_zstd=OFF -DFEATURE_pkg_config=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_doubleconversion=OFF
)
# The compilers, and headers and libraries from the mingw-w64 tree only.
toolchain="set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
"
# Without Direct2D (whose platform plugin is not needed), 6.4.2's Gui leaves out the
# DirectWrite font database, which the Windows platform plugin still creates whenever
# DirectWrite 3 is there; the plugin is made to create it only when Gui has it.
fix_file=src/plugins/platforms/windows/qwindowsintegration.cpp
fix_from='#if QT_CONFIG(directwrite3)'
fix_to='#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)'
key=$(printf '%s\n' "$debian_version" "${options[@]}" "$toolchain" "$fix_from" "$fix_to" |
    sha256sum | cut -c1-10)

cache=${KESTRAVION_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kestravion}
mkdir -p "$cache" || fail "cannot create the cache folder $cache"
# Qt builds only in a path without symbolic links.
cache=$(cd "$cache" && pwd -P)
prefix=$cache/qt-$qt_version-mingw-$key
stamp=$prefix/kestravion-build-complete
work=$prefix.work
log=$work/build.log

if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi
# One build at a time per folder; a second run waits for the first, at most two hours.
exec 9>"$prefix.lock"
flock -w 7200 9 || fail "another build of $prefix still holds $prefix.lock after two hours"
if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi
mkdir -p "$work"

# Runs one step with its output in the log; a failure names the step and shows the log's end.
step() {
    local what=$1
    shift
    echo "build-qt-mingw.sh: $what" >&2
    if ! "$@" >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        fail "$what failed; the whole log is $log"
    fi
}

# The source, fetched and unpacked once (Debian's patches applied by dpkg-source).
source_dir=$work/qt6-base-${debian_version%-*}
if [ ! -f "$work/source-unpacked" ]; then
    rm -rf "$source_dir"
    known=$(apt-cache showsrc qt6-base 2>/dev/null || true)
    if ! grep -qx "Version: $debian_version" <<<"$known"; then
        [ "$(id -u)" -eq 0 ] ||
            fail "apt knows no source of qt6-base $debian_version; as root this adds bookworm's deb-src entry"
        list=/etc/apt/sources.list.d/kestravion-deb-src.sources
        printf '%s\n' "# Debian's sources for bookworm main, for tools/build-qt-mingw.sh." \
            "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" \
            "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" >"$list"
        step "apt-get update (for $list)" apt-get update
    fi
    command -v dpkg-source >/dev/null || fail "dpkg-source is missing (package dpkg-dev)"
    step "fetching qt6-base $debian_version" \
        bash -c 'cd "$1" && apt-get source --only-source "qt6-base=$2"' _ "$work" "$debian_version"
    [ -d "$source_dir" ] || fail "apt-get source did not unpack $source_dir"
    rm -f "$work"/*.orig.tar.* "$work"/*.debian.tar.* "$work"/*.dsc
    [ "$(grep -cxF "$fix_from" "$source_dir/$fix_file")" -eq 2 ] ||
        fail "$fix_file no longer holds the two lines to fix: is this Qt 6.4.2?"
    sed -i "s/^$fix_from\$/$fix_to/" "$source_dir/$fix_file"
    touch "$work/source-unpacked"
fi

printf '%s' "$toolchain" >"$work/toolchain.cmake"
step "configuring Qt $qt_version for $triple" \
    cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
    "${options[@]}"
grep -q '^QT_FEATURE_dynamicgl:INTERNAL=OFF' "$work/build/CMakeCache.txt" ||
    fail "the configured Qt still uses dynamic GL, which does not build without OpenGL"
step "building Qt (about 40 minutes on 2 cores; log: $log)" \
    cmake --build "$work/build" -j "$(nproc)"
# The folder holds only what this install puts there; the stamp comes last.
mkdir -p "$prefix"
find "$prefix" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
step "installing Qt into $prefix" cmake --install "$work/build"
touch "$stamp"
rm -rf "$work"
echo "$prefix"
