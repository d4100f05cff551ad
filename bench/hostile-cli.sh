#!/bin/bash
# ostra-cli against hostile inputs, measured as a whole process (time, peak memory, log and
# output size, and how soon SIGINT ends it). Run on a release build:
#   bench/hostile-cli.sh build/release/tools/ostra-cli/ostra-cli
# Everything happens in a private scratch folder (TEMP and APPDATA point there).
set -eu
program=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export TEMP="$scratch/temp" APPDATA="$scratch/appdata" OSTRA_PORT_DIR="$scratch/ports"
mkdir -p "$TEMP" "$APPDATA/Velorin/Ostra" "$OSTRA_PORT_DIR"

# 4 MB of lines that each fail, and 40 MB of them (checked for long enough to be interrupted).
yes -- -X | head -c 4000000 > "$scratch/failing.cfg"
yes -- -X | head -c 40000000 > "$scratch/failing40.cfg"
# A settings file whose sequence 0 has 20,000 steps, each calling sequence 1.
{
    printf -- '-AddSequence 0 "Caller"\n-AddSequence 1 "Called"\n'
    for ((i = 0; i < 20000; ++i)); do
        printf -- '-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 "-Call 1"\n'
    done
} > "$scratch/calls.cfg"

latest_log() { ls -d "$TEMP"/VelorinData/Ostra/*/ | tail -n 1 | sed 's|$|OstraLogFile.txt|'; }

echo "== check of a 4 MB file of failing lines"
/usr/bin/time -f "wall %e s, peak memory %M KB" "$program" check "$scratch/failing.cfg" \
    > "$scratch/out.txt" 2> "$scratch/err.txt" || true
tail -n 1 "$scratch/err.txt"
echo "stdout $(wc -c < "$scratch/out.txt") bytes, log $(wc -c < "$(latest_log)") bytes"

# Milliseconds from SIGINT to the program's end, the signal sent $1 s after the start.
signal_latency() {
    local delay=$1
    shift
    "$program" "$@" > /dev/null 2>&1 &
    local pid=$!
    sleep "$delay"
    local sent=$(date +%s%N)
    kill -INT "$pid" || true
    local status=0
    wait "$pid" || status=$?
    local ended=$(date +%s%N)
    echo "exit $status, ended $(( (ended - sent) / 1000000 )) ms after SIGINT"
}

echo "== SIGINT 1 s into the check of the 4 MB file, 2 s into the check of the 40 MB file"
signal_latency 1 check "$scratch/failing.cfg"
signal_latency 2 check "$scratch/failing40.cfg"
echo "== SIGINT 2 s into a start that loads 20,000 call steps"
cp "$scratch/calls.cfg" "$APPDATA/Velorin/Ostra/OstraSettings.cfg"
signal_latency 2 show
echo "== the same start, not interrupted"
/usr/bin/time -f "wall %e s, peak memory %M KB" "$program" show > /dev/null 2> "$scratch/err.txt"
tail -n 1 "$scratch/err.txt"
