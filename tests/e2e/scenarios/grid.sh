# Editing the grid with the mouse: drops of found slaves and "Release" of selected rows.
# Only the write on close reaches the master, and it sets only the rows changed.

# A free slave dragged onto a free row, then Alt+F4: that ID is committed at that
# position and nothing else changes.
SCENARIOS+=(drag_onto_free_row)
scenario_drag_onto_free_row() {
    write_config 'usbcomm="thread"'
    healthy_master 300
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    drag_item_to_cell "$main" 0 1 3
    expect_eq "module commands sent by the drop" 0 \
        "$(host_commands | sed -n '/^\$A0H0$/,$p' | tail -n +2 | wc -l)"
    shot
    close_by_alt_f4 "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_read_then_written 3=$SLAVE_A
    expect_no_box
}

# Drops the rules refuse: a free slave onto an occupied row, onto the "Switch" column,
# onto the title row and below the last row, and a registered slave onto a free row.
# Then the same free slave onto a free row, which is taken: the refused drops had
# changed nothing, not even the slave's mark.
SCENARIOS+=(drag_refused)
scenario_drag_refused() {
    write_config 'usbcomm="thread"'
    healthy_master 300
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    drag_item_to_cell "$main" 0 1 1  # occupied row
    drag_item_to_cell "$main" 0 0 5  # "Switch" column of a free row
    drag_item_to_cell "$main" 0 1 0  # title row
    drag_item_to_cell "$main" 0 1 15 # below row 14
    drag_item_to_cell "$main" 1 1 6  # registered slave (position 2) onto a free row
    drag_item_to_cell "$main" 0 1 5  # taken
    shot
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_read_then_written 5=$SLAVE_A
}

# Rows 1 to 4 selected by dragging the mouse over them, then "Release": the three taken
# ones are written as free (row 3 was free already and is not written). The slave
# registered at position 2 is free again and can be dropped onto row 6.
SCENARIOS+=(release_range)
scenario_release_range() {
    healthy_master 300
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    select_rows "$main" 1 4
    click_on "$main" Release
    drag_item_to_cell "$main" 1 1 6
    shot
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_read_then_written 1=$FREE 2=$FREE 4=$FREE 6=$SLAVE_B
}

# Registering from the keyboard: with a free slave selected in the list, Return in the
# grid registers it at the current row under the drop rules (refused on an occupied row,
# taken on a free one); Delete releases the selected row as "Release" does.
SCENARIOS+=(keyboard_return_and_delete)
scenario_keyboard_return_and_delete() {
    healthy_master 300
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    click_on "$main" item:0
    click_on "$main" cell:1,1
    press_key "$main" Return # occupied row
    click_on "$main" cell:1,5
    press_key "$main" Return
    click_on "$main" cell:1,2
    press_key "$main" Delete
    shot
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_read_then_written 5=$SLAVE_A 2=$FREE
    expect_no_box
}

# A double-click on a free slave registers it at the first free position (3); on a slave
# already registered (position 2) it changes nothing.
SCENARIOS+=(double_click_registers_at_first_free)
scenario_double_click_registers_at_first_free() {
    healthy_master 300
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    double_click_on "$main" item:1
    double_click_on "$main" item:0
    shot
    close_by_alt_f4 "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_read_then_written 3=$SLAVE_A
    expect_no_box
}
