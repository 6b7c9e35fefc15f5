#!/bin/sh
# libqxiic.so ($1) defines for other programs the adapter's six C functions
# and the extensions of qxiic.h, and nothing else (no test seam, no C++ name).
set -eu
extensions='IICBusError IICBusState IICScanBuses IICSelectBus IICTakeNotice'
found=$(nm -D --defined-only "$1" | awk '{ print $3 }')
status=0
for name in IICInit SetAddress SendSub ReceiveSub Receive IICClose; do
	echo "$found" | grep -qx "$name" || { echo "missing: $name" >&2; status=1; }
done
for name in $found; do
	case " IICInit SetAddress SendSub ReceiveSub Receive IICClose $extensions " in
	*" $name "*) ;;
	*) echo "exported beside the C interface: $name" >&2; status=1 ;;
	esac
done
exit $status
