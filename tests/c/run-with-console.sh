#!/bin/sh
# run-with-console.sh TOOL WORKDIR PROGRAM CAPTURE: writes the sample meet, starts the console
# simulator on a pseudo-terminal (refusing the sixth frame with response code 02), and runs
# PROGRAM CAPTURE DATABASE DEVICE.
set -eu
tool=$1 work=$2 program=$3 capture=$4
rm -rf "$work"
mkdir -p "$work"
"$tool" sample-db "$work/meet.sqlite" >/dev/null
: >"$work/simulator.out" # there before the loop reads it, however late the simulator starts
"$tool" simulate --port 1 --reject 6:02 >"$work/simulator.out" 2>&1 &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true; wait "$simulator" 2>/dev/null || true' EXIT
device=
for _ in $(seq 100); do
    device=$(sed -n 's/^Console simulator on //p' "$work/simulator.out")
    [ -n "$device" ] && break
    sleep 0.1
done
[ -n "$device" ] || { cat "$work/simulator.out" >&2; exit 1; }
"$program" "$capture" "$work/meet.sqlite" "$device"
