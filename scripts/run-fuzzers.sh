#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer) and
# runs every fuzz target for SECONDS seconds (default 12) on a copy of its corpus and regression
# inputs, so the repository's corpus stays as it is.
#
# Prints one line per target, "fuzz <target>: passed (...)" or "fuzz <target>: FAILED (...)", and
# exits non-zero on any finding: a crash, a failed check, a leak, a time-out, running out of
# memory or a sanitizer report. A finding's input is kept under build/fuzz/findings/<target>/
# with the fuzzer's output beside it; add it to fuzz/regressions/<target>/ once the fault is fixed.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-12}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS]   (seconds per fuzz target, a whole number above 0)" >&2
    exit 2
fi

targets=(FuzzParseCommandString FuzzFormatCmdLine FuzzSettingsFile FuzzSequenceFile FuzzDeviceResponse
         FuzzControlRequest)
# The targets that read .cfg files get the format's words as a dictionary.
declare -A dictionaries=(
    [FuzzFormatCmdLine]=fuzz/dictionaries/cfg.dict
    [FuzzSettingsFile]=fuzz/dictionaries/cfg.dict
    [FuzzSequenceFile]=fuzz/dictionaries/cfg.dict
)
build=build/fuzz
findings="$build/findings"

echo "=== fuzz: configure and build ==="
if ! cmake --preset fuzz >/dev/null || ! cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"; then
    echo "fuzz build: FAILED"
    exit 1
fi

# Memory-backed when possible: the targets write their input as a file on every run, and the
# sequence files are written with fsync.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    work=$(mktemp -d -p /dev/shm ostra-fuzz-run-XXXXXX)
else
    work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for target in "${targets[@]}"; do
    corpus="$work/corpus/$target"
    mkdir -p "$corpus" "$work/tmp/$target"
    cp -r "fuzz/corpus/$target/." "$corpus/"
    if [ -d "fuzz/regressions/$target" ]; then
        cp -r "fuzz/regressions/$target/." "$corpus/"
    fi
    kept="$findings/$target"
    rm -rf "$kept"
    mkdir -p "$kept"
    options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
             -artifact_prefix="$kept/")
    if [ -n "${dictionaries[$target]:-}" ]; then
        options+=(-dict="${dictionaries[$target]}")
    fi

    log="$kept/fuzzer-output.txt"
    # The targets' scratch files go to a directory of the run, so a crash leaves nothing behind.
    TMPDIR="$work/tmp/$target" "$build/fuzz/$target" "${options[@]}" "$corpus" >"$log" 2>&1
    result=$?
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' | tail -n 1)
    finding=$(find "$kept" -type f ! -name fuzzer-output.txt | head -n 1)
    if [ "$result" -eq 0 ] && [ -z "$finding" ]; then
        echo "fuzz $target: passed (${runs:-0} runs in ${seconds} s)"
        rm -rf "$kept"
    else
        status=1
        echo "fuzz $target: FAILED (exit status $result; input: ${finding:-none kept}; output: $log)"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz check failed|.*runtime error)' "$log" | head -n 5
    fi
done
exit "$status"
