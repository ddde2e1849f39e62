#!/usr/bin/env bash
# The Windows installer as a user runs it (silently, in the build's wine prefix; the zip
# holds what the same install rules lay out), checked for what a Windows user needs (FTDI's
# ftd2xx.dll excepted). The tool is started from its Start-menu entry (wine's start, run in
# WORK, in the build tree; %APPDATA% holding a space and a ")") under wine in Xvfb on the
# simulated master (BUILD/sim/ftd2xx.dll on the DLL search path, where FTDI's driver would
# be), one slave is registered with Return and the window closed; the run is judged on the
# master's committed table. The window's picture is left in WORK/window.png.
#
#   run-package.sh BUILD WORK | --skip REASON (says why the run is skipped, exit 77)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[[ ${1:-} == --skip ]] && echo "package: skipped: $2" && exit 77
build=$(cd "${1:?usage: run-package.sh BUILD WORK}" && pwd) || exit 1
E2E_WORK=${2:?usage: run-package.sh BUILD WORK} E2E_SHOTS=$2 WORKDIR=$2
for lib in report display window mainwindow; do
    source "$here/../e2e/lib/$lib.sh"
done
winpath() { echo "Z:${1//\//\\}"; }

# wine's windows are not on the accessibility bus: the list and the grid are found from
# the main window's layout (list at 8, 8; grid at 311, 8 with 16-pixel rows, the IDs' column
# from 375), and the list's text lines from its pixels.
list_rows() { # ID: the vertical centres of the list's text lines (client area), top first
    import -window "$1" "$WORKDIR/list.png" 2>/dev/null &&
        convert "$WORKDIR/list.png" -crop 189x310+12+12 +repage -colorspace gray -threshold 60% \
            -negate -scale '1x310!' -depth 8 txt:- |
        awk -F'[,:() ]+' 'BEGIN { s = -1 } /^0,/ { dark = $3 > 4
            if (dark && s < 0) s = $2
            if (!dark && s >= 0) { if ($2 - s >= 3) print 12 + int((s + $2 - 1) / 2); s = -1 } }'
}
click_item() { # ID ITEM (from 0)
    local y
    y=$(list_rows "$1" | sed -n "$(($2 + 1))p")
    [[ -n $y ]] || { fail "the list has no item $2 to click"; return 1; }
    window_geometry "$1" && click_at $((WIN_X + 48)) $((WIN_Y + y))
}
click_id_cell() { # ID ROW
    window_geometry "$1" && click_at $((WIN_X + 435)) $((WIN_Y + 17 + $2 * 16))
}
await() { # SECONDS COMMAND...: COMMAND tried every half second until it succeeds
    local end=$((SECONDS + $1))
    until "${@:2}"; do ((SECONDS < end)) && sleep 0.5 || return 1; done
}

rm -rf "$E2E_WORK" && mkdir -p "$E2E_WORK" && cd "$E2E_WORK" || exit 1
cpack -G "ZIP;NSIS" --config "$build/CPackConfig.cmake" >cpack.log 2>&1 || abort "cpack failed (cpack.log)"
drive=$build/wine-prefix/drive_c
installed="$drive/Program Files/KESTRAVION Configurator"
entry="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/KESTRAVION Bluetooth Configurator"
rm -rf "$installed" "$entry"
"$here/wine-run.sh" "$(echo "$E2E_WORK"/kestravion-configurator-*-win64.exe)" /S && "$here/wine-run.sh" --wait "$build" 60 ||
    abort "the installer failed"
entry+="/KESTRAVION Bluetooth Configurator.lnk"
[[ -f $entry ]] || fail "the installer made no Start-menu entry"
for file in tarvelo.exe tarvelo-cli.exe brenvoli.dll Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    platforms/qwindows.dll styles/qwindowsvistastyle.dll libstdc++-6.dll libgcc_s_seh-1.dll \
    libwinpthread-1.dll kestravion-configurator.cmd README.txt; do
    [[ -f $installed/$file ]] || fail "the installed tool lacks $file"
done
[[ -z $(find "$installed" -iname ftd2xx.dll) ]] || fail "the installer brought an ftd2xx.dll"
! grep -qv $'\r$' "$installed/kestravion-configurator.cmd" ||
    fail "the launcher has lines without CR LF"

trap stop_display EXIT
start_display --no-a11y || abort "no display"
# A profile path with a space and a ")": wine takes APPDATA from its registry, so a script
# sets it and starts the entry.
profile="$E2E_WORK/Roaming (2) x"
appdata=$profile/kestravion
mkdir -p "$profile"
# wine's start finds a shortcut by its path on drive C: only.
entry_c=${entry#"$drive"}
printf 'set "APPDATA=%s"\r\nstart "" "C:%s"\r\n' "$(winpath "$profile")" "${entry_c//\//\\}" \
    >profile.cmd
env -u QT_QPA_PLATFORM KESTRAVION_WINE_DLL_PATH="$build/sim" \
    KSIM_SCENARIO="$(winpath "$here/../../sim/scenarios/demo.json")" \
    KSIM_STATE="$(winpath "$E2E_WORK/state.txt")" KSIM_WIRELOG="$(winpath "$E2E_WORK/wire.log")" \
    "$here/wine-run.sh" start /unix "$E2E_WORK/profile.cmd" >launcher.log 2>&1 ||
    abort "the Start-menu entry failed: $(cat launcher.log)"

main_window() {
    window=$(xdotool search --onlyvisible --name "$MAIN_CAPTION" 2>/dev/null | head -n1)
    [[ -n $window ]]
}
# The search has ended: no progress window, the demo's four "ZOMRA" slaves listed.
listed() {
    for id in $(xdotool search --onlyvisible --class tarvelo 2>/dev/null); do
        window_geometry "$id"
        ((WIN_W == 375 && WIN_H == 72)) && return 1
    done
    [[ $(list_rows "$window" | wc -l) -eq 4 ]]
}
await 180 main_window || abort "the main window did not open"
await 120 listed || fail "the search did not list the four slaves"
# ZOMRA-T2 (00A0C9445566) onto the free position 03.
click_item "$window" 1
click_id_cell "$window" 3
press_key "$window" Return
import -frame -window "$window" window.png 2>/dev/null
close_by_alt_f4 "$window"
"$here/wine-run.sh" --wait "$build" 120 || fail "the program had not ended 120 s after its close"

expected="00A0C9112233 00A0C9DDEEFF 00A0C9445566 000000000000 00A0C9778899"
expected+=$(printf ' 000000000000%.0s' {6..14})
committed=$(tr -d '\r' <state.txt 2>/dev/null | sed -n 's/^[0-9A-F][0-9A-F]=//p' | xargs)
expect_eq "the master's committed table" "$expected" "$committed"
[[ -f $appdata/config.ini ]] || fail "the program did not start in %APPDATA%\\kestravion"
((SCENARIO_FAILED == 0)) && echo "package: ok" || shot window-failed
exit $SCENARIO_FAILED
