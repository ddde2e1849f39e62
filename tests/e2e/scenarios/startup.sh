# Start-ups that end before the main window: a second instance, and every failure the
# master or its driver can produce while the link is prepared.

NOT_PREPARED='KESTRAVION is not prepared. \nPlease check USB connection and power.'
ANOTHER_RUNNING='Another KESTRAVION family software is already running.'

# expect_refused_start TEXT ICON BUTTONS KEY [WIRELOG]: the tool started last (TOOL_PID)
# shows the message box TEXT (with BUTTONS, as expect_box takes them) and no main window;
# KEY dismisses it; it then ends with 0 and sent no module command (so no register was
# written).
expect_refused_start() {
    local box
    box=$(await_box 20) || abort "no message box \"error\" appeared"
    window_visible "$TOOL_PID" "$MAIN_CAPTION" && fail "the main window is shown behind the box"
    shot
    press_key "$box" "$4"
    expect_exit "$TOOL_PID" 10 0
    expect_box error "$2" "$1" "$3"
    expect_no_module_commands "${5:-$WIRELOG}"
}

# A second instance while one runs: its message, no USB traffic of its own; it reads
# (and here creates) its config.ini. The first one goes on and closes normally, with
# nothing changed and so nothing written.
SCENARIOS+=(second_instance)
scenario_second_instance() {
    healthy_master 300
    write_table "${TABLE[@]}"
    start_tool --as first
    local first=$TOOL_PID main
    main=$(await_main_window "$first") || abort "the first instance's window did not appear"
    local sentBefore
    sentBefore=$(host_commands | wc -l)
    mkdir -p "$WORKDIR/second"
    start_tool --as second --dir "$WORKDIR/second" --wirelog "$WORKDIR/second/wire.log"
    expect_refused_start "$ANOTHER_RUNNING" Warning OK Escape "$WORKDIR/second/wire.log"
    [[ ! -s $WORKDIR/second/wire.log ]] || fail "the second instance talked to a master"
    expect_default_config "$WORKDIR/second"
    expect_eq "commands sent by the first instance meanwhile" "$sentBefore" \
        "$(host_commands | wc -l)"
    process_running "$first" || abort "the first instance ended"
    close_by_alt_f4 "$main"
    expect_exit "$first" 15 0
    expect_read_only
}

# not_prepared [start_tool options]: the master (as written) cannot be prepared; Return
# (the box's "Close") ends the program.
not_prepared() {
    write_table "${TABLE[@]}"
    cp "$STATE" "$WORKDIR/state.before"
    start_tool "$@"
    expect_refused_start "$NOT_PREPARED" Error 'Close|Try again' Return
    cmp -s "$STATE" "$WORKDIR/state.before" || fail "the master's table was changed"
}

# No D2XX driver on the library search path.
SCENARIOS+=(startup_without_driver)
scenario_startup_without_driver() {
    healthy_master 300
    not_prepared --no-driver
    [[ ! -e $WIRELOG ]] || fail "a simulated master was loaded"
}

# The bridge cannot be opened (FT_DEVICE_NOT_FOUND).
SCENARIOS+=(startup_open_fails)
scenario_startup_open_fails() {
    write_master <<<'{"openStatus": 2}'
    not_prepared
}

# Purging the bridge's buffers fails five times.
SCENARIOS+=(startup_purge_fails)
scenario_startup_purge_fails() {
    write_master <<<'{"purgeFailures": 5}'
    not_prepared
}

# The master answers "MG" with state digit 6.
SCENARIOS+=(startup_master_state_6)
scenario_startup_master_state_6() {
    write_master <<<'{"mgState": 6}'
    not_prepared
    expect_eq "last line sent" MG "$(host_commands | tail -n1)"
}

# The master refuses "MV" five times.
SCENARIOS+=(startup_mv_refused)
scenario_startup_mv_refused() {
    write_master <<<'{"faults": [{"command": "MV", "action": "refuse", "reason": "3"}]}'
    not_prepared
    expect_eq "\"MV\" attempts" 5 "$(count_command MV)"
}

# The master answers "XV" without reporting the connection.
SCENARIOS+=(startup_bad_xv)
scenario_startup_bad_xv() {
    write_master <<<'{"xvConnected": false}'
    not_prepared
}

# "MV" refused four times and then acknowledged: the start-up goes on and the tool works.
SCENARIOS+=(startup_mv_refused_four_times)
scenario_startup_mv_refused_four_times() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300},
 "faults": [{"command": "MV", "action": "refuse", "reason": "3", "times": 4}]}
JSON
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    shot
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 15 0
    expect_eq "\"MV\" attempts" 5 "$(count_command MV)"
    expect_read_only
    expect_no_box
}
