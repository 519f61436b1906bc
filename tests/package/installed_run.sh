#!/usr/bin/env bash
# The installed program, from the package unpacked into a scratch root, in the virtual LAN:
# it binds UDP 12340 in the tool namespace and its first search reaches the installed
# simulator in LAN 1, which answers.
#   installed_run.sh PACKAGE      (inside scripts/vlan run)
set -uo pipefail
# shellcheck source=SCRIPTDIR/../../scripts/lib/simulator.sh
source "$(dirname "$0")/../../scripts/lib/simulator.sh"

package=$1
root=$(mktemp -d)
program_pid=""
simulator_pid=""

finish()
{
    local pid
    for pid in $program_pid $simulator_pid; do
        kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$root"
}
trap finish EXIT

fail()
{
    echo "installed_run: $*" >&2
    [[ -s $root/simulator.log ]] && sed 's/^/  simulator: /' "$root/simulator.log" >&2
    [[ -s $root/program.log ]] && sed 's/^/  nimbrel: /' "$root/program.log" >&2
    exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for()
{
    local tries=$1
    shift
    while ((tries-- > 0)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

alive() { kill -0 "$program_pid" 2>/dev/null; }
# 3034 is 12340 in the hexadecimal of /proc/net/udp; 00000000 is 0.0.0.0.
bound() { ip netns exec "$NIMBREL_TOOL_NS" cat /proc/net/udp | grep -q ' 00000000:3034 '; }
answered() { grep -q "answered search from $NIMBREL_LAN1_TOOL_ADDR" "$root/simulator.log"; }

dpkg-deb -x "$package" "$root/tree" || fail "cannot unpack $package"
for binary in nimbrel nimbrel-devsim; do
    [[ -x $root/tree/usr/bin/$binary ]] || fail "the package has no usr/bin/$binary"
done

start_simulator "$root/simulator.log" "$NIMBREL_LAN1_NS" "$root/tree/usr/bin/nimbrel-devsim" \
    --count 3 || fail "the installed simulator did not start"

ip netns exec "$NIMBREL_TOOL_NS" env QT_QPA_PLATFORM=offscreen "$root/tree/usr/bin/nimbrel" \
    >"$root/program.log" 2>&1 &
program_pid=$!
wait_for 100 bound || fail "the installed program did not bind UDP port 12340"
alive || fail "the installed program ended"
echo "installed_run: the installed program is bound to 0.0.0.0:12340 in $NIMBREL_TOOL_NS"

# The first search comes with the first tick of the 10-second refresh.
wait_for 200 answered || fail "no search from the installed program reached LAN 1 in 20 s"
alive || fail "the installed program ended after its first search"
echo "installed_run: its first search reached LAN 1 and was answered; still running"
