# The judge itself: e2e_check must decode frames and tell a clean register session from
# an interleaved or broken one, or the other scenarios' verdicts would mean nothing.

# log_frame CMD REPLY_LENGTH: the wire log line of CMD sent as a frame.
log_frame() {
    printf '> MX%02X%02X%s\\r\\r\n' $((${#1} + 6)) $(($2 + 1)) "$1"
}

# log_table_read / log_table_write ID...: the log of a complete read, or of a write of
# the IDs given ("-" leaves a position out) after loading the stored table, with its
# read-back, commit and verification.
log_table_read() {
    local reg
    log_frame '$00H0' 4
    log_frame '$A0H1' 4
    log_frame '$CEH1' 4
    for reg in $REGISTERS; do
        log_frame "$reg" 9
        echo '< #00:K0000\r'
    done
    log_frame '$A0H0' 4
}

log_table_write() {
    local regs=($REGISTERS) position=0 k id command queries=()
    log_frame '$00H0' 4
    log_frame '$A0H1' 4
    log_frame '$CEH1' 4
    for id in "$@"; do
        if [[ $id != - ]]; then
            for k in 0 1 2; do
                log_frame "${regs[position * 3 + k]}H${id:k*4:4}" 4
                queries+=("${regs[position * 3 + k]}")
            done
        fi
        position=$((position + 1))
    done
    for command in "${queries[@]}" '$CDH1' '$CEH1' "${queries[@]}" '$A0H0'; do
        log_frame "$command" 9
    done
}

REGISTERS=$(for r in A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF B1 B2 B3 B4 B5 B6 B7 B8 B9 BA \
    BB BC BD BE BF C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC; do echo "\$$r"; done)

SCENARIOS+=(wire_judge)
scenario_wire_judge() {
    {
        printf '> LS\\r\n> MG\\r\n< Y1\\r\n'
        log_frame '$05H64' 105
        echo '> MX0F05$00H0\r\r'
        echo '> MX0A04$A1\x41\r\r'
    } >"$WIRELOG"
    expect_eq "decoded commands" 'LS MG $05H64 ?MX0F05$00H0\r\r $A1A' \
        "$(host_commands | tr '\n' ' ' | sed 's/ $//')"

    local whole=() position
    for position in $(seq 1 14); do whole+=("$position=${TABLE[position - 1]}"); done
    {
        log_table_read
        log_table_write "${TABLE[@]}"
    } >"$WIRELOG"
    expect_sessions read "$(write_session "${whole[@]}")"

    log_table_write 00A0C8E1F2AA - - 00A0C8E1F2BB - - - - - - - - - 00A0C8E1F2CC >"$WIRELOG"
    expect_sessions "write 01=00A0C8E1F2AA 04=00A0C8E1F2BB 0E=00A0C8E1F2CC"
    log_table_write "${TABLE[@]}" | sed '/CDH1/,/A0H0/{/A0H0/!d}' >"$WIRELOG"
    expect_sessions "$(write_session "${whole[@]}" | sed 's/^write/uncommitted/')"

    # A commit not followed by the stored table's read-back.
    log_table_write "${TABLE[@]}" | sed '/CDH1/{n;d}' >"$WIRELOG"
    if "$E2E_CHECK" sessions "$WIRELOG" >"$WORKDIR/verdict" ||
        ! grep -q '^bad "\$A1" where "\$CEH1" belongs$' "$WORKDIR/verdict"; then
        fail "a write without its verification was not found: $(cat "$WORKDIR/verdict")"
    fi

    # A search poll in the middle of a write, and a write that never closes.
    log_table_write "${TABLE[@]}" | sed '13a > MX090A$03\\r\\r' >"$WIRELOG"
    if "$E2E_CHECK" sessions "$WIRELOG" >"$WORKDIR/verdict" ||
        ! grep -q '^bad "\$03" where a set of "\$AB" belongs$' "$WORKDIR/verdict"; then
        fail "an interleaved write was not found: $(cat "$WORKDIR/verdict")"
    fi
    log_table_write "${TABLE[@]}" | head -n -1 >"$WIRELOG"
    if "$E2E_CHECK" sessions "$WIRELOG" >"$WORKDIR/verdict" ||
        ! grep -q '^bad the log ends where "\$A0H0" belongs$' "$WORKDIR/verdict"; then
        fail "an unclosed write was not found: $(cat "$WORKDIR/verdict")"
    fi
}
