#!/usr/bin/env bash
# The Debian package as a user gets it, without installing anything into the system:
#   1. CPack builds the .deb from the build tree;
#   2. lintian finds no errors in it; desktop-file-validate and appstreamcli accept its
#      desktop entry and metainfo; its dependencies name Qt's runtime, Qt's platform
#      plugins, the Tahoma of fonts-wine and Debian's libftdi1;
#   3. dpkg-deb unpacks it into a scratch root, where the two programs find their private
#      libbrenvoli.so through their relative run path, with the D2XX provider beside it; its
#      udev rule unbinds nothing;
#   4. the launcher makes and enters the per-user settings folder (checked with a stand-in
#      program: XDG_CONFIG_HOME absolute, unset, relative); the bash completion offers a
#      serial number holding $(...) after --device, quoted, and runs nothing;
#   5. the unpacked tarvelo-cli reads the simulated master's table;
#   6. the unpacked program, started through the launcher's command line in Xvfb against
#      the simulated master through the package's provider and Debian's libftdi1, shows its
#      window, writes config.ini into $XDG_CONFIG_HOME/kestravion (pointed at a scratch
#      folder) and nowhere else, and writes the table back when its window is closed.
#
#   run-package.sh --build B --driver-dir D --check C --work W
#   run-package.sh --skip REASON        says why the run is skipped (exit 77)
#
# D is the only folder on the library path: the stand-in for libusb-1.0.so.0 with the
# simulated master behind it (tests/ftdi). FTDI's driver is absent, as on a machine with
# only Debian's packages, so the unpacked library binds its own provider.
#
# Prints each step's result and ends with "N passed, M failed"; exits 1 on any failure.
set -uo pipefail
arguments=("$@")
here=$(cd "$(dirname "$0")" && pwd)
e2e=$here/../e2e

for lib in report display tool window mainwindow master fixtures; do
    source "$e2e/lib/$lib.sh"
done

build= E2E_DRIVER_DIR= E2E_CHECK= E2E_WORK=
while (($#)); do
    case $1 in
    --skip)
        echo "package: skipped: $2"
        exit 77
        ;;
    --build) build=$2; shift 2 ;;
    --driver-dir) E2E_DRIVER_DIR=$2; shift 2 ;;
    --check) E2E_CHECK=$2; shift 2 ;;
    --work) E2E_WORK=$2; shift 2 ;;
    *)
        echo "package: unknown argument $1"
        exit 2
        ;;
    esac
done

missing=()
for tool in cpack dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli \
    readelf Xvfb openbox xdotool xwininfo xprop import dbus-run-session; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
