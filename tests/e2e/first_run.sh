#!/usr/bin/env bash
# First run without PORT.DAT: the port dialog comes first; choosing com 2 and OK opens
# the link twice (two CRs reach the logger); nothing is written at exit.
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
wait_for 10 bash -c "[ \$(grep -c '^host: <CR>$' '$WORK/sim.err') -ge 2 ]" ||
  fail "expected two CRs, logger saw: $(cat "$WORK/sim.err")"

download "$main"
grep -q '^host: DOWN$' "$WORK/sim.err" || fail "no DOWN reached the logger"

close_window "$main"
wait_exit 15
[ "$RC" = 0 ] || fail "exit status $RC"
[ ! -e "$WORK/PORT.DAT" ] || fail "PORT.DAT written after a first run"
[ "$(grep -c '^host: <CR>$' "$WORK/sim.err")" = 2 ] || fail "more than two CRs"
echo "PASS first run"
