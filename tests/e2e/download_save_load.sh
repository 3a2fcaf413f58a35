#!/usr/bin/env bash
# The operator's day: start with a settings file, download laps from the logger, save
# them, load them back, save again, close. Checks the files' bytes and PORT.DAT.
. "$(dirname "$0")/lib.sh"

start_xvfb
start_with_settings --count=5
main=$MAIN_WIN
cp "$WORK/PORT.DAT" "$WORK/PORT.DAT.before"
download "$main"

save_load_save "$main"

close_window "$main"
wait_exit 15
[ "$RC" = 0 ] || fail "exit status $RC"
# PORT.DAT at exit: the same port, speed and folder come back.
cmp "$WORK/PORT.DAT" "$WORK/PORT.DAT.before" || fail "PORT.DAT: $(od -c "$WORK/PORT.DAT")"
echo "PASS download, save, load, save, close"
