#!/usr/bin/env bash
# Starts the Ostra window with the operator's own settings. When no Zavik Driver is found, the
# emulator zavik-sim is registered first (as port 4 in the operator's port directory) and
# stopped when the window closes.
# Usage: window.sh <ostra> <ostra-cli> <zavik-sim>
set -euo pipefail
ostra=$1
cli=$2
sim=$3

sim_pid=""
stop_emulator() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap stop_emulator EXIT

if "$cli" ports | grep -q -- "<- Zavik Driver"; then
    echo "A Zavik Driver is connected: Connection > Connect To Zavik Driver uses it."
else
    log=$(mktemp -t zavik-sim.XXXXXX.log)
    echo "No Zavik Driver found: starting the emulator zavik-sim as port 4 (its log: $log)."
    "$sim" --port 4 >"$log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 1 100); do
        if "$cli" ports | grep -q -- "<- Zavik Driver"; then
            break
        fi
        if ! kill -0 "$sim_pid" 2>/dev/null; then
            echo "zavik-sim did not start:" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.1
    done
fi

status=0
"$ostra" || status=$?
exit "$status"
