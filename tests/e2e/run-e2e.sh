#!/usr/bin/env bash
# End-to-end runs of the tool as a technician uses it: the real program in a real X server
# (Xvfb) with a window manager (openbox), driven with real mouse and keyboard events
# (xdotool), against the simulated master unit. The windows are read as a screen reader
# reads them, through the accessibility tree (AT-SPI, on the session bus of
# dbus-run-session). Every scenario is judged on the master's committed table, its wire
# log, the message boxes and the program's exit status.
#
#   run-e2e.sh --build DIR [SCENARIO...]          paths taken from a build tree
#   run-e2e.sh --program P --driver-dir D --check C --work W --shots S [SCENARIO...]
#   run-e2e.sh --list                             the scenarios, in running order
#   run-e2e.sh --skip REASON                      says why the runs are skipped (exit 77)
#
# E2E_TRACE=1 in the environment traces every step of the scenarios, with times.
#
# Prints each scenario's result and ends with "N passed, M failed"; exits 1 on any failure.
set -uo pipefail
arguments=("$@")
here=$(cd "$(dirname "$0")" && pwd)

for lib in report display tool window mainwindow master fixtures; do
    source "$here/lib/$lib.sh"
done
SCENARIOS=()
for group in judge session grid search startup faults; do
    source "$here/scenarios/$group.sh"
done

E2E_PROGRAM= E2E_DRIVER_DIR= E2E_CHECK= E2E_WORK= E2E_SHOTS=
wanted=()
while (($#)); do
    case $1 in
    --skip)
        echo "e2e: skipped: $2"
        exit 77
        ;;
    --list)
        printf '%s\n' "${SCENARIOS[@]}"
        exit 0
        ;;
    --build)
        build=$(cd "$2" && pwd) || exit 1
        E2E_PROGRAM=$build/bin/tarvelo
        E2E_DRIVER_DIR=$build/sim
        E2E_CHECK=$build/tests/e2e_check
        E2E_WORK=$build/e2e-work
        E2E_SHOTS=$build/e2e-shots
        shift 2
        ;;
    --program) E2E_PROGRAM=$2; shift 2 ;;
    --driver-dir) E2E_DRIVER_DIR=$2; shift 2 ;;
    --check) E2E_CHECK=$2; shift 2 ;;
    --work) E2E_WORK=$2; shift 2 ;;
    --shots) E2E_SHOTS=$2; shift 2 ;;
    -*)
        echo "e2e: unknown option $1"
        exit 2
        ;;
    *)
        wanted+=("$1")
        shift
        ;;
    esac
done

missing=()
for tool in Xvfb openbox xdotool xwininfo xprop import dbus-run-session; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
if ((${#missing[@]})); then
    echo "e2e: missing tools: ${missing[*]} (tools/install-deps.sh installs them)"
    echo "0 passed, 1 failed"
    exit 1
fi
for file in "$E2E_PROGRAM" "$E2E_DRIVER_DIR/libftd2xx.so" "$E2E_CHECK"; do
    if [[ ! -e $file ]]; then
        echo "e2e: $file is missing; build the tree first"
        echo "0 passed, 1 failed"
        exit 1
    fi
done
if [[ ! -e $(dirname "$E2E_PROGRAM")/libbrenvoli.so ]]; then
    echo "e2e: libbrenvoli.so is not beside $E2E_PROGRAM"
    echo "0 passed, 1 failed"
    exit 1
fi
for name in "${wanted[@]}"; do
    if ! declare -F "scenario_$name" >/dev/null; then
        echo "e2e: no scenario $name (--list shows them)"
        exit 2
    fi
done
((${#wanted[@]})) || wanted=("${SCENARIOS[@]}")
# The run goes on on a session bus of its own, for the accessibility bus, which ends with
# it. The buses' messages go to a log; the run keeps its standard output and error.
if [[ -z ${E2E_SESSION_BUS:-} ]]; then
    rm -rf "$E2E_WORK" "$E2E_SHOTS"
    mkdir -p "$E2E_WORK" "$E2E_SHOTS"
    E2E_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "${arguments[@]}" \
        3>&1 4>&2 >"$E2E_WORK/buses.log" 2>&1
fi
exec 1>&3 2>&4 3>&- 4>&-
# The directory of the single-instance lock, shared by the instances of one run only.
E2E_RUNTIME=$E2E_WORK/runtime
mkdir -p -m 700 "$E2E_RUNTIME"

# An interrupted run ends the running scenario (which ends its processes) and the display.
scenario_pid=
interrupted() {
    if [[ -n $scenario_pid ]]; then
        kill -TERM "$scenario_pid" 2>/dev/null
        wait "$scenario_pid" 2>/dev/null
    fi
    exit 130
}
trap stop_display EXIT
trap interrupted INT TERM HUP
start_display || {
    echo "0 passed, 1 failed"
    exit 1
}
echo "e2e: display $DISPLAY; working directories in $E2E_WORK, screenshots in $E2E_SHOTS"

# Runs one scenario in a subshell of its own; its processes never outlive it.
run_scenario() {
    local name=$1 started=$EPOCHREALTIME
    echo "--- $name"
    (
        finish() {
            if ! kill_leftovers; then
                fail "a process of the tool was still running at the end (killed)"
            fi
            ((SCENARIO_FAILED == 0)) || shot "$name-failed"
            exit $SCENARIO_FAILED
        }
        trap finish EXIT
        trap 'exit 1' INT TERM HUP
        if [[ -n ${E2E_TRACE:-} ]]; then
            PS4='+ ${EPOCHREALTIME} '
            set -x
        fi
        scenario_setup "$name"
        "scenario_$name"
    ) &
    scenario_pid=$!
    wait "$scenario_pid"
    local status=$?
    scenario_pid=
    if ((status == 0)); then
        echo "ok   $name ($(elapsed_since "$started") s)"
        return 0
    fi
    echo "FAIL $name ($(elapsed_since "$started") s); files in $E2E_WORK/$name"
    return 1
}

passed=0
failed=0
for name in "${wanted[@]}"; do
    if run_scenario "$name"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
done

echo "$passed passed, $failed failed"
((failed == 0))
