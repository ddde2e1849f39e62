# Where things are in the main window's client area (549 x 343 pixels), from its layout:
# the found-device list on the left, the registration grid on the right, the buttons and
# the "Repeat" box between them.

LIST_X=8
LIST_Y=8
LIST_W=217
LIST_H=318
GRID_X=311
GRID_Y=8
GRID_ROW_H=16
GRID_SWITCH_W=64
SEARCH_AGAIN_XY=(268 32) # btnSrchAgain: 231, 16, 74 x 33
RELEASE_XY=(268 236)     # btnRelease: 231, 220, 74 x 33
REPEAT_XY=(239 64)       # cboxRepeat: 232, 56, 73 x 17; its tick box is at the left

# await_main_window [PID]: the main window of the tool (default TOOL_PID) once it is
# shown with its final caption; prints its id.
await_main_window() {
    find_window "${1:-$TOOL_PID}" "$MAIN_CAPTION" 30
}

# The centre of grid cell (COL, ROW) in the client area: GRID_CELL_X, GRID_CELL_Y. Row 15
# is the empty space below the last row.
grid_cell() {
    if (($1 == 0)); then
        GRID_CELL_X=$((GRID_X + GRID_SWITCH_W / 2))
    else
        GRID_CELL_X=$((GRID_X + GRID_SWITCH_W + 60))
    fi
    GRID_CELL_Y=$((GRID_Y + 1 + $2 * GRID_ROW_H + GRID_ROW_H / 2))
}

# list_rows ID: the vertical centres (client area) of the text lines in the found-device
# list, one a line, top first. Read from the screen: rows of the list that hold dark
# (text) pixels, grouped into lines.
list_rows() {
    local image=$WORKDIR/list-capture.png
    local width=$((LIST_W - 28)) height=$((LIST_H - 8))
    capture_window "$1" "$image" || return 1
    convert "$image" -crop "${width}x${height}+$((LIST_X + 4))+$((LIST_Y + 4))" +repage \
        -colorspace gray -threshold 60% -negate -scale "1x${height}!" -depth 8 txt:- |
        awk -v top=$((LIST_Y + 4)) '
            /^0,/ {
                split($1, at, /[,:]/)
                value = $2
                gsub(/[()]/, "", value)
                split(value, parts, ",")
                dark = parts[1] + 0 > 4
                if (dark && start < 0) start = at[2]
                if (!dark && start >= 0) {
                    if (at[2] - start >= 3) print top + int((start + at[2] - 1) / 2)
                    start = -1
                }
            }
            BEGIN { start = -1 }'
}

# expect_listed ID COUNT: the list shows COUNT lines.
expect_listed() {
    local rows
    rows=$(list_rows "$1" | wc -l)
    expect_eq "slaves listed" "$2" "$rows"
}

# item_y ID ITEM: the vertical centre of the list's ITEM-th line (from 0).
item_y() {
    local y
    y=$(list_rows "$1" | sed -n "$(($2 + 1))p")
    [[ -n $y ]] || return 1
    echo "$y"
}

# click_item ID ITEM [double] / double_click_item ID ITEM: on the list's ITEM-th line
# (from 0).
click_item() {
    local y
    y=$(item_y "$1" "$2") || {
        fail "the list has no item $2 to ${3:+double-}click"
        return 1
    }
    "${3:+double_}click_at" "$1" $((LIST_X + 40)) "$y"
}

double_click_item() {
    click_item "$1" "$2" double
}

# drag_item_to_cell ID ITEM COL ROW [Y]: drags the list's ITEM-th line (from 0), found on
# the screen or at Y when given, onto a grid cell.
drag_item_to_cell() {
    local y=${5:-}
    if [[ -z $y ]] && ! y=$(item_y "$1" "$2"); then
        fail "the list has no item $2 to drag"
        return 1
    fi
    grid_cell "$3" "$4"
    drag_from_to "$1" $((LIST_X + 40)) "$y" "$GRID_CELL_X" "$GRID_CELL_Y"
}

# select_rows ID FIRST LAST: selects grid rows FIRST to LAST by dragging the mouse over
# their ID cells.
select_rows() {
    grid_cell 1 "$2"
    local x=$GRID_CELL_X y=$GRID_CELL_Y
    grid_cell 1 "$3"
    drag_from_to "$1" "$x" "$y" "$GRID_CELL_X" "$GRID_CELL_Y"
}

# click_cell ID COL ROW
click_cell() {
    grid_cell "$2" "$3"
    click_at "$1" "$GRID_CELL_X" "$GRID_CELL_Y"
}

click_search_again() { click_at "$1" "${SEARCH_AGAIN_XY[@]}"; }
click_release() { click_at "$1" "${RELEASE_XY[@]}"; }
click_repeat() { click_at "$1" "${REPEAT_XY[@]}"; }
