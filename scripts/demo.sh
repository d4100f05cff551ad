#!/usr/bin/env bash
# The demonstration that ./run shows: ostra-cli driving a Zavik Driver step by step. A real
# device is used when port discovery finds one; otherwise the emulator zavik-sim is started on a
# private port directory and stopped again at the end.
#
# Usage: scripts/demo.sh OSTRA_CLI ZAVIK_SIM WORK_DIR
#   WORK_DIR receives this demonstration's data: TEMP and APPDATA point into it, so the
#   operator's own settings and data directories stay untouched. It is emptied first.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 OSTRA_CLI ZAVIK_SIM WORK_DIR" >&2
    exit 2
fi
cli=$1
sim=$2
work=$3
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
samples="$repo/samples"

# Only a directory this script made before (or an empty one) is emptied.
if [ -d "$work" ] && [ -n "$(ls -A "$work")" ] && [ ! -e "$work/.ostra-demo" ]; then
    echo "$work is not empty and was not made by this demonstration; choose another." >&2
    exit 2
fi
rm -rf "$work"
mkdir -p "$work/temp" "$work/appdata" "$work/no-ports"
touch "$work/.ostra-demo"
work=$(cd "$work" && pwd)
export TEMP="$work/temp"
export APPDATA="$work/appdata"

sim_pid=""
emulated=""
state_file="$work/zavik-sim-state.txt"
events_file="$work/zavik-sim-events.tsv"

stop_emulator() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}
trap stop_emulator EXIT

step() {
    echo
    echo "==> $*"
}

# Shows the command, then runs it; a failing step ends the demonstration.
ostra() {
    echo "\$ ostra-cli$(printf ' %q' "$@")"
    "$cli" "$@"
}

echo "Ostra demonstration: ostra-cli against the Zavik Driver."
echo "Your own settings stay untouched: TEMP=$TEMP and APPDATA=$APPDATA for this demonstration."

# Discovery sees USB devices plus the port directory; an empty one leaves only real devices.
if OSTRA_PORT_DIR="$work/no-ports" "$cli" ports | grep -q -- "<- Zavik Driver"; then
    echo "A Zavik Driver is connected: the demonstration uses the real device."
else
    export OSTRA_PORT_DIR="$work/ports"
    mkdir -p "$OSTRA_PORT_DIR"
    echo "No Zavik Driver found: starting the emulator zavik-sim (port directory $OSTRA_PORT_DIR)."
    "$sim" --port 4 --port-dir "$OSTRA_PORT_DIR" --state-file "$state_file" \
        --events "$events_file" --packet-log "$work/zavik-sim-packets.log" \
        >"$work/zavik-sim.log" 2>&1 &
    sim_pid=$!
    emulated=1
    for _ in $(seq 1 100); do
        if [ -e "$OSTRA_PORT_DIR/Zavik Driver Virtual Com Port (COM4)" ]; then
            break
        fi
        if ! kill -0 "$sim_pid" 2>/dev/null; then
            echo "zavik-sim did not start:" >&2
            cat "$work/zavik-sim.log" >&2
            exit 1
        fi
        sleep 0.1
    done
fi

step "Serial ports (the Zavik Driver is marked)"
ostra ports

step "Connect: discovery, firmware version, every intensity sent"
ostra connect

step "Check the sample settings and sequence files against the setup file"
ostra check "$samples/settings/DemoProtocol.cfg" "$samples/sequences/RedFlashes.cfg"

step "Make the sample settings the operator's, import a sample sequence"
ostra open-settings "$samples/settings/DemoProtocol.cfg"
ostra import 10 "Red flashes" "$samples/sequences/RedFlashes.cfg"
ostra show
ostra show 3 --script

step "The stimulus timeline of sequence 3: every setting with its time and the step it came from"
timeline_svg="$work/timeline-sequence-3.svg"
ostra timeline 3 --max-events 12 --svg "$timeline_svg"
echo "The picture of the timeline (a lane per LED and TTL bit): $timeline_svg"

step "Manual control: intensities, outputs, a pulse train"
ostra led intensity Blue 200
ostra led on Blue Green
ostra led pulse-start Red --on 20 --off 80 --loops 5
ostra led pulse-stop Red

step "Upload every sequence"
ostra upload

step "Run sequence 3 (Demo trial) to completion"
ostra run 3

step "Stop, and every LED off"
ostra stop
ostra led off

if [ -n "$sim_pid" ]; then
    stop_emulator
    step "The emulated device's final state"
    cat "$state_file"
    if ! grep -q "^outputs 0x0080 " "$state_file"; then
        echo "The device's LEDs are not all off." >&2
        exit 1
    fi
    echo "Every LED is off (output mask 0x0080: only the always-set bit 7)."
fi

data_root="$TEMP/VelorinData/Ostra"
last_run=$(ls -1d "$data_root"/*/ | sort | tail -n 1)
step "Where everything is"
echo "Data directories (one per ostra-cli run, each with its log): $data_root"
echo "Log of the last run: ${last_run}OstraLogFile.txt"
echo "Settings file: $APPDATA/Velorin/Ostra/OstraSettings.cfg"
echo "Timeline picture of sequence 3: $timeline_svg"
echo "Delivered-stimulus records of the runs: $(ls -1 "$data_root"/*/Stimulus_*.tsv | tr '\n' ' ')"

if [ -n "$emulated" ]; then
    step "What the emulated device did while sequence 3 ran (its event record), beside the timeline"
    echo "Event record: $events_file (every output change; packet log: $work/zavik-sim-packets.log)"
    sed -n '/^# sequence 3 start/,/^# sequence 3 end/p' "$events_file" | grep -v '^#' |
        cut -f1-3 >"$work/sequence3-run.tsv"
    if "$cli" timeline 3 >"$work/sequence3-timeline.tsv" 2>/dev/null; then
        cut -f1-3 "$work/sequence3-timeline.tsv" >"$work/sequence3-timeline-cut.tsv"
        echo "device (time_ms lane value)            | timeline"
        paste -d '|' "$work/sequence3-run.tsv" "$work/sequence3-timeline-cut.tsv" |
            awk -F'|' '{ printf "%-40s| %s\n", $1, $2 }' | tr '\t' ' '
    else
        tr '\t' ' ' <"$work/sequence3-run.tsv"
    fi
fi
echo "Demonstration complete."
