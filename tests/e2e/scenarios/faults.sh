# A master that fails while the tool reads its ID table: a row read can still be released,
# and the close writes that row alone; the master keeps its own entries at the positions
# not read.

WRITE_FAILED='The ID table was NOT saved to the master unit.\nPlease check the USB cable and the power of the master unit.'
WRITE_FAILED_BUTTONS='Close without saving|Try again'
UNREAD='could not be read from the master unit.\nThey are shown as "not read", cannot be changed, and are kept as the master unit stores them. Until they are read, no slave can be registered: it may be registered there already.'

# read_fault_session [KEY...]: starts the tool on the master written; the read stops at the
# first reply that does not come whole, sends nothing more, and a warning at start-up names
# the positions not read (answered with Return: "OK"). Then releases row 1, closes the
# window and answers the message box the close brings with KEY... (when given). The write
# on close opens with "$00H0", which closes register access again.
read_fault_session() {
    local main box
    write_table "${TABLE[@]}"
    start_tool
    box=$(await_box 70) || abort "no warning at start-up"
    press_key "$box" Return
    main=$(await_main_window) || abort "the main window did not appear"
    click_on "$main" cell:1,1
    click_on "$main" Release
    shot
    close_by_title_bar "$main"
    if (($#)); then
        box=$(await_box 70 2) || abort "no message box after the close"
        shot "$SCENARIO-box"
        press_key "$box" "$@"
    fi
    expect_exit "$TOOL_PID" 30 0
}

# expect_unread POSITION...: the warning at start-up naming the positions not read (as the
# box lists them: "03," ...).
expect_unread() {
    expect_box error Warning "The IDs at positions $* $UNREAD" "OK|Read again"
}

# From the seventh register query on, the bridge reports an error on every poll: the
# read stops there, and the write on close fails at once; the table is not saved, and
# "Close without saving" (Tab, then Space) ends the program with the table as it was.
SCENARIOS+=(master_fails_during_id_read)
scenario_master_fails_during_id_read() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300},
 "driverErrors": [{"function": "FT_GetQueueStatus", "afterCommand": "\$A7"}]}
JSON
    read_fault_session Tab space
    expect_unread 03, 04, 05, 06, 07, 08, 09, 0A, 0B, 0C, 0D, 0E
    expect_box error Error "$WRITE_FAILED" "$WRITE_FAILED_BUTTONS"
    expect_sessions 'bad "$00H0" where "$A8" belongs'
    expect_eq "commits" 0 "$(count_command '$CDH1')"
    expect_table "${TABLE[@]}"
}

# The master answers one register query with an error reply: a warning at start-up names
# that position (04), and the write of row 1 leaves it as the master holds it, with
# nothing more said at the close.
SCENARIOS+=(master_refuses_register_read)
scenario_master_refuses_register_read() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300},
 "faults": [{"command": "\$AB", "action": "refuse", "times": 1}]}
JSON
    read_fault_session
    expect_unread 04
    expect_eq "boxes" 1 "$(grep -c . "$BOXLOG")"
    expect_read_then_written 1=$FREE
}

# One read of the bridge fails during the query of the eighth register; the reply it
# missed is still on its way and arrives behind it. The read stops there: a warning at
# start-up names the positions from 3 on, which the write leaves as the master holds them;
# the late reply is read away before the write, which writes row 1 alone.
SCENARIOS+=(read_error_during_id_read)
scenario_read_error_during_id_read() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300},
 "driverErrors": [{"function": "FT_Read", "afterCommand": "\$A8", "times": 1}]}
JSON
    read_fault_session
    expect_unread 03, 04, 05, 06, 07, 08, 09, 0A, 0B, 0C, 0D, 0E
    expect_sessions 'bad "$00H0" where "$A9" belongs' "$(write_session 1=$FREE)"
    expect_table $(table_with 1=$FREE)
}

# A master lost while the tool writes its ID table on close: the write stops at the first
# exchange that fails, never commits, and a box offers to try again or to close without
# saving.

