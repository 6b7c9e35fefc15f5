#!/bin/sh
# What one run of velmora-eeprom writes into a simulated camera, the next
# run reads: program, then verify in a process of its own; a camera with
# a fresh state directory does not have it.
#   sim_two_runs.sh VELMORA_EEPROM WORK_DIR
set -eu
tool=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
export QXIIC_SIM_DIR="$work/state"
"$tool" --bus sim:4 dump "$work/factory.qmx" >/dev/null
# The first byte of page 3 (header, then a comment and 16 lines a page).
sed '54s/^../5A/' "$work/factory.qmx" >"$work/changed.qmx"
cmp -s "$work/factory.qmx" "$work/changed.qmx" && { echo "the file did not change"; exit 1; }
"$tool" --bus sim:4 -y program "$work/changed.qmx"
"$tool" --bus sim:4 verify "$work/changed.qmx"
status=0
QXIIC_SIM_DIR="$work/other" "$tool" --bus sim:4 verify "$work/changed.qmx" 2>/dev/null || status=$?
[ "$status" -eq 5 ] || { echo "a fresh camera verified with status $status, not 5"; exit 1; }
