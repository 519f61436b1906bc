#!/usr/bin/env bash
# Checks scripts/vlan itself: usage errors, exit status, removal of everything after success,
# failure and SIGTERM (processes inside included), "cleanup" of dead runs, 77 without root.
#   vlan_script_selftest.sh VLAN_SCRIPT
set -uo pipefail

vlan=$1
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[[ $(id -u) -eq 0 ]] || { echo "needs root; skipping"; exit 77; }
ip netns list >/dev/null 2>&1 || { echo "ip netns unavailable; skipping"; exit 77; }

check()
{
    if eval "$2"; then
        echo "ok: $1"
    else
        echo "FAIL: $1"
        failures=$((failures + 1))
    fi
}

namespaces_of() { ip netns list | awk '{print $1}' | grep -E "^nb$1(t|l[1-4])\$"; }

# Runs scripts/vlan in the background (its pid names its namespaces) and waits for it.
run_vlan()
{
    "$vlan" run "$@" &
    last_pid=$!
    wait "$last_pid"
    last_status=$?
}

run_vlan --lans 3 -- bash -c '[[ $NIMBREL_LANS == 3 && -n $NIMBREL_LAN3_NS ]] &&
    ip netns list | grep -q "^$NIMBREL_LAN3_NS" && exit 7'
check "the command's exit status comes back" '((last_status == 7))'
check "no namespace left after a run" '[[ -z $(namespaces_of "$last_pid") ]]'

run_vlan --lans 2 -- false
check "a failing command fails the run" '((last_status == 1))'
check "no namespace left after a failing command" '[[ -z $(namespaces_of "$last_pid") ]]'

# SIGTERM while a process runs inside a LAN namespace.
"$vlan" run --lans 2 -- bash -c 'ip netns exec "$NIMBREL_LAN2_NS" sleep 60 & echo $! >'"$work/inner"'; wait' &
pid=$!
for ((i = 0; i < 50; i++)); do
    [[ -s $work/inner ]] && break
    sleep 0.1
done
inner=$(cat "$work/inner" 2>/dev/null)
check "the namespaces exist during the run" '[[ $(namespaces_of "$pid" | wc -l) -eq 3 ]]'
kill -TERM "$pid"
wait "$pid"
status=$?
check "SIGTERM ends the run with 143" '((status == 143))'
check "no namespace left after SIGTERM" '[[ -z $(namespaces_of "$pid") ]]'
# Stopped means gone or a zombie waiting for whoever adopted it.
check "the process inside the LAN was stopped" \
    '[[ -n $inner ]] && { [[ ! -e /proc/$inner ]] || [[ $(awk "{print \$3}" /proc/$inner/stat) == Z ]]; }'

# A dead run's leftovers: a pid that is not running, and a live run that must be spared.
dead=4194000
while kill -0 "$dead" 2>/dev/null; do dead=$((dead + 1)); done
ip netns add "nb${dead}t" && ip netns add "nb${dead}l1"
"$vlan" run -- sleep 30 &
live=$!
for ((i = 0; i < 50; i++)); do
    [[ -n $(namespaces_of "$live") ]] && break
    sleep 0.1
done
"$vlan" cleanup >"$work/cleanup.log" 2>&1
check "cleanup removes a dead run's namespaces" '[[ -z $(namespaces_of "$dead") ]]'
check "cleanup spares a live run" '[[ $(namespaces_of "$live" | wc -l) -eq 2 ]]'
kill -TERM "$live"
wait "$live"
check "no namespace left after the live run" '[[ -z $(namespaces_of "$live") ]]'

"$vlan" run --lans 5 -- true 2>/dev/null
check "more than 4 LANs is a usage error (2)" '(($? == 2))'
"$vlan" run 2>/dev/null
check "run without a command is a usage error (2)" '(($? == 2))'

if command -v setpriv >/dev/null && setpriv --reuid=65534 --regid=65534 --clear-groups \
    test -r "$vlan"; then
    setpriv --reuid=65534 --regid=65534 --clear-groups bash "$vlan" run -- true 2>/dev/null
    check "without root the script exits 77" '(($? == 77))'
else
    echo "note: cannot read the script as an unprivileged user; the 77 case is not checked"
fi

echo "$failures failed checks"
((failures == 0))
