#!/bin/sh
# The names libqxiic.so ($1) defines for other programs: the adapter's six
# C functions and the extensions of qxiic.h, nothing else (no test seam,
# no C++ name).
set -eu
expected='IICBusState
IICClose
IICInit
IICScanBuses
IICTakeNotice
Receive
ReceiveSub
SendSub
SetAddress'
found=$(nm -D --defined-only "$1" | awk '{ print $3 }' | sort)
if [ "$found" != "$expected" ]; then
	echo "libqxiic.so exports:" >&2
	echo "$found" >&2
	exit 1
fi
