#!/usr/bin/env bash
# Runs a command in a fresh virtual LAN and fails when the run leaves a namespace behind.
#   run_in_vlan.sh VLAN_SCRIPT [scripts/vlan run options] -- COMMAND [ARGS...]
# Exit status: COMMAND's, 1 for leftovers, 77 when the virtual LAN is unavailable (skipped).
set -uo pipefail

if [[ ${1:-} == --record ]]; then
    # Inside the run: note the namespaces for the check afterwards, then become COMMAND.
    record=$2
    shift 2
    {
        echo "$NIMBREL_TOOL_NS"
        for ((k = 1; k <= NIMBREL_LANS; k++)); do
            name="NIMBREL_LAN${k}_NS"
            echo "${!name}"
        done
    } >"$record"
    exec "$@"
fi

vlan=$1
shift
options=()
while (($# > 0)) && [[ $1 != -- ]]; do
    options+=("$1")
    shift
done
(($# > 0)) && shift
record=$(mktemp)
trap 'rm -f "$record"' EXIT

"$vlan" run "${options[@]}" -- "$0" --record "$record" "$@"
status=$?
((status == 77)) && exit 77

if [[ ! -s $record ]]; then
    echo "run_in_vlan: the virtual LAN never started the command (status $status)" >&2
    ((status == 0)) && status=1
fi
leftover=$(ip netns list 2>/dev/null | awk '{print $1}' | grep -Fx -f "$record")
if [[ -n $leftover ]]; then
    echo "run_in_vlan: namespaces left behind: $leftover" >&2
    status=1
else
    echo "run_in_vlan: no namespace left behind"
fi
exit "$status"
