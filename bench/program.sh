#!/usr/bin/env bash
# The program the operator runs, measured: build/vorbixloader in its window under a
# private Xvfb, COM1 linked to a pty played by logger-sim, "down load" pressed with
# xdotool. Beside each download, in the same run, the floor: floor-host, which answers
# "OK" at once to every frame on the same kind of pty. Figures are taken at the simulator
# (records/s, reply latency from a frame's CR to the reply's CR); the machine is shared,
# so the ratios to the floor are what to compare. Run by hand, not by test.sh.
#
#   bench/program.sh [BUILD-DIR]
#
# Environment:
#   BENCH_CASES  which cases, in order (default: "full:10000 full:100000 paced:500 load:100000")
#   BENCH_SETUP  a shell command run in the program's working folder before each start
#                (for example to switch on a feature whose cost is to be measured)
#   BENCH_LABEL  printed with every figure, to tell variants apart
#   BENCH_REPEAT downloads of each kind, floor and program in turn (default 3)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tools/scripts/session.sh" "${1:-$here/../build}"

CASES=${BENCH_CASES:-"full:10000 full:100000 paced:500 load:100000"}
REPEAT=${BENCH_REPEAT:-3}
LABEL=${BENCH_LABEL:-program}
PACE=57600
HZ=$(getconf CLK_TCK)
for tool in vorbixloader logger-sim floor-host x_settle x_close; do
  [ -x "$BUILD/$tool" ] || fail "$BUILD/$tool is missing: build with -DVL_GUI=ON -DVL_BENCH=ON"
done

# sim_run NAME SIM-ARGS...: starts logger-sim for one download; sets SIM_PID, SIM_DEV.
sim_run() {
  local name=$1
  shift
  rm -f "$WORK/$name.sim"  # a report of the last run must not be taken for this one's
  "$BUILD/logger-sim" --once --stats "$@" >"$WORK/$name.sim" 2>"$WORK/$name.sim.err" &
  SIM_PID=$!
  PIDS+=("$SIM_PID")
  wait_for 10 test -s "$WORK/$name.sim" || fail "logger-sim did not start"
  SIM_DEV=$(head -n 1 "$WORK/$name.sim")
}

# sim_figures COUNT NAME [HOST-PID]: "records_per_s p50_us p99_us total_ms" from the
# simulator's report, once the download is over (or the host is gone).
sim_figures() {
  local count=$1 name=$2 host=${3:-$$}
  wait_for 900 bash -c "grep -q '^download_ms' '$WORK/$name.sim' || ! kill -0 $host"
  grep -q '^download_ms' "$WORK/$name.sim" || fail "$name: the simulator reported no download"
  awk -v n="$count" '
    /^reply_us/ { p50 = $3; p99 = $5 }
    /^download_ms/ { ms = $3 }
    END { printf "%.0f %.1f %.1f %.1f\n", n / (ms / 1000), p50, p99, ms }' "$WORK/$name.sim"
}

# cpu_s PID: user + system CPU time of a process so far, in seconds.
cpu_s() { awk -v hz="$HZ" '{ printf "%.3f\n", ($14 + $15) / hz }' "/proc/$1/stat"; }
# mem_mb PID FIELD: VmRSS or VmHWM of a process, in MB.
mem_mb() { awk -v f="$2:" '$1 == f { printf "%.1f\n", $2 / 1024 }' "/proc/$1/status"; }

# program_start: a fresh working folder with COM1 -> $SIM_DEV and PORT.DAT, the program
# in it; sets PROGRAM, MAIN_WIN, RUN_DIR.
program_start() {
  RUN_DIR=$(mktemp -d "$WORK/run.XXXX")
  ln -s "$SIM_DEV" "$RUN_DIR/COM1"
  printf '1\r\n"57600"\r\n"%s"\r\n' "$RUN_DIR" >"$RUN_DIR/PORT.DAT"
  if [ -n "${BENCH_SETUP:-}" ]; then (cd "$RUN_DIR" && eval "$BENCH_SETUP"); fi
  (cd "$RUN_DIR" && exec "$BUILD/vorbixloader") >"$WORK/program.out" 2>"$WORK/program.err" &
  PROGRAM=$!
  PIDS+=("$PROGRAM")
  MAIN_WIN=$(wait_window "$MAIN")
  sleep 0.5  # let start-up settle before the CPU count starts
}

program_stop() {
  close_window "$MAIN_WIN"
  wait_exit 15
}

