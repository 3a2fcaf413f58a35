#!/usr/bin/env bash
# A screen reader's way through a download: under Xvfb with a private session bus and the
# AT-SPI registry, a client finds the buttons by name, presses "down load" through AT-SPI
# and reads the records the logger sent through the record text's text interface; then
# the PORT dialog from the keyboard alone.
. "$(dirname "$0")/lib.sh"

start_xvfb
start_atspi
# The laps the logger holds, one a line: as the record text shows them.
"$BUILD/logger-sim" --count=5 --laps >"$WORK/expected"
start_with_settings --count=5
/usr/bin/python3 "$(dirname "$0")/atspi_client.py" "$PROGRAM" "$WORK/expected" 60 &
CLIENT=$!
PIDS+=($CLIENT)
# The download ends with a box; the operator dismisses it as usual.
box=$(wait_window "$BOX" 60)
press "$box" Return
wait "$CLIENT" || fail "the AT-SPI client: see above"
# A screen reader's user works from the keyboard: the group of options is one Tab stop.
keyboard_walk "$MAIN_WIN" 2
echo "PASS AT-SPI: buttons by name, down load pressed, records read back; PORT by keyboard"
