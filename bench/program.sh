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
#   BENCH_REPEAT downloads of each kind, floors and program in turn (default 3)
#   BENCH_WINE   a Windows build (build-win): measures its vorbixloader.exe under Wine
#                instead, in a prefix of its own with openbox on the Xvfb and COM1 mapped
#                to the simulator's pty (default cases "full:10000 paced:500"). Beside it
#                two floors under the same Wine: floor-poll (a synchronous handle read in a
#                loop: the lowest latency, a core burnt) and floor-event (one pending
#                one-byte read and a drain: the least an event-driven program pays). CPU
#                counts the Wine server's share too.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tools/scripts/session.sh" "${1:-$here/../build}"

WIN=${BENCH_WINE:+$(cd "$BENCH_WINE" && pwd)}
if [ -n "$WIN" ]; then
  CASES=${BENCH_CASES:-"full:10000 paced:500"}
  FLOORS="poll event"
  tools="logger-sim x_window"
  for tool in vorbixloader floor-poll floor-event; do
    [ -f "$WIN/$tool.exe" ] || fail "$WIN/$tool.exe is missing: cmake --build $WIN"
  done
else
  CASES=${BENCH_CASES:-"full:10000 full:100000 paced:500 load:100000"}
  FLOORS=floor
  tools="vorbixloader logger-sim floor-host x_settle x_window"
fi
REPEAT=${BENCH_REPEAT:-3}
LABEL=${BENCH_LABEL:-program}
PACE=57600
HZ=$(getconf CLK_TCK)
for tool in $tools; do
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

# server_cpu_s: CPU time of the Wine server so far (0 without Wine).
server_cpu_s() { if [ -n "$WIN" ]; then cpu_s "$SERVER"; else echo 0; fi; }

# wine_setup: a prefix of our own whose COM1 is $WORK/com1, a link each download points
# at its simulator's pty (the server reads the mapping once, as it starts); openbox on
# the Xvfb, as the operator has a window manager. Sets SERVER, the server's pid.
wine_setup() {
  . "$here/../tools/scripts/wine-prefix.sh"
  PREFIX=$WIN/wine/bench
  trap 'vl_wine_stop "$PREFIX"; cleanup' EXIT
  openbox --sm-disable >/dev/null 2>&1 &
  PIDS+=($!)
  vl_wine_prefix "$WIN/wine" bench || fail "no Wine prefix"
  export WINEPREFIX=$PREFIX
  wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$WORK/com1" /f \
    </dev/null >/dev/null 2>&1 || fail "cannot map COM1"
  vl_wine_stop "$PREFIX"
  vl_wine_start "$PREFIX"
  local p
  for p in /proc/[0-9]*; do
    case $(cat "$p/comm" 2>/dev/null) in wineserver*) ;; *) continue ;; esac
    tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$PREFIX" && SERVER=${p#/proc/}
  done
  [ -n "${SERVER:-}" ] || fail "the Wine server of $PREFIX was not found"
}

# floor_run NAME COUNT: one download answered by floor NAME; appends its figures.
floor_run() {
  local floor cpu=0 server0
  server0=$(server_cpu_s)
  if [ -n "$WIN" ]; then
    ln -sfn "$SIM_DEV" "$WORK/com1"
    wine "$WIN/floor-$1.exe" </dev/null >"$WORK/floor.out" 2>"$WORK/floor.err" &
  else
    "$BUILD/floor-host" "$SIM_DEV" &
  fi
  floor=$!
  PIDS+=("$floor")
  local figures
  figures=$(sim_figures "$2" "$name.$1" "$floor")
  wait "$SIM_PID" 2>/dev/null || true
  # The line is gone: the floor ends and tells its CPU time.
  wait_for 10 bash -c "! kill -0 $floor" || kill "$floor" 2>/dev/null
  wait "$floor" 2>/dev/null || true
  [ -n "$WIN" ] && cpu=$(awk '/^cpu_s/ { print $2 }' "$WORK/floor.out")
  echo "$figures ${cpu:-0} $(awk '/^downloads/ { print $6 }' "$WORK/$name.$1.sim")" \
    "$(awk -v a="$(server_cpu_s)" -v b="$server0" 'BEGIN { printf "%.3f\n", a - b }')" \
    >>"$WORK/$name.$1.all"
}

# program_start: a fresh working folder with COM1 -> $SIM_DEV and PORT.DAT, the program
# in it; sets PROGRAM, MAIN_WIN, RUN_DIR.
program_start() {
  RUN_DIR=$(mktemp -d "$WORK/run.XXXX")
  local folder=$RUN_DIR program=("$BUILD/vorbixloader")
  if [ -n "$WIN" ]; then
    ln -sfn "$SIM_DEV" "$WORK/com1"
    folder="Z:${RUN_DIR//\//\\}"  # drive Z: is the root
    program=(wine "$WIN/vorbixloader.exe")
  else
    ln -s "$SIM_DEV" "$RUN_DIR/COM1"
  fi
  printf '1\r\n"57600"\r\n"%s"\r\n' "$folder" >"$RUN_DIR/PORT.DAT"
  if [ -n "${BENCH_SETUP:-}" ]; then (cd "$RUN_DIR" && eval "$BENCH_SETUP"); fi
  (cd "$RUN_DIR" && exec "${program[@]}") </dev/null >"$WORK/program.out" 2>"$WORK/program.err" &
  PROGRAM=$!
  PIDS+=("$PROGRAM")
  MAIN_WIN=$(wait_window "$MAIN" 120)
  sleep 0.5  # let start-up settle before the CPU count starts
}

