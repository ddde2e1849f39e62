# Judging a run on the simulated master unit: its committed table (state file), its wire
# log (every byte each way, and "! " lines for protocol violations) and the message boxes.

# The commands the host sent, one a line (e2e_check decodes the frames).
host_commands() {
    [[ -f ${1:-$WIRELOG} ]] || return 0
    "$E2E_CHECK" commands "${1:-$WIRELOG}"
}

# count_command CMD: how many times the host sent CMD.
count_command() {
    host_commands | grep -cxF -- "$1"
}

# expect_table ID1 ... ID14: the master's committed table, position by position.
expect_table() {
    local actual position
    mapfile -t actual < <(committed_table)
    for position in $(seq 1 14); do
        local want=${!position} got=${actual[position - 1]:-(none)}
        [[ $want == "$got" ]] ||
            fail "committed ID at position $(printf %02X "$position"): expected $want, got $got"
    done
}

# expect_sessions LINE...: the register access sessions on the wire, as e2e_check
# prints them ("read", "write 03=ID 05=ID").
expect_sessions() {
    local expected actual
    expected=$(printf '%s\n' "$@")
    actual=$("$E2E_CHECK" sessions "$WIRELOG" 2>&1)
    if [[ $expected != "$actual" ]]; then
        fail "register sessions differ"
        say "expected:"
        sed 's/^/          /' <<<"$expected"
        say "on the wire:"
        sed 's/^/          /' <<<"$actual"
    fi
}

# expect_clean_wire: the master noticed no protocol violation.
expect_clean_wire() {
    local violations
    violations=$(grep '^! ' "$WIRELOG" 2>/dev/null)
    [[ -z $violations ]] || fail "protocol violations: $(head -n3 <<<"$violations" | tr '\n' ' ')"
}

# expect_read_then_written CHANGE...: the session read the table and wrote the CHANGEs
# ("position=ID", as table_with takes them; the positions that differ from the table read)
# once, the master committed exactly that, the window journalled it as saved, and nothing
# broke the protocol.
expect_read_then_written() {
    local expected
    read -ra expected <<<"$(table_with "$@")"
    expect_sessions read "$(write_session "$@")"
    expect_table "${expected[@]}"
    expect_clean_wire
    expect_eq "writes journalled as saved" 1 \
        "$(grep -c '"verdict":"saved"' "$JOURNAL" 2>/dev/null)"
}

# expect_read_only: the table was read and, with nothing changed, closing sent nothing.
expect_read_only() {
    expect_sessions read
    expect_last_command '$A0H0'
    expect_table "${TABLE[@]}"
    expect_clean_wire
}

# expect_last_command CMD: nothing followed CMD on the wire.
expect_last_command() {
    expect_eq "last command sent" "$1" "$(host_commands | tail -n1)"
}

# expect_start_sequence: the master was initialised (state digit 1: no "MW") and its
# connection confirmed before any module command.
expect_start_sequence() {
    expect_eq "start-up lines" "LS MG MV MO000000000 OT000000 OR XV" \
        "$(host_commands | head -n7 | tr '\n' ' ' | sed 's/ $//')"
}

# expect_no_module_commands [WIRELOG]: no module command (and so no register write).
expect_no_module_commands() {
    local module
    module=$(host_commands "${1:-$WIRELOG}" | grep -c '^\$')
    expect_eq "module commands sent" 0 "$module"
}

# expect_box CAPTION ICON TEXT [BUTTONS]: a message box with that caption, icon ("Error",
# "Warning"), text (with \n for a line break) and buttons ("|" between them, in
# alphabetical order; "OK" when not given) was shown.
expect_box() {
    grep -qxF -- "$1"$'\t'"$2"$'\t'"$3"$'\t'"${4:-OK}" "$BOXLOG" ||
        fail "no message box \"$1\" ($2) \"$3\" [${4:-OK}]; boxes: $(tr '\t\n' '/ ' <"$BOXLOG")"
}

expect_no_box() {
    [[ ! -s $BOXLOG ]] || fail "unexpected message box: $(tr '\t\n' '/ ' <"$BOXLOG")"
}

# expect_default_config [DIR]: the six lines of a new config.ini.
expect_default_config() {
    local expected
    expected=$(printf '%s\n' 'listview="List"' 'output="win"' 'wait="on"' 'time="25"' \
        'usbcomm="sync"' 'debug="off"')
    [[ $(cat "${1:-$WORKDIR}/config.ini" 2>/dev/null) == "$expected" ]] ||
        fail "config.ini is not the default file: $(tr '\n' ' ' <"${1:-$WORKDIR}/config.ini" 2>&1)"
}

# await_count CMD N SECONDS: waits until the host has sent CMD at least N times.
await_count() {
    local limit=$(($3 * 10)) tries=0
    while (($(count_command "$1") < $2)); do
        ((++tries > limit)) && return 1
        sleep 0.1
    done
    return 0
}

# The command sent just before the last "$00H0" (the opening of the last sequence).
command_before_last_opening() {
    host_commands | grep -B1 -xF '$00H0' | tail -n2 | head -n1
}