if ((${#missing[@]})); then
    echo "package: missing tools: ${missing[*]} (tools/install-deps.sh test installs them)"
    echo "0 passed, 1 failed"
    exit 1
fi

# The run goes on on a session bus of its own, for the accessibility bus, which ends with
# it. The buses' messages go to a log; the run keeps its standard output and error.
if [[ -z ${E2E_SESSION_BUS:-} ]]; then
    rm -rf "$E2E_WORK"
    mkdir -p "$E2E_WORK"
    E2E_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "${arguments[@]}" \
        3>&1 4>&2 >"$E2E_WORK/buses.log" 2>&1
fi
exec 1>&3 2>&4 3>&- 4>&-
E2E_SHOTS=$E2E_WORK/shots
E2E_RUNTIME=$E2E_WORK/runtime
mkdir -p "$E2E_SHOTS" && mkdir -p -m 700 "$E2E_RUNTIME"
ROOT=$E2E_WORK/root
DEB=

passed=0
failed=0
# step NAME: runs step_NAME in a subshell of its own, as the e2e runner runs a scenario.
step() {
    local name=$1
    echo "--- $name"
    (
        trap 'kill_leftovers >/dev/null; exit $SCENARIO_FAILED' EXIT
        scenario_setup "$name"
        "step_$name"
    )
    if (($? == 0)); then
        echo "ok   $name"
        passed=$((passed + 1))
        return 0
    fi
    echo "FAIL $name; files in $E2E_WORK"
    failed=$((failed + 1))
    return 1
}

step_build() {
    (cd "$build" && cpack -G DEB -B "$E2E_WORK/cpack") >"$E2E_WORK/cpack.log" 2>&1 ||
        abort "cpack failed: $(tail -n 5 "$E2E_WORK/cpack.log")"
    local debs=("$E2E_WORK"/cpack/*.deb)
    ((${#debs[@]} == 1)) && [[ -f ${debs[0]} ]] || abort "cpack made no single .deb"
    say "${debs[0]##*/}"
}

step_lint() {
    lintian --fail-on error "$DEB" >"$E2E_WORK/lintian.log" 2>&1 ||
        fail "lintian: $(grep '^E:' "$E2E_WORK/lintian.log" | tr '\n' ' ')"
    grep -E '^[EW]:' "$E2E_WORK/lintian.log" | sed 's/^/    /'
    local depends
    depends=$(dpkg-deb -f "$DEB" Depends)
    local need
    for need in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6 qt6-qpa-plugins fonts-wine \
        libftdi1-2; do
        [[ ", $depends," == *", $need "* || ", $depends," == *", $need,"* ]] ||
            fail "Depends lacks $need: $depends"
    done
}

step_unpack() {
    rm -rf "$ROOT"
    dpkg-deb -x "$DEB" "$ROOT" || abort "dpkg-deb -x failed"
    local file
    for file in usr/bin/tarvelo usr/bin/tarvelo-cli usr/bin/kestravion-configurator \
        usr/share/man/man1/tarvelo.1.gz usr/share/man/man1/tarvelo-cli.1.gz \
        usr/share/bash-completion/completions/tarvelo-cli \
        usr/share/applications/com.kestravion.configurator.desktop \
        usr/share/metainfo/com.kestravion.configurator.metainfo.xml \
        usr/share/icons/hicolor/scalable/apps/com.kestravion.configurator.svg \
        usr/lib/udev/rules.d/60-kestravion.rules \
        usr/share/doc/kestravion-configurator/copyright; do
        [[ -e $ROOT/$file ]] || fail "the package lacks /$file"
    done
    local lib
    lib=$(ls "$ROOT"/usr/lib/*/kestravion-configurator/libbrenvoli.so 2>/dev/null)
    [[ -f $lib ]] || fail "the package lacks libbrenvoli.so in its private folder"
    [[ ! -e $ROOT/usr/bin/libbrenvoli.so ]] || fail "libbrenvoli.so lies in /usr/bin"
    [[ -f $(dirname "$lib")/libkestravion-d2xx.so ]] || fail "the D2XX provider is not beside $lib"
    ! grep -qi unbind "$ROOT"/usr/lib/udev/rules.d/60-kestravion.rules ||
        fail "the udev rule unbinds a driver"
    local program runpath
    for program in tarvelo tarvelo-cli; do
        runpath=$(readelf -d "$ROOT/usr/bin/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
        [[ $runpath == '$ORIGIN/'* ]] || fail "$program's RUNPATH is not relative: '$runpath'"
        [[ -f $lib && $(realpath "$ROOT/usr/bin/${runpath#\$ORIGIN/}") == $(dirname "$lib") ]] ||
            fail "$program's RUNPATH '$runpath' does not lead to $lib"
    done
    desktop-file-validate "$ROOT"/usr/share/applications/*.desktop >"$E2E_WORK/desktop.log" 2>&1 ||
        fail "desktop-file-validate: $(tr '\n' ' ' <"$E2E_WORK/desktop.log")"
    appstreamcli validate --no-net --strict "$ROOT"/usr/share/metainfo/*.xml \
        >"$E2E_WORK/appstream.log" 2>&1 ||
        fail "appstreamcli validate: $(tr '\n' ' ' <"$E2E_WORK/appstream.log")"
}

# The launcher with a stand-in program beside it that reports its folder and arguments.
step_launcher() {
    local bin=$WORKDIR/bin home=$WORKDIR/home
    mkdir -p "$bin" "$home"
    cp "$ROOT/usr/bin/kestravion-configurator" "$bin/"
    printf '#!/bin/sh\necho "$PWD|$*"\n' >"$bin/tarvelo"
    chmod +x "$bin/tarvelo"
    local launch=("$bin/kestravion-configurator" -x "two words")
    expect_eq "XDG_CONFIG_HOME set" "$WORKDIR/xdg/kestravion|-x two words" \
        "$(cd / && env -i HOME="$home" XDG_CONFIG_HOME="$WORKDIR/xdg" "${launch[@]}")"
    expect_eq "XDG_CONFIG_HOME unset" "$home/.config/kestravion|-x two words" \
        "$(cd / && env -i HOME="$home" "${launch[@]}")"
    expect_eq "XDG_CONFIG_HOME relative" "$home/.config/kestravion|-x two words" \
        "$(cd / && env -i HOME="$home" XDG_CONFIG_HOME=relative "${launch[@]}")"
    # A settings folder that cannot be made: a message and no start.
    : >"$WORKDIR/file"
    local out
    out=$(env -i HOME="$home" XDG_CONFIG_HOME="$WORKDIR/file" "${launch[@]}" 2>&1)
    local status=$?
    expect_eq "status with an unusable folder" 1 "$status"
    [[ $out == *"cannot use the settings folder"* ]] || fail "no message: $out"
}

# After --device the completion offers, quoted, the serial numbers that a stand-in for
# `tarvelo-cli devices` reports, and runs nothing that one holds.
step_completion() {
    local hostile offered script=$ROOT/usr/share/bash-completion/completions/tarvelo-cli
    printf -v hostile '$(touch${IFS}%s)' "$WORKDIR/ran"
    printf '0\tKM000001\tKESTRAVION MASTER\n1\t%s\tFT232R USB UART\n' "$hostile" >"$WORKDIR/devices"
    mkdir -p "$WORKDIR/bin"
    printf '#!/bin/sh\ncat "%s"\n' "$WORKDIR/devices" >"$WORKDIR/bin/tarvelo-cli"
    chmod +x "$WORKDIR/bin/tarvelo-cli"
    offered=$(PATH="$WORKDIR/bin:$PATH" bash -c 'source "$1"; COMP_WORDS=(tarvelo-cli --device "")
        COMP_CWORD=2; _tarvelo_cli; echo "${COMPREPLY[*]}"' _ "$script")
    expect_eq "serials offered" "KM000001 $(printf %q "$hostile")" "$offered"
    [[ ! -e $WORKDIR/ran ]] || fail "completing after --device ran what a serial number holds"
}

# The unpacked command line reads the master's table, finding its library as the window does
# (the driver's folder alone is on the library path), and writes no config.ini.
step_cli() {
    write_table "${TABLE[@]}"
    local out expected position=0 id
    out=$(cd "$WORKDIR" && env -i PATH="$PATH" HOME="$E2E_WORK/home" \
        XDG_RUNTIME_DIR="$E2E_RUNTIME" LD_LIBRARY_PATH="$E2E_DRIVER_DIR" KSIM_SCENARIO="$MASTER" \
        KSIM_STATE="$STATE" KSIM_WIRELOG="$WIRELOG" \
        timeout 60 "$ROOT/usr/bin/tarvelo-cli" read 2>"$WORKDIR/cli.err")
    local status=$?
    expect_eq "tarvelo-cli read's exit status" 0 "$status"
    expected=$(for id in "${TABLE[@]}"; do printf '%02X %s\n' $((++position)) "$id"; done)
    expect_eq "tarvelo-cli read" "$expected" "$out"
    expect_sessions read
    expect_clean_wire
    [[ ! -e $WORKDIR/config.ini ]] || fail "tarvelo-cli wrote config.ini"
}

# A whole session of the unpacked program, started as the desktop entry starts it.
step_session() {
    healthy_master 300
    write_table "${TABLE[@]}"
    local exec
    exec=$(sed -n 's/^Exec=//p' "$ROOT"/usr/share/applications/*.desktop)
    E2E_PROGRAM=$ROOT/usr/bin/$exec
    local elsewhere=$WORKDIR/started-here settings=$E2E_WORK/home/.config/kestravion
    mkdir -p "$elsewhere"
    rm -rf "$settings"
    # The stand-in for libusb says which bridges the kernel's serial driver holds.
    KUSB_KERNEL_STATE=$WORKDIR/kernel-state start_tool --dir "$elsewhere"
    local main
    main=$(await_main_window) || abort "the main window did not appear: $(cat "$WORKDIR/tool.err")"
    shot package-session
    local loaded
    loaded=$(grep -o '/[^ ]*libbrenvoli\.so' "/proc/$TOOL_PID/maps" | head -n1)
    [[ $loaded == "$ROOT"/usr/lib/* ]] || fail "libbrenvoli.so loaded from '$loaded'"
    local driver
    for driver in "$(dirname "$loaded")/libkestravion-d2xx.so" /libftdi1.so.2 \
        "$E2E_DRIVER_DIR/libusb-1.0.so.0"; do
        grep -qF "$driver" "/proc/$TOOL_PID/maps" || fail "$driver is not loaded"
    done
    expect_eq "program's folder" "$settings" "$(readlink "/proc/$TOOL_PID/cwd")"
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_eq "ftdi_sio bound again after the window" 1 "$(head -c1 "$WORKDIR/kernel-state")"
    expect_default_config "$settings"
    [[ ! -e $elsewhere/config.ini ]] || fail "config.ini was written where the launcher was started"
    expect_read_only
    expect_no_box
}

trap stop_display EXIT
if step build; then
    DEB=$(ls "$E2E_WORK"/cpack/*.deb)
    step lint
    if step unpack; then
        step launcher
        step completion
        step cli
        if start_display; then
            step session
        else
            failed=$((failed + 1))
        fi
    fi
fi
echo "$passed passed, $failed failed"
((failed == 0))
