#!/usr/bin/env bash
# A blind operator's session with the screen reader itself: Orca under Xvfb with a private
# session bus, speaking through a speech-dispatcher of the test's own into ALSA's null
# device; what Orca says is read from its debug log. From the keyboard alone: a download
# whose laps are spoken as they come and read back, the PORT dialog on the chosen port with its "BPS"
# box, and the LOAD dialog whose lists speak their current item and whose name field is
# "File name".
. "$(dirname "$0")/lib.sh"

start_xvfb
start_atspi
export XDG_RUNTIME_DIR=$WORK/run XDG_CONFIG_HOME=$WORK/config HOME=$WORK/home
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME" "$WORK/speech"
# Without an audio device the speech server would wait for one forever.
cat >"$WORK/speech/speechd.conf" <<EOF
AudioOutputMethod "alsa"
AudioALSADevice "null"
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
EOF
speech-dispatcher -s -t 0 -C "$WORK/speech" -c unix_socket -S "$WORK/speech.sock" \
  -P "$WORK/speech.pid" -L "$WORK/speech" >/dev/null 2>&1 &
PIDS+=($!)
export SPEECHD_ADDRESS=unix_socket:$WORK/speech.sock
wait_for 20 test -S "$WORK/speech.sock" || fail "no speech-dispatcher"

LOG=$WORK/orca.log
/usr/bin/python3 "$(dirname "$0")/orca_run.py" -d braille -u "$WORK/orca" --debug-file "$LOG" \
  >/dev/null 2>&1 &
PIDS+=($!)
MARK=0

# heard TEXT: waits until Orca has said TEXT (a grep pattern) since the last mark.
said() { tail -c +$((MARK + 1)) "$LOG" | grep -q "SPEECH OUTPUT: '.*$1"; }
heard() { wait_for 60 said "$1" || fail "Orca did not say '$1'; it said: $(spoken)"; }
spoken() { tail -c +$((MARK + 1)) "$LOG" | sed -n "s/.*SPEECH OUTPUT: '\([^']*\).*/\1/p" | tr '\n' '|'; }
mark() { MARK=$(stat -c %s "$LOG"); }
# keys KEY...: the operator presses them in the window in front; back in the main window
# once a dialog or box closed (there is no window manager to give it the focus).
keys() {
  mark
  [ -n "$(find_window "$BOX")$(find_window '^(PORT SET| LOAD)$')" ] ||
    xdotool windowfocus --sync "$MAIN_WIN" 2>/dev/null || true
  xdotool key --clearmodifiers "$@"
}

wait_for 60 test -s "$LOG" || fail "Orca did not start"
heard "Screen reader on"

touch "$WORK/run1.txt"
"$BUILD/logger-sim" --count=6 --laps >"$WORK/laps"
# Slow enough that the laps come over several seconds; COM2 is the chosen port.
start_sim --count=6 --pace=300
ln -s "$SIM_DEV" "$WORK/COM2"
printf '2\r\n"57600"\r\n"%s"\r\n' "$WORK" >"$WORK/PORT.DAT"
# Marked before the start: Orca may speak the window before wait_window sees it.
mark
start_program
MAIN_WIN=$(wait_window "$MAIN")
heard 'frame'

# "down load" from the record text; the focus comes back to it while the laps come.
keys Tab space
heard '!! Down load end !!'
laps=$(tail -c +$((MARK + 1)) "$LOG" | sed '/SPEECH OUTPUT: .!! Down load end/q')
groups=$(grep -c "TERMINAL: Insertion is believed" <<<"$laps")
[ "$groups" -ge 2 ] || fail "the laps were not spoken as they came: $(spoken)"
for lap in "$(head -n 1 "$WORK/laps")" "$(tail -n 1 "$WORK/laps")"; do
  grep -qF "$lap" <<<"$laps" || fail "lap '$lap' was not spoken: $(spoken)"
done
# Back in the record text, the line above the caret is the last lap, numbered.
box=$(find_window "$BOX")
press "$box" Return
wait_gone "$BOX"
keys Up
heard "$(tail -n 1 "$WORK/laps")"

keys Tab Tab space
heard 'com 2'
keys Tab
heard 'BPS'
keys Tab space
wait_gone '^PORT SET$'

keys Tab Tab space
heard 'Drive'
keys Tab
heard "$(basename "$WORK")"
keys Tab
heard 'run1.txt'
keys Tab
heard 'File name'
close_window "$(find_window '^ LOAD$')"
echo "PASS Orca: laps heard in $groups groups, the chosen port, BPS, the lists' items, File name"
