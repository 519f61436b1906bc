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

# Waits up to 10 s for a simulator's "started" line.
wait_started()
{
    local log=$1 tries
    for ((tries = 0; tries < 100; tries++)); do
        grep -q '^started with' "$log" && return 0
        sleep 0.1
    done
    echo "simulator did not start:" >&2
    cat "$log" >&2
    return 1
}

ip netns exec "$NIMBREL_LAN1_NS" "$devsim" --count "$devices" \
    --first-address "$NIMBREL_LAN1_FIRST_DEVICE" --older-firmware 2 --admin-password 4321 \
    --restart-ms 300 --files-dir "$logs/files" >"$logs/lan1.log" 2>&1 &
pids+=($!)
ip netns exec "$NIMBREL_LAN2_NS" "$devsim" --count 8 --first-address "$NIMBREL_LAN2_FIRST_DEVICE" \
    >"$logs/lan2.log" 2>&1 &
pids+=($!)
wait_started "$logs/lan1.log" && wait_started "$logs/lan2.log" || exit 1

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
