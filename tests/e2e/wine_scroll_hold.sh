#!/usr/bin/env bash
# The Windows program under Wine: the operator holds the record text's scroll arrow for
# 8 s during a paced download, longer than the watchdog's 6 s. Windows' own loop tracks
# the scroll bar meanwhile; every frame is still answered at once and the download ends.
# Usage: wine_scroll_hold.sh WIN-BUILD-DIR LINUX-BUILD-DIR
WIN_BUILD=$(cd "${1:?usage: $0 WIN-BUILD-DIR LINUX-BUILD-DIR}" && pwd)
. "$(dirname "$0")/lib.sh" "${2:?}"
. "$(dirname "$0")/../../tools/scripts/wine-prefix.sh"

PREFIX=$WIN_BUILD/wine/scroll
vl_wine_home "$WIN_BUILD/wine"
trap 'vl_wine_stop "$PREFIX"; cleanup' EXIT

start_xvfb
openbox --sm-disable >/dev/null 2>&1 &
PIDS+=($!)
LAPS=1000
start_sim --once --count=$LAPS --pace=19200 --log
SIM=${PIDS[-1]}
vl_wine_prefix "$WIN_BUILD/wine" scroll
export WINEPREFIX=$PREFIX
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$SIM_DEV" /f \
  </dev/null >/dev/null 2>&1 || fail "cannot map COM1"
vl_wine_stop "$PREFIX"
vl_wine_start "$PREFIX"
printf '1\r\n"19200"\r\n"Z:%s"\r\n' "${WORK//\//\\}" >"$WORK/PORT.DAT"
PROGRAM_BIN=wine start_program "$WIN_BUILD/vorbixloader.exe"
main=$(wait_window "$MAIN" 60)

click "$main" $(tw 120 120 1335 495)  # "down load"
sleep 2.5                             # the record text has lines to scroll by then
# The up arrow of the record text's vertical scroll bar: its top right corner.
xdotool mousemove --window "$main" $(((120 + 10095) / 15 - 10)) $((720 / 15 + 10)) mousedown 1
sleep 8
xdotool mouseup 1
box=$(wait_window "$BOX" 60)
press "$box" Return
# The logger ends after one whole download; it had every answer.
wait_for 10 bash -c "! kill -0 $SIM" || fail "the logger's download did not end"
oks=$(grep -c '^host: OK$' "$WORK/sim.err")
[ "$oks" = $((LAPS + 2)) ] || fail "$oks OK of $((LAPS + 2)): $(grep -v '^host: OK$' "$WORK/sim.err")"
close_window "$main"
wait_exit 30
echo "PASS under Wine: a held scroll arrow stops no reply"
