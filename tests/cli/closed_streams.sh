#!/bin/sh
# Started with standard input, output or error closed, no front end lets a
# file it opens take the closed stream's number: a dump meant for standard
# output would be appended to the report, a message meant for standard
# error to the adapter's trace. One case per front end, through the real
# programs; the panel's is watched with strace.
#   closed_streams.sh VELMORA_EEPROM VELMORA_REG VELMORA WORK_DIR
set -eu
eeprom=$1
reg=$2
panel=$3
work=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"
export QXIIC_SIM_DIR="$work/sim"
failed=0
fail() {
	echo "FAIL: $*"
	failed=1
}

# velmora-eeprom: a dump to a closed standard output fails (status 6), and
# its record says so, alone in the report.
status=0
"$eeprom" --bus sim:0 --report r.jsonl dump - >&- 2>err || status=$?
[ "$status" -eq 6 ] || fail "dump - >&-: status $status"
grep -qF "The settings were not written to standard output: standard output is closed." err ||
	fail "dump - >&- said: $(cat err)"
[ "$(wc -l <r.jsonl)" -eq 1 ] && grep -q '"result":"file-not-written"' r.jsonl ||
	fail "dump - >&-: the report holds: $(head -c 300 r.jsonl)"
# ... and a dump to a full disk the same.
status=0
"$eeprom" --bus sim:0 dump - >/dev/full 2>err || status=$?
[ "$status" -eq 6 ] && grep -qF "No space left on device" err || fail "dump - >/dev/full: status $status, said: $(cat err)"

# ... as any output of it: the trims shown to nobody are no success.
"$eeprom" --bus sim:0 dump golden.qmx >/dev/null 2>&1
status=0
"$eeprom" show golden.qmx >&- 2>err || status=$?
[ "$status" -eq 6 ] && grep -qF "velmora-eeprom: standard output could not be written: it is closed" err ||
	fail "show >&-: status $status, said: $(cat err)"

# velmora-reg: a failure's message with standard error closed goes nowhere,
# not into the trace the adapter library opened.
printf 'read shutter expect 0x1234\n' >script
status=0
QXIIC_TRACE="$work/trace" "$reg" --bus sim:0 run script 2>&- || status=$?
[ "$status" -eq 5 ] || fail "velmora-reg run 2>&-: status $status"
grep -q velmora-reg trace && fail "velmora-reg's message went into the trace: $(cat trace)"

# ... and its values on a closed standard output are no success.
status=0
"$reg" --bus sim:0 get shutter >&- 2>err || status=$?
[ "$status" -eq 6 ] && grep -qF "velmora-reg: standard output could not be written: it is closed" err ||
	fail "velmora-reg get >&-: status $status, said: $(cat err)"

# velmora: /dev/null is opened onto 0, 1 and 2 before anything else.
if command -v strace >/dev/null; then
	export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
	strace -o panel.trace -e trace=openat "$panel" --version <&- >&- 2>&- || true
	grep -E '"/dev/null".* = [012]$' panel.trace | sed -E 's/.*= //' | tr -d '\n' >opened
	[ "$(cat opened)" = 012 ] || fail "velmora opened /dev/null onto: $(cat opened)"
fi
exit $failed
