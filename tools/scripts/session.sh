# The operator's session, for the end-to-end tests and the whole-program benchmark: a
# private Xvfb, the logger simulator on a pty, the program in a scratch working folder,
# and xdotool to play the operator. Everything started here is stopped by pid when the
# script ends, also on failure.
set -euo pipefail

BUILD=${1:?usage: SCRIPT BUILD-DIR}
BUILD=$(cd "$BUILD" && pwd)
WORK=$(mktemp -d)
PIDS=()

cleanup() {
  local p
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$WORK/program.err" ] && sed 's/^/program: /' "$WORK/program.err" >&2
  exit 1
}

# Waits until `cmd...` succeeds, for at most $1 seconds.
wait_for() {
  local secs=$1
  shift
  local end=$((SECONDS + secs))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

# start_atspi: a private session bus and the accessibility bus with its registry, as a
# desktop with a screen reader has them; the program started after it serves AT-SPI.
start_atspi() {
  : >"$WORK/bus"
  dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$WORK/bus" 2>/dev/null &
  PIDS+=($!)
  wait_for 10 test -s "$WORK/bus" || fail "no session bus"
  export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$WORK/bus")
  # The launcher's own bus and the registry it starts are its children: stopped with it.
  /usr/libexec/at-spi-bus-launcher --launch-immediately 2>/dev/null &
  PIDS+=($!)
  wait_for 10 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress || fail "no accessibility bus"
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

# -noreset: by default the server resets when its last client leaves, and a client that
# connects during the reset (the program, while xdotool has just looked for its window)
# is refused.
start_xvfb() {
  : >"$WORK/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$WORK/display" 2>/dev/null &
  PIDS+=($!)
  wait_for 10 test -s "$WORK/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$WORK/display")"
}

# start_sim ARGS...: the simulator on a new pty; sets SIM_DEV.
start_sim() {
  "$BUILD/logger-sim" "$@" >"$WORK/sim.out" 2>"$WORK/sim.err" &
  PIDS+=($!)
  wait_for 10 test -s "$WORK/sim.out" || fail "logger-sim did not start"
  SIM_DEV=$(head -n 1 "$WORK/sim.out")
}

# start_program [ARGS...]: the program (PROGRAM_BIN, else the build's) in PROGRAM_DIR,
# else the scratch folder.
start_program() {
  (cd "${PROGRAM_DIR:-$WORK}" && exec "${PROGRAM_BIN:-$BUILD/vorbixloader}" "$@") \
    >"$WORK/program.out" 2>"$WORK/program.err" &
  PROGRAM=$!
  PIDS+=($PROGRAM)
}

# find_window TITLE-REGEX: the id of a visible window with that title.
find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }

wait_window() {
  local secs=${2:-15}
  wait_for "$secs" bash -c "xdotool search --onlyvisible --name '$1' | grep -q ." ||
    fail "no window '$1'"
  find_window "$1"
}

wait_gone() {
  wait_for "${2:-15}" bash -c "! xdotool search --onlyvisible --name '$1' | grep -q ." ||
    fail "window '$1' stayed"
}

# click WINDOW X Y (pixels in the window)
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.2
}

# press WINDOW KEY...
press() {
  local w=$1
  shift
  xdotool windowfocus --sync "$w" 2>/dev/null || true
  xdotool key --clearmodifiers "$@"
  sleep 0.2
}

type_text() {
  xdotool type --delay 20 "$1"
  sleep 0.2
}

close_window() { "$BUILD/x_window" close "$1"; }

# wait_exit SECONDS: the program ends by itself; returns its exit status in RC.
wait_exit() {
  wait_for "$1" bash -c "! kill -0 $PROGRAM" || fail "the program did not end"
  RC=0
  wait "$PROGRAM" || RC=$?
}

# Pixel centre of a control at twips (left, top, width, height).
tw() { echo $((($1 + $3 / 2) / 15)) $((($2 + $4 / 2) / 15)); }

MAIN='^ VorbixLoader  ver 1\.00$'
BOX='^VorbixLoader$'

# start_with_settings SIM-ARGS...: the simulator as COM1, a PORT.DAT naming it at 57600
# and the scratch folder, and the program; sets MAIN_WIN.
start_with_settings() {
  start_sim "$@"
  ln -s "$SIM_DEV" "$WORK/COM1"
  printf '1\r\n"57600"\r\n"%s"\r\n' "$WORK" >"$WORK/PORT.DAT"
  start_program
  MAIN_WIN=$(wait_window "$MAIN")
}

# download WINDOW: presses "down load" and dismisses the box that ends the download.
download() {
  click "$1" $(tw 120 120 1335 495)
  local box
  box=$(wait_window "$BOX" 20)
  press "$box" Return
  wait_gone "$BOX"
}

# through_dialog WINDOW LEFT CAPTION NAME: "file save" (LEFT 4920, CAPTION SAVE) or "file
# load" (6120, LOAD) of NAME in the folder the dialog opens at.
through_dialog() {
  click "$1" $(tw "$2" 120 1215 375)
  local d
  d=$(wait_window "^ $3\$")
  click "$d" $(tw 1080 3360 3975 270)  # the name box
  xdotool key ctrl+a
  type_text "$4"
  click "$d" $(tw 5280 3360 855 375)  # OK
  wait_gone "^ $3\$"
}
