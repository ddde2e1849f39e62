# A master that fails while the tool reads its ID table: whatever the tool got, closing
# it must leave the master's table as it was.

# read_fault_session: starts the tool on the master written, closes it at once and
# checks that the table survived and the register sessions were complete.
read_fault_session() {
    write_table "${TABLE[@]}"
    start_tool
    local main
    main=$(await_main_window) || abort "the main window did not appear"
    shot
    close_by_title_bar "$main"
    expect_exit "$TOOL_PID" 30 0
    expect_table "${TABLE[@]}"
    local sessions
    sessions=$("$E2E_CHECK" sessions "$WIRELOG") || fail "incomplete register session: $sessions"
    expect_eq "register sessions" "read write" "$(cut -d' ' -f1 <<<"$sessions" | tr '\n' ' ' |
        sed 's/ $//')"
}

# From the seventh register query on, the bridge reports an error on every poll: the
# rest of the read comes back empty.
SCENARIOS+=(master_fails_during_id_read)
scenario_master_fails_during_id_read() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300},
 "driverErrors": [{"function": "FT_GetQueueStatus", "afterCommand": "\$A7"}]}
JSON
    read_fault_session
}

# The master answers one register query with an error reply.
SCENARIOS+=(master_refuses_register_read)
scenario_master_refuses_register_read() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300},
 "faults": [{"command": "\$AB", "action": "refuse", "times": 1}]}
JSON
    read_fault_session
}

# One read of the bridge fails during the query of the eighth register; the reply it
# missed is still on its way and arrives behind it.
SCENARIOS+=(read_error_during_id_read)
scenario_read_error_during_id_read() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": 300},
 "driverErrors": [{"function": "FT_Read", "afterCommand": "\$A8", "times": 1}]}
JSON
    read_fault_session
}
