#!/bin/sh
# `velmora-eeprom records` reads only a record file and writes its page only
# over an earlier page, through the real tool: a FIFO, a device, a directory
# or a settings file as the source, and a FIFO, the source itself, someone
# else's file or a full disk as an output, each refused at once with its
# reason and status.
#   records_files.sh VELMORA_EEPROM WORK_DIR
set -eu
tool=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work"
export QXIIC_SIM_DIR="$work/sim"
failed=0

# check STATUS SAYS COMMAND...: the command ends in STATUS within 20 s (a
# FIFO nobody opens from the other end would hold it for ever) and says SAYS
# on standard error (nothing there when SAYS is empty).
check() {
	want=$1 says=$2
	shift 2
	status=0
	timeout 20 "$@" >out 2>err </dev/null || status=$?
	if [ "$status" -ne "$want" ] || { [ -n "$says" ] && ! grep -qF -- "$says" err; } ||
		{ [ -z "$says" ] && [ -s err ]; }; then
		echo "FAIL: $*: status $status (wanted $want), said: $(cat err)"
		failed=1
	fi
}

printf '%s\n' '{"time":"2026-12-07T08:00:00Z","result":"verified","command":"program","station":"s","unit":"U1"}' >r.jsonl
cp r.jsonl r.saved
mkfifo fifo
"$tool" --bus sim:0 dump golden.qmx >/dev/null 2>&1
printf 'kept\n' >notes.txt

# Sources.
check 3 "velmora-eeprom: fifo: it is a FIFO" "$tool" records fifo
check 3 "velmora-eeprom: /dev/zero: it is a device" "$tool" records /dev/zero
check 3 "velmora-eeprom: .: it is a directory" "$tool" records .
check 3 "golden.qmx: not a record file (line 1: not a JSON object)" "$tool" records golden.qmx
# Outputs.
check 6 "fifo could not be written: it is a FIFO" "$tool" records r.jsonl --html fifo
check 6 "r.jsonl could not be written: it is the records' source" "$tool" records r.jsonl --html r.jsonl
ln -s r.jsonl link.jsonl
check 6 "r.jsonl could not be written: it is the records' source" "$tool" records link.jsonl --html r.jsonl
check 6 "notes.txt could not be written: it exists and is no page of records" \
	"$tool" records r.jsonl --html notes.txt
check 6 "/nonexistent/page.html could not be written: cannot create a file in the folder /nonexistent: No such file or directory" \
	"$tool" records r.jsonl --html /nonexistent/page.html
check 6 "standard output could not be written: the write failed (No space left on device)" \
	sh -c "exec '$tool' records r.jsonl >/dev/full"
# A page replaces an earlier page.
check 0 "" "$tool" records r.jsonl --html page.html
check 0 "" "$tool" records r.jsonl --html page.html

cmp -s r.jsonl r.saved || { echo "FAIL: the source changed"; failed=1; }
[ "$(cat notes.txt)" = kept ] || { echo "FAIL: notes.txt changed"; failed=1; }
[ -p fifo ] || { echo "FAIL: the FIFO was replaced"; failed=1; }
grep -q '<table id="days">' page.html || { echo "FAIL: no page written"; failed=1; }
[ "$(ls)" = "err
fifo
golden.qmx
link.jsonl
notes.txt
out
page.html
r.jsonl
r.saved
sim" ] || { echo "FAIL: files left behind: $(ls)"; failed=1; }
exit $failed
