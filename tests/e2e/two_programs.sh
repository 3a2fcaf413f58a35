#!/usr/bin/env bash
# Two programs in one folder, each on a logger of its own: A downloads and is killed; B
# (started idle and ended by SIGTERM, then by its close box; then started during A's
# download, downloading and killed too) is never asked about A's records and never
# touches A's journal. The next two starts offer back each one's records, whole.
. "$(dirname "$0")/lib.sh"

J="$WORK/.vorbixloader.journal"
# win PID TITLE: that program's window. A program that asks about records asks before its
# main window shows.
win() {
  wait_for 15 bash -c "xdotool search --all --onlyvisible --pid $1 --name '$2' | grep -q ." ||
    fail "no window '$2' of $1"
  xdotool search --all --onlyvisible --pid "$1" --name "$2" | head -n 1
}
oks() { grep -c '^host: OK$' "$WORK/$1" || true; }
com1() { ln -sfn "$(head -n 1 "$WORK/$1")" "$WORK/COM1"; }
laps() { "$BUILD/logger-sim" --count="$1" --laps | head -n "$2" | sed 's/$/\r/'; printf '\r\n'; }
killed() { kill -KILL "$1" && wait "$1" 2>/dev/null || true; }

start_xvfb
# A's logger stops sending once the start record and 100 laps are answered.
start_with_settings --count=300 --stall-after=101 --log
A=$PROGRAM
click "$MAIN_WIN" $(tw 1800 240 1455 255)  # "Lap all clr"
click "$MAIN_WIN" $(tw 120 120 1335 495)   # "down load"
wait_for 15 bash -c "[ \$(grep -c '^host: OK$' '$WORK/sim.err') -ge 101 ]" ||
  fail "A: $(oks sim.err) OKs"
"$BUILD/logger-sim" --count=30 --log >"$WORK/sim2.out" 2>"$WORK/sim2.err" &
PIDS+=($!)
wait_for 10 test -s "$WORK/sim2.out" || fail "the second logger-sim did not start"
com1 sim2.out

for end in TERM close; do
  start_program
  main=$(win "$PROGRAM" "$MAIN")
  if [ "$end" = close ]; then close_window "$main"; else kill -TERM "$PROGRAM"; fi
  wait_exit 15
done
start_program
B=$PROGRAM
main=$(win "$B" "$MAIN")
click "$main" $(tw 120 120 1335 495)  # "down load"
press "$(win "$B" "$BOX")" Return     # "Down load end"
killed "$A"
killed "$B"
[ "$(oks sim.err)/$(oks sim2.err)" = 101/32 ] || fail "OKs: $(oks sim.err)/$(oks sim2.err)"

# Each start offers back one killed program's records, A's first; both end saved.
for run in a:sim.err:300:100 b:sim2.err:30:30; do
  IFS=: read -r name sim count n <<<"$run"
  com1 "${sim%.err}.out"
  start_program
  press "$(win "$PROGRAM" "$BOX")" Return  # Yes
  main=$(win "$PROGRAM" "$MAIN")
  through_dialog "$main" 4920 SAVE "$name"
  cmp "$WORK/$name.txt" <(laps "$count" "$n") || fail "$name: $(head -c 200 "$WORK/$name.txt" | od -c)"
  eval "main_$name=$main program_$name=$PROGRAM"
done
close_window "$main_a"
close_window "$main_b"
wait_for 15 bash -c "! kill -0 $program_a && ! kill -0 $program_b" || fail "did not end"
[ -z "$(ls -A "$WORK" | grep '^\.vorbixloader')" ] || fail "left: $(ls -A "$WORK")"
echo "PASS two programs in one folder"
