#!/usr/bin/env bash
# Renders the README's pictures under a private Xvfb: docs/main-window.png, the main
# window after a download from the simulator; docs/port-device-menu.png, the PORT dialog's
# device menu with two USB adapters plugged in (needs root); with a Windows build in
# build-win/, also docs/windows-main-window.png, the same under Wine, and
# docs/windows-port-dialog.png, its PORT dialog on the first start from the Start menu.
# Usage: tools/scripts/screenshot.sh [BUILD-DIR]
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/scripts/deps.sh"
vl_install_missing imagemagick x11-utils
. "$root/tools/scripts/session.sh" "${1:-$root/build}"

start_xvfb
start_with_settings --count=30
main=$MAIN_WIN
download "$main"
click "$main" 300 120  # place the caret in the record text, as an operator would
import -window "$main" "$root/docs/main-window.png"
close_window "$main"
wait_exit 15
echo "wrote docs/main-window.png"

# The program sees a /dev of its own: an overlay in a private mount namespace that adds
# two adapters, so nothing on this machine changes. Without PORT.DAT the PORT dialog
# comes first.
mkdir -p "$WORK/upper" "$WORK/overlay-work" "$WORK/menu"
PROGRAM_DIR=$WORK/menu PROGRAM_BIN=unshare start_program -m sh -c '
  mount --make-rprivate / &&
  mount -t overlay overlay -o "lowerdir=/dev,upperdir=$1,workdir=$2" /dev &&
  mkdir -p /dev/serial/by-id && mknod /dev/ttyUSB0 c 188 0 && mknod /dev/ttyUSB1 c 188 1 &&
  ln -s ../../ttyUSB0 /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 &&
  ln -s ../../ttyUSB1 /dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0 &&
  exec "$3"' sh "$WORK/upper" "$WORK/overlay-work" "$BUILD/vorbixloader"
dialog=$(wait_window '^PORT SET$')
# Right-click "com 5": column 1, row 1 of the option buttons in the frame at (120, 120).
xdotool mousemove --window "$dialog" $(((120 + 1200 + 200) / 15)) $(((120 + 600 + 127) / 15)) click 3
sleep 1
# Only the dialog and its menu are on the otherwise black screen.
import -window root -trim +repage "$root/docs/port-device-menu.png"
echo "wrote docs/port-device-menu.png"

kill "$PROGRAM" 2>/dev/null || true
if [ -x "$root/build-win/vorbixloader.exe" ]; then
  bash "$root/tests/e2e/wine_download_save_load.sh" "$root/build-win" "$BUILD" \
    "$root/docs/windows-main-window.png"
  echo "wrote docs/windows-main-window.png"
  bash "$root/tests/e2e/wine_installer.sh" "$root/build-win" "$BUILD" \
    "$root/docs/windows-port-dialog.png"
  echo "wrote docs/windows-port-dialog.png"
fi
