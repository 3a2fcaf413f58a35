#!/usr/bin/env bash
# Renders docs/main-window.png: the main window after a download from the simulator,
# under a private Xvfb; with a Windows build in build-win/, also
# docs/windows-main-window.png, the same under Wine. Usage: screenshot.sh [BUILD-DIR]
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/scripts/deps.sh"
vl_install_missing imagemagick x11-utils
. "$root/tests/e2e/lib.sh" "${1:-$root/build}"

start_xvfb
start_with_settings --count=30
main=$MAIN_WIN
download "$main"
click "$main" 300 120  # place the caret in the record text, as an operator would
import -window "$main" "$root/docs/main-window.png"
close_window "$main"
wait_exit 15
echo "wrote docs/main-window.png"
if [ -x "$root/build-win/vorbixloader.exe" ]; then
  bash "$root/tests/e2e/wine_download_save_load.sh" "$root/build-win" "$BUILD" \
    "$root/docs/windows-main-window.png"
  echo "wrote docs/windows-main-window.png"
fi
