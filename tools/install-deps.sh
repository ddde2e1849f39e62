#!/usr/bin/env bash
# Installs the Debian 12 packages one of the two commands needs (as root; apt-get update
# first). Packages already installed are left alone; nothing is installed when none is
# missing, so a user without root rights may run it on a prepared machine.
#
#   tools/install-deps.sh run     building the tool and its Debian package, and opening the
#                                 tool (./run.sh; the README's Install steps)
#   tools/install-deps.sh test    that, and all that the tests need (./test.sh)
set -euo pipefail

# Building the program, its library and the simulated master, and showing the windows
# as designed (Qt's platform plugins, the Tahoma of fonts-wine); the manual pages (scdoc)
# and the Debian package's dependencies on the libraries the programs link
# (dpkg-shlibdeps of dpkg-dev, which needs file); the D2XX provider on libftdi1.
run_packages=(
    cmake ninja-build g++ qt6-base-dev libgl1-mesa-dev nlohmann-json3-dev libftdi1-dev
    qt6-qpa-plugins fonts-wine
    scdoc dpkg-dev file
)
# The tests: GoogleTest; clang with its libFuzzer runtime; the end-to-end runs in a real X
# server (Xvfb, openbox, xdotool, xwininfo/xprop, ImageMagick's import for screenshots),
# read through the accessibility bus (at-spi2-core, python3-pyatspi, and dbus-daemon for
# dbus-run-session); the package's checks (lintian, desktop-file-validate, appstreamcli);
# the Windows cross build, its installer (nsis) and wine to run it, and for Qt cross-built from Debian's source
# (tools/build-qt-mingw.sh) the host's Qt tools (moc, rcc, uic) of the same version;
# libusb's headers for the stand-in of libusb under the provider's tests.
test_packages=(
    libgtest-dev clang libclang-rt-14-dev libusb-1.0-0-dev
    xvfb openbox xdotool x11-utils imagemagick at-spi2-core python3-pyatspi dbus-daemon
    lintian desktop-file-utils appstream
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 qt6-base-dev-tools nsis
)

case ${1:-} in
run) packages=("${run_packages[@]}") ;;
test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
