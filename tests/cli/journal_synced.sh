#!/bin/sh
# A record kept in the station's journal while the database is away is on
# the disk before the run ends: each append to the journal is followed by
# fdatasync of that file. Watched from outside with strace.
#   journal_synced.sh VELMORA_EEPROM WORK_DIR
set -eu
tool=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
export QXIIC_SIM_DIR="$work/sim" XDG_STATE_HOME="$work/state"
"$tool" --bus sim:5 dump "$work/golden.qmx" >/dev/null
# LeakSanitizer cannot run under a tracer; the sanitizers' other checks do.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
# A server socket folder that does not exist: the database is away.
strace -f -y -e trace=write,fdatasync -o "$work/trace" "$tool" --bus sim:5 -y program \
	--report "postgresql:///velmora?host=$work/no-server" --station synced --send-wait 0 \
	"$work/golden.qmx" >/dev/null 2>&1
journal=$(ls "$work"/state/velmora/journal-*.jsonl)
[ "$(wc -l <"$journal")" -eq 1 ] || { echo "the journal holds no record"; exit 1; }
# The lines that touch the journal, in order: a write, then its fdatasync.
grep -E "(write|fdatasync)\([0-9]+<$journal>" "$work/trace" | sed -E 's/^[0-9]+ +([a-z]+)\(.*/\1/' >"$work/calls"
printf 'write\nfdatasync\n' | cmp -s - "$work/calls" || {
	echo "the journal's append was not made durable:"
	cat "$work/calls"
	exit 1
}
