# Whole sessions: start-up, the list and the grid as read from the master, and the close.

# Start-up with no config.ini; the window is minimised and restored, then closed through
# the title bar with no change: the default file is created, minimising writes nothing,
# the close sends nothing (no write session, no journal), and the program ends with 0.
SCENARIOS+=(session_without_change)
scenario_session_without_change() {
    healthy_master 300
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    expect_listed "$main" "$LISTED_SLAVES"
    shot
    local sent
    sent=$(host_commands | wc -l)
    minimise "$main" || fail "the window manager could not minimise the window"
    restore "$main" || fail "the window manager could not restore the window"
    expect_eq "commands sent while minimised and restored" "$sent" "$(host_commands | wc -l)"
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_default_config
    expect_start_sequence
    expect_eq "searches" 1 "$(count_command '$02H1')"
    expect_read_only
    [[ ! -e $JOURNAL ]] || fail "a write was journalled"
    expect_no_box
}
