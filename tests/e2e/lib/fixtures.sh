# What the simulated master holds in most scenarios.

# Slaves in range, in the order the module reports them. Only the first two are listed:
# the others have a lower-case name, a name shorter than five letters, or are another
# kind of device. The second one is already registered at position 2.
SLAVE_A=00A0C8E1F201
SLAVE_B=00A0C8E1F202
SLAVES_JSON='[
    {"id": "00A0C8E1F201", "name": "ZOMRA-A1", "detail": "rssi -41"},
    {"id": "00A0C8E1F202", "name": "ZOMRA-B2", "detail": "rssi -57"},
    {"id": "00A0C8E1F203", "name": "zomra-c3", "detail": "rssi -60"},
    {"id": "00A0C8E1F204", "name": "ZOMR", "detail": ""},
    {"id": "00A0C8E1F205", "name": "PELICAN 9", "detail": "rssi -70"}
]'
LISTED_SLAVES="$SLAVE_A $SLAVE_B"

FREE=000000000000
# The committed table before each run: positions 1, 2, 4 and 14 are taken (2 by SLAVE_B).
TABLE=(00A0C8E1F2AA "$SLAVE_B" $FREE 00A0C8E1F2BB $FREE $FREE $FREE $FREE $FREE $FREE
    $FREE $FREE $FREE 00A0C8E1F2CC)

# table_with POSITION=ID...: TABLE with those positions changed, one ID a word.
table_with() {
    local table=("${TABLE[@]}") change
    for change in "$@"; do
        table[$((${change%%=*} - 1))]=${change#*=}
    done
    echo "${table[@]}"
}

# write_session POSITION=ID...: "write 03=ID 05=ID" as e2e_check prints a write session
# that sets those positions (given as table_with takes them, in any order).
write_session() {
    local change
    echo "write$(for change in "$@"; do
        printf ' %02X=%s\n' "${change%%=*}" "${change#*=}"
    done | LC_ALL=C sort | tr -d '\n')"
}

# healthy_master DURATION_MS: a master with the slaves above whose search takes that long.
healthy_master() {
    write_master <<JSON
{"slaves": $SLAVES_JSON, "search": {"durationMs": $1}}
JSON
}
