# The tool under test: a scratch working directory per scenario, the simulated master's
# files, and starting, awaiting and (if need be) killing the program's processes.

# Per scenario (set by scenario_setup):
#   SCENARIO its name
#   WORKDIR  scratch working directory: config.ini, the master's scenario, state and logs
#   MASTER   the simulated master's scenario file (JSON)
#   STATE    the master's committed ID table (state file)
#   WIRELOG  the wire log of the first instance
#   BOXLOG   the message boxes of all instances, as the accessibility tree shows them
#            (lib/a11y.py: caption, icon, text, buttons)
#   JOURNAL  the journal of writes the instances keep (their XDG_STATE_HOME is in WORKDIR)
SCENARIO=
WORKDIR=
MASTER=
STATE=
WIRELOG=
BOXLOG=
JOURNAL=
STARTED_PIDS=()
BOX_READERS=()
TOOL_PID=
EXIT_STATUS=

scenario_setup() {
    SCENARIO=$1
    WORKDIR=$E2E_WORK/$1
    rm -rf "$WORKDIR"
    mkdir -p "$WORKDIR"
    MASTER=$WORKDIR/master.json
    STATE=$WORKDIR/state.txt
    WIRELOG=$WORKDIR/wire.log
    BOXLOG=$WORKDIR/boxes.txt
    JOURNAL=$WORKDIR/state-home/kestravion/journal.jsonl
    echo '{}' >"$MASTER"
    : >"$BOXLOG"
}

# write_config LINE...: config.ini in the working directory, one statement a line.
write_config() {
    printf '%s\n' "$@" >"$WORKDIR/config.ini"
}

# write_master: the master's scenario from standard input.
write_master() {
    cat >"$MASTER"
}

# write_table ID1 ... ID14: the master's committed table before the run.
write_table() {
    local position=0 id
    : >"$STATE"
    for id in "$@"; do
        printf '%02X=%s\n' $((++position)) "$id" >>"$STATE"
    done
}

# The committed table now, one ID a line, position 1 first.
committed_table() {
    sed -n 's/^[0-9A-F][0-9A-F]=//p' "$STATE"
}

# start_tool [--as NAME] [--wirelog FILE] [--no-driver] [--dir DIR]
# Starts build/bin/tarvelo in the scenario's working directory (or DIR) against the
# simulated master, with its accessibility bridge on, and a reader that logs its message
# boxes to BOXLOG; sets TOOL_PID. NAME names its output files (default "tool").
# --no-driver leaves the simulated driver out of the library search path.
start_tool() {
    local name=tool log=$WIRELOG dir=$WORKDIR driverDir=$E2E_DRIVER_DIR
    while (($#)); do
        case $1 in
        --as) name=$2; shift 2 ;;
        --wirelog) log=$2; shift 2 ;;
        --dir) dir=$2; shift 2 ;;
        --no-driver) driverDir=$WORKDIR/no-driver; mkdir -p "$driverDir"; shift ;;
        *) abort "start_tool: unknown option $1" ;;
        esac
    done
    mkdir -p "$E2E_WORK/home" "$E2E_RUNTIME"
    # A clean environment: only what the tool and the simulated master need. Each scenario
    # keeps a write journal of its own: an earlier scenario's unsaved write would otherwise
    # be offered again at this one's start.
    (cd "$dir" && exec env -i PATH="$PATH" HOME="$E2E_WORK/home" LANG=C.UTF-8 \
        DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
        XDG_RUNTIME_DIR="$E2E_RUNTIME" XDG_CONFIG_HOME="$E2E_WORK/home/.config" \
        XDG_STATE_HOME="$WORKDIR/state-home" \
        LD_LIBRARY_PATH="$driverDir" KUSB_KERNEL_STATE="${KUSB_KERNEL_STATE:-}" \
        KSIM_SCENARIO="$MASTER" KSIM_STATE="$STATE" KSIM_WIRELOG="$log" \
        "$E2E_PROGRAM" >"$WORKDIR/$name.out" 2>"$WORKDIR/$name.err") &
    TOOL_PID=$!
    STARTED_PIDS+=("$TOOL_PID")
    "${A11Y[@]}" boxes "$TOOL_PID" "$BOXLOG" 300 >>"$WORKDIR/$name.a11y" 2>&1 &
    BOX_READERS+=($!)
}

# process_running PID: the process exists and has not ended (a zombie has ended).
process_running() {
    local stat
    read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
    stat=${stat##*) }
    [[ ${stat:0:1} != Z ]]
}

# await_exit PID SECONDS: waits for the process to end; sets EXIT_STATUS. Returns 1 when
# it is still running after SECONDS (it is then killed).
await_exit() {
    local pid=$1 limit=$(($2 * 10)) tries=0
    while process_running "$pid"; do
        if ((++tries > limit)); then
            kill -KILL "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            EXIT_STATUS=killed
            return 1
        fi
        sleep 0.1
    done
    wait "$pid"
    EXIT_STATUS=$?
}

# expect_exit PID SECONDS STATUS: the process ends in time with that exit status.
expect_exit() {
    if ! await_exit "$1" "$2"; then
        fail "the program was still running $2 s later (killed)"
        return 1
    fi
    expect_eq "exit status" "$3" "$EXIT_STATUS"
}

# Ends every process of the tool the scenario started that is still running, and the box
# readers. Returns 1 if a process of the tool was still running.
kill_leftovers() {
    local pid left=0
    for pid in "${BOX_READERS[@]}"; do
        kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    for pid in "${STARTED_PIDS[@]}"; do
        if process_running "$pid"; then
            left=1
            kill -TERM "$pid" 2>/dev/null
            await_exit "$pid" 2 || true
        fi
    done
    return $left
}
