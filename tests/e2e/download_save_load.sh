#!/usr/bin/env bash
# The operator's day: start with a settings file, download laps from the logger, save
# them, load them back, save again, close. Checks the files' bytes and PORT.DAT.
. "$(dirname "$0")/lib.sh"

start_xvfb
start_with_settings --count=5
main=$MAIN_WIN
cp "$WORK/PORT.DAT" "$WORK/PORT.DAT.before"
download "$main"

through_dialog "$main" 4920 SAVE run1
[ -f "$WORK/run1.txt" ] || fail "run1.txt was not saved"
# Five laps, each ended by CR LF, and the CR LF the save adds.
[ "$(grep -c $'\r$' "$WORK/run1.txt")" = 6 ] || fail "run1.txt: $(od -c "$WORK/run1.txt" | head)"
[ "$(tail -c 4 "$WORK/run1.txt" | od -An -c | tr -d ' ')" = '\r\n\r\n' ] || fail "run1.txt ending"

through_dialog "$main" 6120 LOAD run1
through_dialog "$main" 4920 SAVE run2
# Loading keeps the empty last line; saving adds one more line end.
cmp "$WORK/run2.txt" <(cat "$WORK/run1.txt"; printf '\r\n') || fail "run2.txt is not run1.txt plus CR LF"

close_window "$main"
wait_exit 15
[ "$RC" = 0 ] || fail "exit status $RC"
# "file save" marks the settings for writing: the same port, speed and folder come back.
cmp "$WORK/PORT.DAT" "$WORK/PORT.DAT.before" || fail "PORT.DAT: $(od -c "$WORK/PORT.DAT")"
echo "PASS download, save, load, save, close"
