#!/usr/bin/env bash
# Runs every fuzz target (or those named) for a number of runs or of minutes, one after
# the other, each on a corpus of its own kept in build-fuzz/corpus/, and prints a line
# per target: runs, executions per second, coverage, crashes.
#   fuzz/long.sh --runs=10000000 [TARGET...]
#   fuzz/long.sh --minutes=15 [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/scripts/deps.sh
vl_install_missing

limit=(-runs=10000000)
case "${1:-}" in
  --runs=*) limit=(-runs="${1#--runs=}"); shift ;;
  --minutes=*) limit=(-max_total_time=$((${1#--minutes=} * 60))); shift ;;
esac

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVL_FUZZ=ON \
  -DVL_GUI=OFF -DVL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_all
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets <build-fuzz/fuzz_targets.txt

printf '%-20s %12s %10s %8s %8s %s\n' target runs exec/s cov ft crashes
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  out=build-fuzz/findings/$t
  mkdir -p "$corpus" "$out"
  log=build-fuzz/findings/$t.log
  status=0
  build-fuzz/"$t" "${limit[@]}" -print_final_stats=1 -artifact_prefix="$out/" "$corpus" \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  crashes=$(find "$out" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  printf '%-20s %12s %10s %8s %8s %s\n' "$t" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" \
    "$crashes$([ "$status" = 0 ] || echo " (exit $status, see $log)")"
done
