#!/usr/bin/env bash
# First run without PORT.DAT: the port dialog comes first; choosing com 2 and OK opens
# the link, and start-up opens it again (two CRs reach the logger); the choice is written
# at exit.
. "$(dirname "$0")/lib.sh"

start_xvfb
start_sim --count=3 --log
ln -s "$SIM_DEV" "$WORK/COM2"
start_program
dialog=$(wait_window '^PORT SET$')
# Option buttons sit in the frame at (120, 120): com 2 is column 1, row 0.
click "$dialog" $(((120 + 1200 + 200) / 15)) $(((120 + 240 + 127) / 15))
click "$dialog" $(tw 120 2400 975 375)  # OK
main=$(wait_window "$MAIN")
two_crs() { awk '/^host: <CR>$/ { n++ } END { exit n != 2 }' "$WORK/sim.err"; }
wait_for 10 two_crs || fail "expected two CRs, logger saw: $(cat "$WORK/sim.err")"

download "$main"
grep -q '^host: DOWN$' "$WORK/sim.err" || fail "no DOWN reached the logger"

close_window "$main"
wait_exit 15
[ "$RC" = 0 ] || fail "exit status $RC"
# Started from a terminal: the record folder is the one it was started in.
cmp "$WORK/PORT.DAT" <(printf '2\r\n"57600"\r\n"%s"\r\n' "$WORK") ||
  fail "PORT.DAT: $(od -c "$WORK/PORT.DAT" | head)"
two_crs || fail "the link was opened again: $(cat "$WORK/sim.err")"
echo "PASS first run"