row() { printf '%-8s %-22s %12s %12s %8s\n' "$LABEL" "$1" "$2" "$3" "$4"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f\n", a / b; else print "-" }'; }

# median FILE COLUMN: the median of one column of numbers.
median() {
  awk -v c="$2" '{ print $c }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# download_case MODE COUNT: the floor and the program in turn, REPEAT times each, so
# both meet the same spells of load; medians are printed.
download_case() {
  local mode=$1 count=$2 args=("--count=$2") name="$1-$2" r
  [ "$mode" = paced ] && args+=("--pace=$PACE")
  : >"$WORK/$name.floor.all"
  : >"$WORK/$name.program.all"
  for ((r = 1; r <= REPEAT; r++)); do
    # The floor, on its own pty.
    sim_run "$name.floor" "${args[@]}"
    "$BUILD/floor-host" "$SIM_DEV" &
    local floor=$!
    PIDS+=("$floor")
    sim_figures "$count" "$name.floor" "$floor" >>"$WORK/$name.floor.all"
    wait "$floor" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true

    # The program, pressed as an operator does.
    sim_run "$name" "${args[@]}"
    program_start
    local cpu0
    cpu0=$(cpu_s "$PROGRAM")
    click "$MAIN_WIN" $(tw 120 120 1335 495)
    local box
    box=$(wait_window "$BOX" 900)
    local figures cpu
    figures=$(sim_figures "$count" "$name" "$PROGRAM")
    cpu=$(awk -v a="$(cpu_s "$PROGRAM")" -v b="$cpu0" 'BEGIN { printf "%.3f\n", a - b }')
    echo "$figures $cpu $(mem_mb "$PROGRAM" VmRSS) $(mem_mb "$PROGRAM" VmHWM)" \
      "$(awk '/^downloads/ { print $6 }' "$WORK/$name.sim")" >>"$WORK/$name.program.all"
    press "$box" Return
    wait_gone "$BOX"
    wait "$SIM_PID" 2>/dev/null || true
    program_stop
  done

  local P=$WORK/$name.program.all F=$WORK/$name.floor.all
  echo "== $mode download, $count records$([ "$mode" = paced ] && echo " at $PACE bit/s")," \
    "median of $REPEAT"
  row figure program floor ratio
  row "records/s" "$(median "$P" 1)" "$(median "$F" 1)" "$(ratio "$(median "$P" 1)" "$(median "$F" 1)")"
  row "total ms" "$(median "$P" 4)" "$(median "$F" 4)" "$(ratio "$(median "$P" 4)" "$(median "$F" 4)")"
  row "reply p50 us" "$(median "$P" 2)" "$(median "$F" 2)" "$(ratio "$(median "$P" 2)" "$(median "$F" 2)")"
  row "reply p99 us" "$(median "$P" 3)" "$(median "$F" 3)" "$(ratio "$(median "$P" 3)" "$(median "$F" 3)")"
  row "program CPU s" "$(median "$P" 5)" "" ""
  row "CPU us/byte in" "$(awk '{ print $5 * 1e6 / $8 }' "$P" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f\n", v[int((NR + 1) / 2)] }')" "" ""
  row "RSS MB (peak)" "$(median "$P" 6) ($(median "$P" 7))" "" ""
}

# load_case COUNT: "file load" of a COUNT-record file, from the click on OK in the LOAD
# dialog until the window last changed (the last record on screen).
load_case() {
  local count=$1 name=load-$1
  sim_run "$name" --count=1  # the program wants its port; nothing is downloaded
  program_start
  awk -v n="$count" 'BEGIN { for (i = 1; i <= n; i++)
    printf "%03d  %d:%02d.%03d\r\n", (i - 1) % 300 + 1, 1 + i % 2, i % 60, i % 1000 }' \
    >"$RUN_DIR/laps.txt"
  local cpu0
  cpu0=$(cpu_s "$PROGRAM")
  click "$MAIN_WIN" $(tw 6120 120 1215 375)
  local d
  d=$(wait_window '^ LOAD$')
  click "$d" $(tw 1080 3360 3975 270)
  xdotool key ctrl+a
  type_text laps
  local settled=$WORK/$name.settle
  "$BUILD/x_settle" "$MAIN_WIN" 3000 >"$settled" &
  local watcher=$!
  PIDS+=("$watcher")
  wait_for 10 test -s "$settled" || fail "x_settle did not start"
  local t0
  t0=$(date +%s%N)
  xdotool mousemove --window "$d" $(tw 5280 3360 855 375) click 1
  wait "$watcher" || fail "x_settle failed"
  local shown_ms
  shown_ms=$(awk -v t0="$t0" 'NR == 2 { printf "%.0f\n", ($1 - t0) / 1e6 }' "$settled")
  local cpu rss hwm
  cpu=$(awk -v a="$(cpu_s "$PROGRAM")" -v b="$cpu0" 'BEGIN { printf "%.3f\n", a - b }')
  rss=$(mem_mb "$PROGRAM" VmRSS)
  hwm=$(mem_mb "$PROGRAM" VmHWM)
  program_stop
  kill "$SIM_PID" 2>/dev/null || true
  wait "$SIM_PID" 2>/dev/null || true

  echo "== file load, $count records ($(wc -c <"$RUN_DIR/laps.txt") bytes)"
  row "shown after ms" "$shown_ms" "" ""
  row "program CPU s" "$cpu" "" ""
  row "RSS MB (peak)" "$rss ($hwm)" "" ""
}

start_xvfb
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at start"
for c in $CASES; do
  case ${c%%:*} in
    full | paced) download_case "${c%%:*}" "${c#*:}" ;;
    load) load_case "${c#*:}" ;;
    *) fail "unknown case $c" ;;
  esac
done
echo "machine: load average $(cut -d' ' -f1-3 /proc/loadavg) at end"
