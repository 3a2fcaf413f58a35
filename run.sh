#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program against the built-in logger
# simulator: press "down load" and laps arrive. Everything lives in ./demo.
set -euo pipefail
cd "$(dirname "$0")"
. tools/scripts/deps.sh
vl_install_missing

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVL_GUI=ON -DVL_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)" --target vorbixloader logger-sim

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: run this on a desktop (or under xvfb-run to try it headless)." >&2
  exit 1
fi

demo="$PWD/demo"
mkdir -p "$demo"
build/logger-sim --count=40 >"$demo/logger-sim.out" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT

# The simulator's first line names the serial device it plays the logger on.
for _ in $(seq 100); do
  dev=$(head -n 1 "$demo/logger-sim.out" 2>/dev/null || true)
  [ -n "$dev" ] && break
  sleep 0.05
done
[ -n "$dev" ] || { echo "the logger simulator did not start" >&2; exit 1; }

ln -sfn "$dev" "$demo/COM1"
printf '1\r\n"57600"\r\n"%s"\r\n' "$demo" >"$demo/PORT.DAT"
echo "Logger simulator on $dev (COM1). Press \"down load\"."
cd "$demo"
../build/vorbixloader
