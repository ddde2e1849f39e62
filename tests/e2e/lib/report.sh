# Bookkeeping of one scenario. Each scenario runs in a subshell of its own: `fail` records
# a failed check and lets the scenario go on (later checks often tell why), `abort` ends
# it at once. The subshell's exit status is the scenario's result.

SCENARIO_FAILED=0

say() { echo "    $*"; }

fail() {
    echo "    FAIL: $*"
    SCENARIO_FAILED=1
}

abort() {
    fail "$@"
    exit 1
}

# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    [[ "$2" == "$3" ]] || fail "$1: expected '$2', got '$3'"
}

# elapsed_since START: seconds since START (an $EPOCHREALTIME value), one decimal.
elapsed_since() {
    local now=${EPOCHREALTIME/./}
    local start=${1/./}
    printf '%d.%d' $(((now - start) / 1000000)) $(((now - start) / 100000 % 10))
}
