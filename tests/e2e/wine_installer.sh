#!/usr/bin/env bash
# The Windows installer under Wine, in a prefix of its own, on Xvfb with openbox:
# - a silent install puts the program and LICENSE in Program Files (the 64-bit one), the
#   uninstall entry in the registry's 64-bit view and a Start-menu entry that starts the
#   program with --from-menu; the program and the installer carry an icon and a version;
# - started as that entry starts it, the program works in %LOCALAPPDATA%\VorbixLoader, which it
#   makes, and its first SAVE offers the Documents folder where the shell has it (moved
#   here, as to a share); the PORT dialog is in one colour behind its controls, at 96 and
#   at 144 DPI;
# - started in its own folder, as Explorer starts it on a double-click, it works in that
#   same user folder;
# - while the program runs, a silent install stops without touching it;
# - a silent uninstall leaves nothing in Program Files, removes the entry, the uninstall
#   key and the vendor's key, and keeps the user's folder with PORT.DAT.
# Usage: wine_installer.sh WIN-BUILD-DIR LINUX-BUILD-DIR [PNG of the PORT dialog]
WIN_BUILD=$(cd "${1:?usage: $0 WIN-BUILD-DIR LINUX-BUILD-DIR [PNG]}" && pwd)
SHOT=${3:-}
. "$(dirname "$0")/lib.sh" "${2:?}"
. "$(dirname "$0")/../../tools/scripts/wine-prefix.sh"
# No menu entries for this machine's desktop from the shortcuts made in the prefix.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

PREFIX=$WIN_BUILD/wine/installer
vl_wine_home "$WIN_BUILD/wine"  # also for the window manager
trap 'vl_wine_stop "$PREFIX"; cleanup' EXIT

# The installer as cpack makes it, made here so the test needs nothing made after it.
cpack --config "$WIN_BUILD/CPackConfig.cmake" -G NSIS -B "$WORK/package" >"$WORK/cpack.out" 2>&1 ||
  fail "cpack: $(tail -n 20 "$WORK/cpack.out")"
installer=$(ls "$WORK"/package/VorbixLoader-*-win64.exe)

start_xvfb
openbox --sm-disable >/dev/null 2>&1 &
PIDS+=($!)
start_sim --count=3

