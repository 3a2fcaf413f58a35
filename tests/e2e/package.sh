#!/usr/bin/env bash
# The Debian package: lintian finds no errors, its menu entry and metainfo validate, and
# the program unpacked from it, started as the menu entry starts it, downloads from the
# logger. Usage: package.sh BUILD-DIR PACKAGE.deb
. "$(dirname "$0")/lib.sh"
DEB=$(cd "$(dirname "${2:?usage: package.sh BUILD-DIR PACKAGE.deb}")" && pwd)/$(basename "$2")

lintian --fail-on error "$DEB" >"$WORK/lintian.out" 2>&1 || fail "lintian: $(cat "$WORK/lintian.out")"
depends=$(dpkg-deb -f "$DEB" Depends)
for d in fonts-liberation qt6-qpa-plugins libqt6widgets6 libc6; do
  [[ ", $depends," == *", $d"[\ ,]* ]] || fail "Depends lacks $d: $depends"
done

ROOT=$WORK/root
dpkg-deb -x "$DEB" "$ROOT"
desktop=$(echo "$ROOT"/usr/share/applications/*.desktop)
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$ROOT"/usr/share/metainfo/*.metainfo.xml >"$WORK/appstream.out" ||
  fail "appstreamcli: $(cat "$WORK/appstream.out")"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for f in scalable/apps/$icon.svg 16x16/apps/$icon.png 256x256/apps/$icon.png; do
  [ -s "$ROOT/usr/share/icons/hicolor/$f" ] || fail "no icon $f"
done
PROGRAM_BIN=$ROOT/usr/bin/vorbixloader
[ "$("$PROGRAM_BIN" --version)" = "vorbixloader $(dpkg-deb -f "$DEB" Version)" ] ||
  fail "--version: $("$PROGRAM_BIN" --version)"

# Started as the menu entry starts it, from elsewhere: it works in the per-user folder.
read -r -a args <<<"$(sed -n 's/^Exec=vorbixloader//p' "$desktop")"
export XDG_DATA_HOME=$WORK/data
folder=$XDG_DATA_HOME/vorbixloader
mkdir -p "$folder" "$WORK/elsewhere"
start_xvfb
start_sim --count=4
ln -s "$SIM_DEV" "$folder/COM1"
printf '1\r\n"57600"\r\n"%s"\r\n' "$WORK" >"$folder/PORT.DAT"
PROGRAM_DIR=$WORK/elsewhere start_program "${args[@]}"
main=$(wait_window "$MAIN")
download "$main"
through_dialog "$main" 4920 SAVE laps
# Four laps and the line end the save adds.
[ "$(grep -c $'\r$' "$WORK/laps.txt" 2>/dev/null)" = 5 ] || fail "laps.txt: $(od -c "$WORK/laps.txt" | head)"
close_window "$main"
wait_exit 15
[ "$RC" = 0 ] || fail "exit status $RC"
echo "PASS package: lintian, desktop entry, metainfo, download from the unpacked program"
