# The end-to-end tests' steps: the operator's session (tools/scripts/session.sh) and the
# checks several tests share.
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/scripts/session.sh" "$@"

# save_load_save WINDOW: saves the five downloaded laps as run1, loads run1 back and saves
# it as run2; checks both files' bytes.
save_load_save() {
  through_dialog "$1" 4920 SAVE run1
  [ -f "$WORK/run1.txt" ] || fail "run1.txt was not saved"
  # Five laps, each ended by CR LF, and the CR LF the save adds.
  [ "$(grep -c $'\r$' "$WORK/run1.txt")" = 6 ] || fail "run1.txt: $(od -c "$WORK/run1.txt" | head)"
  [ "$(tail -c 4 "$WORK/run1.txt" | od -An -c | tr -d ' ')" = '\r\n\r\n' ] || fail "run1.txt ending"
  through_dialog "$1" 6120 LOAD run1
  through_dialog "$1" 4920 SAVE run2
  # Loading keeps the empty last line; saving adds one more line end.
  cmp "$WORK/run2.txt" <(cat "$WORK/run1.txt"; printf '\r\n') || fail "run2.txt is not run1.txt plus CR LF"
}

# keyboard_walk WINDOW TABS: the operator without a mouse. From the record text, Tab twice
# reaches "PORT" and Space opens its dialog at the chosen option, where Return and Escape
# close nothing and Right and Left move the choice and back; TABS Tabs pass the rest of the
# options and the speed to "OK", whose Space closes the dialog. The focus is then back on
# "PORT": Space opens the dialog again, closed the same way.
keyboard_walk() {
  click "$1" 300 120  # the caret into the record text
  press "$1" Tab Tab
  local d round tabs=() i
  for ((i = 0; i < $2; i++)); do tabs+=(Tab); done
  for round in 1 2; do
    press "$1" space
    d=$(wait_window '^PORT SET$')
    press "$d" Return Escape
    sleep 0.5
    [ -n "$(find_window '^PORT SET$')" ] || fail "Return or Escape closed the PORT dialog"
    press "$d" Right Left
    press "$d" "${tabs[@]}" space
    wait_gone '^PORT SET$'
  done
}