# cable_pulled_at_close MASTER_JSON_FAULT: a slave dropped onto row 3, then the close; the
# master (with the fault given) fails the write. Sets MAIN and BOX (the box's window).
cable_pulled_at_close() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300}, "faults": [$1]}
JSON
    write_table "${TABLE[@]}"
    start_tool
    MAIN=$(await_main_window) || abort "the main window did not appear"
    drag_item_to_cell "$MAIN" 0 1 3
    close_by_title_bar "$MAIN"
    BOX=$(await_box 20) || abort "no message box after the failed write"
    shot
    expect_box error Error "$WRITE_FAILED" "$WRITE_FAILED_BUTTONS"
}

# The cable comes out at the second set of position 3 and is back 3 s later; "Try again"
# (Return) then writes position 3 in a new session, committed once, and the program ends.
SCENARIOS+=(cable_pulled_at_close_try_again)
scenario_cable_pulled_at_close_try_again() {
    cable_pulled_at_close \
        '{"command": "$A8", "skip": 1, "times": 1, "action": "unplug", "forMs": 3000}'
    sleep 3.5
    press_key "$BOX" Return
    expect_exit "$TOOL_PID" 20 0
    local expected
    read -ra expected <<<"$(table_with 3=$SLAVE_A)"
    # Trying again opens the link anew: the initialisation's lines come before the write.
    expect_sessions read 'bad "LS" where a set of "$A9" belongs' "$(write_session 3=$SLAVE_A)"
    expect_eq "commits" 1 "$(count_command '$CDH1')"
    expect_table "${expected[@]}"
    expect_clean_wire
}

# The cable comes out at the second set of position 3 and stays out; "Close without saving"
# (the other button: Tab, then Space) ends the program, and the master's table is as it was.
# Escape is tried first: it must not give the table up but tries again, and with the
# bridge still out a box says so (answered with Return) before the first box comes back.
SCENARIOS+=(cable_pulled_at_close_without_saving)
scenario_cable_pulled_at_close_without_saving() {
    cable_pulled_at_close '{"command": "$A8", "skip": 1, "action": "unplug"}'
    press_key "$BOX" Escape
    sleep 1
    BOX=$(await_box 20 2) || abort "no second message box after Escape"
    press_key "$BOX" Return
    BOX=$(await_box 20 3) || abort "no third message box after the bridge was not found"
    press_key "$BOX" Tab space
    expect_exit "$TOOL_PID" 15 0
    expect_box error Error "The USB bridge KM000001 of the master unit the ID table was read \
from is not attached. Nothing is written to another master unit."
    expect_eq "boxes" 3 "$(grep -c . "$BOXLOG")"
    expect_sessions read 'bad the log ends where a set of "$A9" belongs'
    expect_eq "commits" 0 "$(count_command '$CDH1')"
    expect_table "${TABLE[@]}"
}

# The master falls silent at the set of "$A7" in the close write of a slave dropped onto
# row 3: the write gives up after one exchange's 60 s limit, with the progress window shown
# meanwhile, and sends nothing more; "Close without saving" ends the program.
SCENARIOS+=(master_silent_during_close_write)
scenario_master_silent_during_close_write() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300},
 "faults": [{"command": "\$A7", "skip": 1, "action": "dead"}]}
JSON
    write_table "${TABLE[@]}"
    start_tool
    local main box started took
    main=$(await_main_window) || abort "the main window did not appear"
    drag_item_to_cell "$main" 0 1 3
    started=$EPOCHREALTIME
    close_by_title_bar "$main"
    await_progress "$TOOL_PID" 1 10 || fail "no progress window during the write"
    sleep 5
    progress_window "$TOOL_PID" >/dev/null || fail "the progress window went during the write"
    box=$(await_box 80) || abort "no message box after the failed write"
    took=$(elapsed_since "$started")
    ((${took%.*} < 70)) || fail "the box came $took s after the close, not within 70 s"
    shot
    expect_box error Error "$WRITE_FAILED" "$WRITE_FAILED_BUTTONS"
    press_key "$box" Tab space
    expect_exit "$TOOL_PID" 15 0
    expect_eq "last command sent" '$A7H'"${SLAVE_A:0:4}" "$(host_commands | tail -n1)"
    expect_sessions read 'bad the log ends where a set of "$A8" belongs'
    expect_eq "commits" 0 "$(count_command '$CDH1')"
    expect_table "${TABLE[@]}"
}
