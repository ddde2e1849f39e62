# The X server (Xvfb) and the window manager (openbox) the tool runs in, the accessibility
# bus through which the windows are read, and screenshots (for people; nothing is judged
# from pixels).

XVFB_PID=
WM_PID=

# The accessibility reader (a11y.py), on the system's Python that python3-pyatspi is
# installed for.
A11Y=(/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/a11y.py")

# start_display [--no-a11y]: starts Xvfb on a free display and openbox on it; exports
# DISPLAY. Then wakes the accessibility bus on the session bus (the runner runs under
# dbus-run-session), so that every instance of the tool finds it as it starts; not with
# --no-a11y, for windows that are not on that bus (wine's).
start_display() {
    local numberFile=$E2E_WORK/display
    rm -f "$numberFile"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$numberFile" >"$E2E_WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local tries=0
    until [[ -s $numberFile ]]; do
        if ((++tries > 100)) || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "e2e: Xvfb did not start (see $E2E_WORK/xvfb.log)"
            return 1
        fi
        sleep 0.1
    done
    export DISPLAY=:$(head -n1 "$numberFile")

    # The system's openbox configuration (title-bar buttons, Alt+F4), no user settings.
    mkdir -p "$E2E_WORK/wm-home" "$E2E_WORK/wm-config"
    HOME=$E2E_WORK/wm-home XDG_CONFIG_HOME=$E2E_WORK/wm-config \
        openbox --sm-disable >"$E2E_WORK/openbox.log" 2>&1 &
    WM_PID=$!
    tries=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        if ((++tries > 100)) || ! kill -0 "$WM_PID" 2>/dev/null; then
            echo "e2e: openbox did not start (see $E2E_WORK/openbox.log)"
            return 1
        fi
        sleep 0.1
    done
    [[ ${1:-} == --no-a11y ]] && return 0
    "${A11Y[@]}" ready || {
        echo "e2e: the accessibility bus did not come up (at-spi2-core, python3-pyatspi)"
        return 1
    }
}

stop_display() {
    local pid
    for pid in $WM_PID $XVFB_PID; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    WM_PID=
    XVFB_PID=
}

# shot [NAME]: the whole screen to $E2E_SHOTS/NAME.png; NAME defaults to the scenario's.
shot() {
    local name=${1:-$SCENARIO}
    import -window root "$E2E_SHOTS/$name.png" 2>/dev/null || say "(no screenshot $name)"
}
