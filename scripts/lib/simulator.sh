# shellcheck shell=bash
# Starting the device simulator in a LAN namespace of the virtual LAN (scripts/vlan) and waiting
# until it listens: shared by scripts/demo, bench/run and the tests that run the simulator.
# Source this file; it defines functions only.

# simulator_started LOG [TRIES]: waits (TRIES tenths of a second, 10 s by default) until LOG holds
# the simulator's "started with" line. On failure prints the log to stderr and returns 1.
simulator_started()
{
    local log=$1 tries=${2:-100}
    while ((tries-- > 0)); do
        grep -q '^started with' "$log" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "the device simulator did not start:" >&2
    cat "$log" >&2
    return 1
}

# start_simulator LOG NAMESPACE COMMAND [ARGS...]: runs COMMAND (the simulator, with whatever
# runs it, such as setpriv) in NAMESPACE in the background, its output appended to LOG, and waits
# until it listens. Sets simulator_pid, also when it fails to start.
start_simulator()
{
    local log=$1 namespace=$2
    shift 2
    ip netns exec "$namespace" "$@" >>"$log" 2>&1 &
    # shellcheck disable=SC2034 # for the caller
    simulator_pid=$!
    simulator_started "$log"
}
