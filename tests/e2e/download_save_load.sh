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

# Enter on the question whether to replace run1.txt answers No, its default, and the
# dialog stays for another name.
cp "$WORK/run1.txt" "$WORK/run1.before"
click "$main" $(tw 4920 120 1215 375)  # file save
dialog=$(wait_window '^ SAVE$')
click "$dialog" $(tw 1080 3360 3975 270)  # the name box
xdotool key ctrl+a
type_text run1
click "$dialog" $(tw 5280 3360 855 375)  # OK
press "$(wait_window "$BOX")" Return
wait_gone "$BOX"
[ -n "$(find_window '^ SAVE$')" ] || fail "the SAVE dialog closed after No"
cmp "$WORK/run1.txt" "$WORK/run1.before" || fail "Enter replaced run1.txt"
close_window "$dialog"
wait_gone '^ SAVE$'

close_window "$main"
wait_exit 15
[ "$RC" = 0 ] || fail "exit status $RC"
# PORT.DAT at exit: the same port, speed and folder come back.
cmp "$WORK/PORT.DAT" "$WORK/PORT.DAT.before" || fail "PORT.DAT: $(od -c "$WORK/PORT.DAT")"
echo "PASS download, save, load, save, close"