program_stop() {
  close_window "$MAIN_WIN"
  wait_exit 15
}

row() { printf '%-8s %-16s' "$LABEL" "$1"; shift; printf ' %14s' "$@"; printf '\n'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f\n", a / b; else print "-" }'; }

# median FILE COLUMN: the median of one column of numbers.
median() {
  awk -v c="$2" '{ print $c }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# figure_row NAME LABEL PROGRAM-COLUMN FLOOR-COLUMN: medians of the program and each
# floor, then the program's ratio to each floor.
figure_row() {
  local name=$1 label=$2 pc=$3 fc=$4 f p values=() ratios=()
  p=$(median "$WORK/$name.program.all" "$pc")
  for f in $FLOORS; do
    values+=("$(median "$WORK/$name.$f.all" "$fc")")
    ratios+=("$(ratio "$p" "${values[-1]}")")
  done
  row "$label" "$p" "${values[@]}" "${ratios[@]}"
}

# per_byte FILE CPU-COLUMN BYTES-COLUMN [SERVER-COLUMN]: median CPU microseconds per
# received byte.
per_byte() {
  awk -v c="$2" -v b="$3" -v s="${4:-0}" '$b > 0 { print ($c + (s ? $s : 0)) * 1e6 / $b }' "$1" |
    sort -g | awk '{ v[NR] = $1 } END { if (NR) printf "%.2f\n", v[int((NR + 1) / 2)]; else print "-" }'
}

# download_case MODE COUNT: the floor and the program in turn, REPEAT times each, so
# both meet the same spells of load; medians are printed.
download_case() {
  local mode=$1 count=$2 args=("--count=$2") name="$1-$2" r
  [ "$mode" = paced ] && args+=("--pace=$PACE")
  : >"$WORK/$name.program.all"
  local f
  for f in $FLOORS; do : >"$WORK/$name.$f.all"; done
  for ((r = 1; r <= REPEAT; r++)); do
    # Each floor, on its own pty.
    for f in $FLOORS; do
      sim_run "$name.$f" "${args[@]}"
      floor_run "$f" "$count"
    done

    # The program, pressed as an operator does.
    sim_run "$name" "${args[@]}"
    program_start
    local cpu0 server0
    cpu0=$(cpu_s "$PROGRAM")
    server0=$(server_cpu_s)
    click "$MAIN_WIN" $(tw 120 120 1335 495)
    local box
    box=$(wait_window "$BOX" 900)
    local figures cpu server
    figures=$(sim_figures "$count" "$name" "$PROGRAM")
    cpu=$(awk -v a="$(cpu_s "$PROGRAM")" -v b="$cpu0" 'BEGIN { printf "%.3f\n", a - b }')
    server=$(awk -v a="$(server_cpu_s)" -v b="$server0" 'BEGIN { printf "%.3f\n", a - b }')
    echo "$figures $cpu $(mem_mb "$PROGRAM" VmRSS) $(mem_mb "$PROGRAM" VmHWM)" \
      "$(awk '/^downloads/ { print $6 }' "$WORK/$name.sim") $server" >>"$WORK/$name.program.all"
    press "$box" Return
    wait_gone "$BOX"
    wait "$SIM_PID" 2>/dev/null || true
    program_stop
  done

  local P=$WORK/$name.program.all ratios=()
  for f in $FLOORS; do ratios+=("ratio/$f"); done
  echo "== $mode download, $count records$([ "$mode" = paced ] && echo " at $PACE bit/s")," \
    "median of $REPEAT"
  row figure program $FLOORS "${ratios[@]}"
  figure_row "$name" "records/s" 1 1
  figure_row "$name" "total ms" 4 4
  figure_row "$name" "reply p50 us" 2 2
  figure_row "$name" "reply p99 us" 3 3
  row "program CPU s" "$(median "$P" 5)"
  if [ -n "$WIN" ]; then
    # Wine's server does part of every call's work; counted with the program and floors.
    row "server CPU s" "$(median "$P" 9)"
    row "CPU us/byte in" "$(per_byte "$P" 5 8 9)" \
      $(for f in $FLOORS; do per_byte "$WORK/$name.$f.all" 5 6 7; done)
  else
    row "CPU us/byte in" "$(per_byte "$P" 5 8)"
  fi
  row "RSS MB (peak)" "$(median "$P" 6) ($(median "$P" 7))"
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
[ -n "$WIN" ] && wine_setup
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at start"
for c in $CASES; do
  case ${c%%:*} in
    full | paced) download_case "${c%%:*}" "${c#*:}" ;;
    load) load_case "${c#*:}" ;;
    *) fail "unknown case $c" ;;
  esac
done
echo "machine: load average $(cut -d' ' -f1-3 /proc/loadavg) at end"
