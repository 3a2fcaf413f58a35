#!/usr/bin/env bash
# Renders docs/main-window.png: the main window after a download from the simulator,
# under a private Xvfb. Usage: tools/scripts/screenshot.sh [BUILD-DIR]
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/scripts/deps.sh"
vl_install_missing imagemagick
. "$root/tests/e2e/lib.sh" "${1:-$root/build}"

start_xvfb
start_sim --count=30
ln -s "$SIM_DEV" "$WORK/COM1"
printf '1\r\n"57600"\r\n"%s"\r\n' "$WORK" >"$WORK/PORT.DAT"
start_program
main=$(wait_window "$MAIN")
click "$main" $(tw 120 120 1335 495)  # down load
box=$(wait_window "$BOX" 20)
press "$box" Return
wait_gone "$BOX"
click "$main" 300 120  # place the caret in the record text, as an operator would
import -window "$main" "$root/docs/main-window.png"
close_window "$main"
wait_exit 15
echo "wrote docs/main-window.png"
