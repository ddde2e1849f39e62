# The main window as a screen reader reads it (lib/a11y.py): the found-slave list, the
# registration grid, the buttons and the "Repeat" box, found by their accessible names.
# The mouse is aimed at where the accessibility tree says they are on the screen.

# await_main_window [PID]: the main window of the tool (default TOOL_PID) once it is
# shown with its final caption; prints its id.
await_main_window() {
    find_window "${1:-$TOOL_PID}" "$MAIN_CAPTION" 30
}

# at ID TARGET...: the screen points of the TARGETs in window ID, into AT (x1 y1 x2 y2...).
# A TARGET is "item:N" (the list's Nth item, from 0), "cell:COL,ROW" (row 15 is the empty
# space below the last row) or a control's accessible name. Fails the scenario when one
# is not there.
at() {
    local id=$1 pid points
    shift
    if ! pid=$(xdotool getwindowpid "$id" 2>/dev/null) ||
        ! points=$("${A11Y[@]}" where "$pid" "$@" 2>&1); then
        fail "cannot aim at $* in window $id: ${points:-it has no process}"
        return 1
    fi
    read -ra AT <<<"$(tr '\n' ' ' <<<"$points")"
}

# expect_listed ID "ID1 ID2...": the list shows exactly these slaves, in this order.
expect_listed() {
    expect_eq "slaves listed" "$2" \
        "$("${A11Y[@]}" list "$(xdotool getwindowpid "$1")" 2>&1 | tr '\n' ' ' | sed 's/ $//')"
}

# click_on ID TARGET / double_click_on ID TARGET
click_on() { at "$1" "$2" && click_at "${AT[@]}"; }
double_click_on() { at "$1" "$2" && double_click_at "${AT[@]}"; }

# drag_item_to_cell ID ITEM COL ROW: drags the list's ITEM-th item (from 0) onto a grid cell.
drag_item_to_cell() {
    at "$1" "item:$2" "cell:$3,$4" && drag_from_to "${AT[@]}"
}

# select_rows ID FIRST LAST: selects grid rows FIRST to LAST by dragging the mouse over
# their ID cells.
select_rows() {
    at "$1" "cell:1,$2" "cell:1,$3" && drag_from_to "${AT[@]}"
}
