#!/usr/bin/env bash
# The Windows window tests (window_tests.exe) need real top-level windows, which Wine
# makes only with a display: on a private Xvfb, in a Wine prefix started on it.
# Usage: window_tests.sh WIN-BUILD-DIR
WIN_BUILD=$(cd "${1:?usage: $0 WIN-BUILD-DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/scripts/session.sh" "$WIN_BUILD"
. "$here/../../tools/scripts/wine-prefix.sh"

PREFIX=$WIN_BUILD/wine/window
vl_wine_home "$WIN_BUILD/wine"
trap 'vl_wine_stop "$PREFIX"; cleanup' EXIT

start_xvfb
openbox --sm-disable >/dev/null 2>&1 &
PIDS+=($!)
vl_wine_prefix "$WIN_BUILD/wine" window
cd "$WORK"  # the results' file, named as Windows and Linux alike read it
WINEPREFIX=$PREFIX "$here/../../tools/scripts/wine-run.sh" "$WIN_BUILD/window_tests.exe" \
  --gtest_output=xml:window_tests.xml
