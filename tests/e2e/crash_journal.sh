#!/usr/bin/env bash
# Unsaved records against a crash: killed (SIGKILL) in the middle of a CLDWN download,
# the program offers back exactly the records the logger was answered "OK" for, and keeps
# them until saved; No deletes a journal, closing the window leaves none. A signal keeping
# the journal, a journal of a later format and a damaged one are journal_test's.
. "$(dirname "$0")/lib.sh"

J="$WORK/.vorbixloader.journal"
HEADER=$'VorbixLoader journal 2\r'

start_xvfb
# The logger stops sending once 8 frames (the start record and 7 laps) are answered.
start_with_settings --count=20 --stall-after=8 --log
click "$MAIN_WIN" $(tw 1800 240 1455 255)  # "Lap all clr"
click "$MAIN_WIN" $(tw 120 120 1335 495)   # "down load"
oks() { grep -c '^host: OK$' "$WORK/sim.err" || true; }
wait_for 15 bash -c "[ \$(grep -c '^host: OK$' '$WORK/sim.err') -ge 8 ]" || fail "only $(oks) OKs"
grep -q '^host: CLDWN$' "$WORK/sim.err" || fail "no CLDWN reached the logger"
kill -KILL "$PROGRAM"
wait "$PROGRAM" 2>/dev/null || true
[ "$(oks)" = 8 ] || fail "$(oks) OKs"
[ "$(head -n 1 "$J")" = "$HEADER" ] || fail "no journal after SIGKILL: $(head -c 60 "$J" | od -c | head -n 4)"
"$BUILD/logger-sim" --count=20 --laps | head -n 7 | sed 's/$/\r/' >"$WORK/answered.txt"

# Yes (the default) restores them byte for byte; the journal stays until they are saved.
start_program
box=$(wait_window "$BOX")
press "$box" Return
main=$(wait_window "$MAIN")
[ -f "$J" ] || fail "journal gone before the records were saved"
through_dialog "$main" 4920 SAVE restored
cmp "$WORK/restored.txt" <(cat "$WORK/answered.txt"; printf '\r\n') ||
  fail "restored: $(od -c "$WORK/restored.txt" | head)"
[ ! -s "$J" ] || fail "journal kept after the save"
close_window "$main"
wait_exit 15
[ "$RC" = 0 ] || fail "exit status $RC"

# No deletes the journal; closing the window with unsaved records leaves none.
printf 'VorbixLoader journal 1\r\n1  12.345\r\n' >"$J"  # the older format's
start_program
box=$(wait_window "$BOX")
press "$box" Escape
main=$(wait_window "$MAIN")
[ ! -s "$J" ] || fail "journal kept after No"
download "$main"
[ -f "$J" ] || fail "no journal while records are unsaved"
close_window "$main"
wait_exit 15
[ "$RC" = 0 ] || fail "exit status $RC"
[ ! -e "$J" ] || fail "journal left after closing the window"
echo "PASS crash journal"
