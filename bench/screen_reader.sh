#!/usr/bin/env bash
# bench/program.sh with a screen reader listening: a private session bus, the AT-SPI
# registry, a client registered for what a screen reader follows (bench/atspi_listener.py),
# and the program started with accessibility on. Same arguments and environment as
# program.sh; its label defaults to "listened".
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tools/scripts/session.sh" "${1:-$here/../build}"

start_atspi
/usr/bin/python3 "$here/atspi_listener.py" >"$WORK/listener.out" 2>&1 &
LISTENER=$!
PIDS+=($LISTENER)
sleep 1  # registered before the program starts
BENCH_LABEL=${BENCH_LABEL:-listened} bash "$here/program.sh" "$BUILD" || fail "program.sh failed"
kill "$LISTENER"
wait "$LISTENER" 2>/dev/null || true
cat "$WORK/listener.out"
