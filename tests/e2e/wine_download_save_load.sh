#!/usr/bin/env bash
# The Windows program under Wine on Xvfb with openbox: COM2 is the logger simulator's
# pty; download, save, load back, save again, the PORT dialog by keyboard (it opens on
# COM2 and gives the focus back to "PORT"), close with Alt+F4. Checks the files' bytes and
# PORT.DAT. The download meets two lines longer than the port's buffer (1,024 and 70,000
# bytes, each in one write): each is answered "ER" once, and the frame sent again after
# it "OK".
# Usage: wine_download_save_load.sh WIN-BUILD-DIR LINUX-BUILD-DIR [PNG]
WIN_BUILD=$(cd "${1:?usage: $0 WIN-BUILD-DIR LINUX-BUILD-DIR [PNG]}" && pwd)
SHOT=${3:-}
. "$(dirname "$0")/lib.sh" "${2:?}"
. "$(dirname "$0")/../../tools/scripts/wine-prefix.sh"

PREFIX=$WIN_BUILD/wine/e2e
vl_wine_home "$WIN_BUILD/wine"  # also for the window manager
trap 'vl_wine_stop "$PREFIX"; cleanup' EXIT

start_xvfb
openbox --sm-disable >/dev/null 2>&1 &
PIDS+=($!)
start_sim --count=5 --long-line=1:1024,3:70000 --log

# Wine makes its COM2 from this key when its server starts; a link made by hand in
# dosdevices would be overwritten then.
vl_wine_prefix "$WIN_BUILD/wine" e2e
export WINEPREFIX=$PREFIX
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /d "$SIM_DEV" /f \
  </dev/null >/dev/null 2>&1 || fail "cannot map COM2"
vl_wine_stop "$PREFIX"
vl_wine_start "$PREFIX"

# The scratch folder as Windows sees it: drive Z: is the root.
folder="Z:${WORK//\//\\}"
printf '2\r\n"57600"\r\n"%s"\r\n' "$folder" >"$WORK/PORT.DAT"
cp "$WORK/PORT.DAT" "$WORK/PORT.DAT.before"
PROGRAM_BIN=wine start_program "$WIN_BUILD/vorbixloader.exe"
main=$(wait_window "$MAIN" 60)
download "$main"
replies=$(sed -n 's/^host: //p' "$WORK/sim.err" | tr '\n' ' ')
[ "$replies" = "<CR> DOWN OK ER OK OK ER OK OK OK OK " ] || fail "the host's lines: $replies"

save_load_save "$main"
[ -z "$(ls "$WORK" | grep -i '\.tmp$')" ] || fail "a temporary file was left: $(ls "$WORK")"

if [ -n "$SHOT" ]; then
  click "$main" 300 120  # the caret in the record text, as an operator would place it
  # The window manager's frame around it, title bar included.
  frame=$(xwininfo -id "$main" -tree | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p')
  import -window "$frame" "$SHOT"
fi

# As on Linux, the group of options is one Tab stop, entered at COM2: the keys there
# leave the choice as it was, which PORT.DAT shows.
keyboard_walk "$main" 2

press "$main" alt+F4
wait_exit 30
cmp "$WORK/PORT.DAT" "$WORK/PORT.DAT.before" || fail "PORT.DAT: $(od -c "$WORK/PORT.DAT")"
echo "PASS under Wine: download, save, load, save, close"
