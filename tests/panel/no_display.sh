#!/bin/sh
# The panel started where no window can be shown (over ssh): one line that
# says so and names the tools that work there, status 1; never Qt's abort.
#   no_display.sh VELMORA
set -u
panel=$1
line="velmora: the control panel needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); velmora-eeprom and velmora-reg work without one"
fails=0
# check STATUS OUTPUT ENV-ASSIGNMENT... -- ARGUMENT...
check() {
	want_status=$1
	want=$2
	shift 2
	vars=
	while [ "$1" != -- ]; do
		vars="$vars $1"
		shift
	done
	shift
	# shellcheck disable=SC2086
	got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $vars "$panel" "$@" 2>&1)
	status=$?
	if [ "$status" -ne "$want_status" ] || [ "$got" != "$want" ]; then
		echo "with$vars, velmora $*: status $status, not $want_status; said:"
		echo "$got"
		fails=1
	fi
}
check 1 "$line" -- --bus none
check 1 "$line" DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM= -- --bus none
check 0 "velmora (Velmora) $("$panel" --version | cut -d' ' -f3)" -- --version
check 2 "velmora: unexpected argument 'x' (see velmora --help)" -- x
exit $fails
