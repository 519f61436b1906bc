#!/usr/bin/env bash
# Runs inside scripts/vlan run --lans 2: a simulator in each LAN, the probe in the tool namespace.
#   devsim_selftest.sh DEVSIM PROBE [DEVICES]
set -uo pipefail

devsim=$1
probe=$2
devices=${3:-4096}
logs=$(mktemp -d)
pids=()

stop_simulators()
{
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    pids=()
}
trap 'stop_simulators; rm -rf "$logs"' EXIT

# shellcheck source=SCRIPTDIR/../../scripts/lib/simulator.sh
source "$(dirname "$0")/../../scripts/lib/simulator.sh"

start_simulator "$logs/lan1.log" "$NIMBREL_LAN1_NS" "$devsim" --count "$devices" \
    --first-address "$NIMBREL_LAN1_FIRST_DEVICE" --older-firmware 2 --admin-password 4321 \
    --restart-ms 300 --files-dir "$logs/files" || exit 1
pids+=("$simulator_pid")
start_simulator "$logs/lan2.log" "$NIMBREL_LAN2_NS" "$devsim" --count 8 \
    --first-address "$NIMBREL_LAN2_FIRST_DEVICE" || exit 1
pids+=("$simulator_pid")

first=$NIMBREL_LAN1_FIRST_DEVICE
write_to="${first%.*}.$((${first##*.} + 4))"
ip netns exec "$NIMBREL_TOOL_NS" "$probe" --devices "$devices" --first "$first" --older 2 \
    --other-lan-device "${NIMBREL_LAN2_FIRST_DEVICE%.*}.5" \
    --write-to "$write_to" --password 4321 --restart-ms 300
status=$?

files=$(find "$logs/files/$write_to" -type f 2>/dev/null | wc -l)
if ((files != 6)); then
    echo "FAIL: expected 6 files written for $write_to, found $files"
    status=1
else
    echo "ok: 6 files stored under the files directory for $write_to"
fi
if grep -q 'answered search' "$logs/lan2.log"; then
    echo "FAIL: the broadcast search reached LAN 2"
    status=1
else
    echo "ok: the broadcast search stayed in LAN 1"
fi
stop_simulators
echo "--- LAN 1 simulator"
cat "$logs/lan1.log"
echo "--- LAN 2 simulator"
cat "$logs/lan2.log"
exit "$status"