# Windows paths of this machine's folders: drive Z: is the root.
win() { local p=${1//\//\\}; echo "Z:$p"; }
mkdir "$WORK/docs"
vl_wine_prefix "$WIN_BUILD/wine" installer
export WINEPREFIX=$PREFIX
reg() { wine reg "$@" </dev/null 2>/dev/null | tr -d '\r'; }
reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$SIM_DEV" /f >/dev/null || fail "cannot map COM1"
reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
  /v Personal /t REG_EXPAND_SZ /d "$(win "$WORK/docs")" /f >/dev/null || fail "cannot move Documents"
vl_wine_stop "$PREFIX"
vl_wine_start "$PREFIX"

wine "$installer" /S </dev/null >/dev/null 2>&1 || fail "the silent install failed"
c=$PREFIX/drive_c
dir="$c/Program Files/VorbixLoader"
cmp "$dir/vorbixloader.exe" "$WIN_BUILD/vorbixloader.exe" || fail "no program in $(ls "$c/Program Files")"
cmp "$dir/LICENSE" "$(dirname "$0")/../../LICENSE" || fail "no LICENSE beside the program"
for exe in "$dir/vorbixloader.exe" "$installer"; do
  res=$(x86_64-w64-mingw32-windres -i "$exe" -O rc 2>&1)
  grep -q RT_GROUP_ICON <<<"$res" && grep -q 'VALUE "FileVersion", "1.0.0"' <<<"$res" ||
    fail "no icon or version in $exe"
done
[ ! -e "$c/Program Files (x86)/VorbixLoader" ] || fail "installed in Program Files (x86)"
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\VorbixLoader'
reg query "HKLM\\$key" /v UninstallString /reg:64 | grep -qF '"C:\Program Files\VorbixLoader\Uninstall.exe"' ||
  fail "no uninstall entry in the 64-bit view: $(reg query "HKLM\\$key")"
! reg query "HKLM\\Software\\Wow6432Node\\${key#Software\\}" >/dev/null || fail "an uninstall entry in the 32-bit view"

lnk=$(find "$c/ProgramData" "$c/users" -name VorbixLoader.lnk -path '*Start Menu*' | head -n 1)
[ -n "$lnk" ] || fail "no Start-menu entry"
# A shell link holds its target's path in the system's code page and its arguments in
# UTF-16, each a string of its own.
target='C:\Program Files\VorbixLoader\vorbixloader.exe'
strings "$lnk" | grep -qF "$target" && strings -e l "$lnk" | grep -qx -- --from-menu ||
  fail "the Start-menu entry runs: $(strings "$lnk"; strings -e l "$lnk")"

# twips X Y [DPI]: the pixel at (X, Y) twips in a window at that DPI.
px() { echo "$(($1 * ${3:-96} / 1440)),$(($2 * ${3:-96} / 1440))"; }
# The PORT dialog's background, then inside the frame: an empty part, the gap between two
# rows of ports, the foot of "com 5" below its caption.
check_port_colours() {
  local d=$1 dpi=$2 colours WIDTH
  eval "$(xdotool getwindowgeometry --shell "$d" | grep "^WIDTH=")"
  [ "$WIDTH" = $((3360 * dpi / 1440)) ] || fail "the PORT dialog at $dpi DPI is $WIDTH pixels wide"
  colours=$("$BUILD/x_window" pixels "$d" $(px 2000 2600 "$dpi") $(px 720 2020 "$dpi") \
    $(px 820 660 "$dpi") $(px 1760 970 "$dpi") | sort -u)
  [ "$(wc -l <<<"$colours")" = 1 ] && [ "$colours" != 000000 ] ||
    fail "the PORT dialog at $dpi DPI is not one colour behind its controls: $colours"
}

# First start, as the Start-menu entry starts it: no PORT.DAT yet, so the PORT dialog comes
# first.
PROGRAM_BIN=wine start_program "$target" --from-menu
dialog=$(wait_window '^PORT SET$' 60)
check_port_colours "$dialog" 96
if [ -n "$SHOT" ]; then
  frame=$(xwininfo -id "$dialog" -tree | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p')
  import -window "$frame" "$SHOT"
fi
click "$dialog" $(tw 120 2400 975 375)  # OK
main=$(wait_window "$MAIN" 60)
through_dialog "$main" 4920 SAVE run1
[ -f "$WORK/docs/run1.txt" ] || fail "the first SAVE did not offer Documents: $(ls -R "$WORK/docs")"
press "$main" alt+F4
wait_exit 30
[ "$RC" = 0 ] || fail "exit status $RC"
user=$(find "$c/users" -maxdepth 4 -path '*/AppData/Local/VorbixLoader' -type d | head -n 1)
[ -n "$user" ] && [ -f "$user/PORT.DAT" ] || fail "no PORT.DAT in %LOCALAPPDATA%\\VorbixLoader"
[ "$(sed -n 3p "$user/PORT.DAT")" = "\"$(win "$WORK/docs")\""$'\r' ] ||
  fail "PORT.DAT: $(od -c "$user/PORT.DAT")"

# Again at 144 DPI (150 %), started in its own folder: it finds PORT.DAT in the user
# folder, so the main window comes first; the PORT dialog opened from it.
reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
PROGRAM_DIR=$dir PROGRAM_BIN=wine start_program vorbixloader.exe
main=$(wait_window "$MAIN" 60)
click "$main" $(px 8587 307 144 | tr , ' ')  # PORT
dialog=$(wait_window '^PORT SET$')
check_port_colours "$dialog" 144
click "$dialog" $(px 607 2587 144 | tr , ' ')  # OK
wait_gone '^PORT SET$'
# While it runs, a silent install over it stops at the question to close it (the
# uninstaller asks the same), leaving the program.
! wine "$installer" /S </dev/null >/dev/null 2>&1 || fail "installed over the running program"
cmp "$dir/vorbixloader.exe" "$WIN_BUILD/vorbixloader.exe" || fail "the running program was touched"
press "$main" alt+F4
wait_exit 30
[ ! -e "$dir/PORT.DAT" ] || fail "PORT.DAT written in Program Files"

# The uninstaller runs from a copy of itself and returns at once: wait for its work.
wine "C:\\Program Files\\VorbixLoader\\Uninstall.exe" /S </dev/null >/dev/null 2>&1 ||
  fail "the silent uninstall failed"
wait_for 60 test ! -e "$dir" || fail "left in Program Files: $(ls -R "$dir")"
wait_for 30 bash -c "! wine reg query 'HKLM\\$key' </dev/null >/dev/null 2>&1" ||
  fail "the uninstall entry stayed"
[ -z "$(find "$c/ProgramData" "$c/users" -name VorbixLoader.lnk)" ] || fail "the Start-menu entry stayed"
! reg query 'HKLM\Software\The VorbixLoader developers' /reg:64 >/dev/null || fail "the vendor's key stayed"
[ -f "$user/PORT.DAT" ] || fail "the uninstall removed the user's PORT.DAT"
echo "PASS under Wine: install, start from the Start menu, uninstall"
