# "Search again", in normal mode and in debug mode with "Repeat", and closing the window
# while a search runs.

# Normal mode: while the search runs, the list, the grid and both buttons take no input
# (a second "Search again", a "Release" and a drop change nothing); afterwards they work
# again. The ID table is not read again. The master holds the reply to the second
# search's start for a while, so that the search outlasts the clicks even on a busy
# machine.
SCENARIOS+=(search_again_normal)
scenario_search_again_normal() {
    write_config 'usbcomm="thread"' 'debug="off"'
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 1000},
 "faults": [{"command": "\$02", "skip": 1, "times": 1, "action": "delay", "delayMs": 6000}]}
JSON
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    click_on "$main" cell:1,4
    click_on "$main" "Search again"
    await_progress "$TOOL_PID" 1 5 || abort "no progress window after \"Search again\""
    shot
    frame_extents "$(progress_window "$TOOL_PID")"
    expect_eq "progress window's border and title bar" 0,0,0,0 \
        "$FRAME_LEFT,$FRAME_RIGHT,$FRAME_TOP,$FRAME_BOTTOM"
    click_on "$main" "Search again"
    click_on "$main" Release
    drag_item_to_cell "$main" 0 1 3
    progress_window "$TOOL_PID" >/dev/null ||
        fail "the search ended before the clicks and the drop were done; they proved nothing"
    await_progress "$TOOL_PID" 0 15 || abort "the progress window stayed"
    sleep 0.5
    expect_eq "searches after the clicks during the search" 2 "$(count_command '$02H1')"
    drag_item_to_cell "$main" 0 1 3
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_read_then_written 3=$SLAVE_A
    expect_no_box
}

# Debug mode: "Search again" repeats while "Repeat" is ticked; the list and the grid stay
# usable during the searches (a drop is taken). Unticking "Repeat" mid-search ends the
# loop after that search; the buttons work again afterwards, and with "Repeat" unticked
# "Search again" runs no search at all.
SCENARIOS+=(search_again_debug_repeat)
scenario_search_again_debug_repeat() {
    write_config 'usbcomm="thread"' 'debug="on"'
    healthy_master 2000
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    click_on "$main" "Search again"
    await_progress "$TOOL_PID" 1 5 || abort "no progress window after \"Search again\""
    drag_item_to_cell "$main" 0 1 3
    await_count '$02H1' 3 10 || abort "the search did not repeat"
    sleep 0.3
    click_on "$main" Repeat
    shot
    await_progress "$TOOL_PID" 0 10 || abort "the progress window stayed"
    sleep 2
    expect_eq "searches after unticking \"Repeat\" mid-search" 3 "$(count_command '$02H1')"

    click_on "$main" Repeat
    click_on "$main" "Search again"
    await_count '$02H1' 4 5 || fail "\"Search again\" did not work after the loop ended"
    sleep 0.3
    click_on "$main" Repeat
    await_progress "$TOOL_PID" 0 10 || abort "the progress window stayed"
    sleep 1
    expect_eq "searches after the second loop" 4 "$(count_command '$02H1')"

    click_on "$main" "Search again"
    sleep 1.5
    expect_eq "searches after \"Search again\" with \"Repeat\" unticked" 4 \
        "$(count_command '$02H1')"
    close_by_alt_f4 "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_read_then_written 3=$SLAVE_A
}

# close_during_search CLOSE: a slave dropped onto row 3, "Search again", then the window is
# closed twice with CLOSE while the search runs. The close waits for the search; the
# change is written once, after the search, and not interleaved with it.
close_during_search() {
    healthy_master 2500
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    drag_item_to_cell "$main" 0 1 3
    click_on "$main" "Search again"
    await_progress "$TOOL_PID" 1 5 || abort "no progress window after \"Search again\""
    "$1" "$main"
    sleep 0.3
    if process_running "$TOOL_PID" && window_visible "$TOOL_PID" "$MAIN_CAPTION"; then
        "$1" "$main"
    fi
    shot
    expect_exit "$TOOL_PID" 15 0
    expect_eq "searches" 2 "$(count_command '$02H1')"
    expect_read_then_written 3=$SLAVE_A
    expect_eq "command before the write (end of the search)" '$04' \
        "$(command_before_last_opening)"
    expect_last_command '$A0H0'
}

# Exchanges on the worker thread; closed through the title bar.
SCENARIOS+=(close_during_search_threaded)
scenario_close_during_search_threaded() {
    write_config 'usbcomm="thread"'
    close_during_search close_by_title_bar
}

# Exchanges on the window thread (the default file's "sync"); closed with Alt+F4.
SCENARIOS+=(close_during_search_direct)
scenario_close_during_search_direct() {
    close_during_search close_by_alt_f4
}

# A master that answers every command at once, with a search of 30 s: the tool waits the
# search out by the clock, however many polls that takes, and lists every slave, the one
# the result names twice once; the close, with nothing changed, sends nothing.
SCENARIOS+=(instant_master_long_search)
scenario_instant_master_long_search() {
    local twice=${SLAVES_JSON%]}', {"id": "'$SLAVE_A'", "name": "ZOMRA-A1", "detail": ""}]'
    write_master <<JSON
{"slaves": $twice, "replyLatencyMs": 0, "search": {"durationMs": 30000}}
JSON
    write_table "${TABLE[@]}"
    local main
    start_tool
    main=$(find_window "$TOOL_PID" "$MAIN_CAPTION" 50) || abort "the main window did not appear"
    await_progress "$TOOL_PID" 0 50 || abort "the search did not end"
    expect_listed "$main" "$LISTED_SLAVES"
    shot
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_eq "searches" 1 "$(count_command '$02H1')"
    expect_read_only
    expect_no_box
}
