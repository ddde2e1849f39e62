# Finding the tool's windows by caption and driving them with real input events
# (xdotool): clicks, drags, keys, and closing through the window manager.

MAIN_CAPTION='^Bluetooth Configurator for KESTRAVION Ver 1\.03$'

# find_window PID REGEX SECONDS: prints the id of a visible window of process PID whose
# caption matches REGEX, once there is exactly one; returns 1 if none came in time.
find_window() {
    local pid=$1 regex=$2 limit=$(($3 * 10)) tries=0 ids
    while ((tries++ <= limit)); do
        ids=$(xdotool search --all --onlyvisible --pid "$pid" --name "$regex" 2>/dev/null)
        if [[ -n $ids && $(wc -l <<<"$ids") -eq 1 ]]; then
            echo "$ids"
            return 0
        fi
        process_running "$pid" || return 1
        sleep 0.1
    done
    return 1
}

# await_box SECONDS [COUNT]: the window of the message box the tool (TOOL_PID) shows, once
# its box reader has logged COUNT boxes (default 1) in all; prints its id.
await_box() {
    local limit=$(($1 * 10)) tries=0
    until (($(grep -c . "$BOXLOG") >= ${2:-1})); do
        ((++tries > limit)) && return 1
        sleep 0.1
    done
    find_window "$TOOL_PID" '^error$' 5
}

# window_visible PID REGEX: whether such a window is shown now.
window_visible() {
    [[ -n $(xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null) ]]
}

# The progress window: the visible 375 x 72 window of process PID. Prints its id.
progress_window() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        window_geometry "$id"
        if ((WIN_W == 375 && WIN_H == 72)); then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# await_progress PID SHOWN SECONDS: waits until the progress window is shown (SHOWN=1)
# or gone (SHOWN=0).
await_progress() {
    local limit=$(($3 * 20)) tries=0
    while ((tries++ <= limit)); do
        if progress_window "$1" >/dev/null; then
            (($2 == 1)) && return 0
        else
            (($2 == 0)) && return 0
        fi
        sleep 0.05
    done
    return 1
}

# window_geometry ID: WIN_X, WIN_Y (client area on the screen), WIN_W, WIN_H.
window_geometry() {
    local info
    info=$(xwininfo -id "$1" 2>/dev/null)
    WIN_X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    WIN_Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
    WIN_W=$(sed -n 's/.*Width: *//p' <<<"$info")
    WIN_H=$(sed -n 's/.*Height: *//p' <<<"$info")
    : "${WIN_X:=0}" "${WIN_Y:=0}" "${WIN_W:=0}" "${WIN_H:=0}"
}

# frame_extents ID: FRAME_LEFT, FRAME_RIGHT, FRAME_TOP, FRAME_BOTTOM of the window
# manager's decoration around the window (all 0 for a frameless window).
frame_extents() {
    local values
    values=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ' ')
    IFS=, read -r FRAME_LEFT FRAME_RIGHT FRAME_TOP FRAME_BOTTOM <<<"${values:-0,0,0,0}"
}

# activate ID: raises the window and gives it the keyboard focus.
activate() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1
    xdotool windowfocus --sync "$1" >/dev/null 2>&1
    sleep 0.1
}

# press_key ID KEY...: keys typed into the window, as on the keyboard.
press_key() {
    local id=$1
    shift
    activate "$id"
    xdotool key --clearmodifiers "$@"
    sleep 0.1
}

# click_at X Y / double_click_at X Y: a left click or double-click at (X, Y) on the screen.
click_at() {
    xdotool mousemove "$1" "$2" sleep 0.05 click 1
    sleep 0.15
}

double_click_at() {
    xdotool mousemove "$1" "$2" sleep 0.05 click --repeat 2 --delay 80 1
    sleep 0.15
}

# drag_from_to X1 Y1 X2 Y2: presses the left button at (X1, Y1) on the screen, moves in
# steps (a little first, so that a drag starts) to (X2, Y2) and releases it there. One
# xdotool run does it all, so the steps keep their pace on a busy machine.
drag_from_to() {
    local ax=$1 ay=$2 bx=$3 by=$4 step
    local moves=(mousemove "$ax" "$ay" sleep 0.05 mousedown 1 sleep 0.1)
    for step in 4 8 12 16; do
        moves+=(mousemove $((ax + step)) "$ay" sleep 0.03)
    done
    for step in 1 2 3 4 5 6; do
        moves+=(mousemove $((ax + 16 + (bx - ax - 16) * step / 6)) $((ay + (by - ay) * step / 6))
            sleep 0.05)
    done
    # Rest on the target so that it answers whether it takes the drop.
    moves+=(mousemove $((bx + 1)) "$by" sleep 0.1 mousemove "$bx" "$by" sleep 0.2 mouseup 1)
    xdotool "${moves[@]}"
    sleep 0.25
}

# close_by_title_bar ID: a click on the close button of the window manager's title bar
# (the right-most button).
close_by_title_bar() {
    window_geometry "$1"
    frame_extents "$1"
    local x=$((WIN_X + WIN_W + FRAME_RIGHT - FRAME_TOP / 2 - 1))
    local y=$((WIN_Y - FRAME_TOP / 2))
    xdotool mousemove "$x" "$y" sleep 0.05 click 1
    sleep 0.1
}

# close_by_alt_f4 ID: the window manager's close key.
close_by_alt_f4() {
    press_key "$1" alt+F4
}

# map_state ID: the window's map state as xwininfo says it (IsViewable, IsUnMapped...).
map_state() {
    xwininfo -id "$1" 2>/dev/null | sed -n 's/.*Map State: *//p'
}

# minimise ID / restore ID: through the window manager; each waits (up to 3 s) until the
# window is hidden or shown again. Returns 1 if that did not happen.
minimise() {
    xdotool windowminimize "$1" 2>/dev/null
    await_map_state "$1" IsUnMapped
}

restore() {
    xdotool windowactivate "$1" 2>/dev/null
    await_map_state "$1" IsViewable
}

await_map_state() {
    local tries=0
    until [[ $(map_state "$1") == "$2" ]]; do
        ((++tries > 30)) && return 1
        sleep 0.1
    done
    sleep 0.2
}
