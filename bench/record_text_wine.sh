#!/usr/bin/env bash
# The Windows record text's cost under Wine on a private Xvfb: the memory of a restore
# and of a 1,000,000-record load, then our view and the multi-line EDIT it replaced, each
# listing RECORDS records (default 10,000) through setSelText.
# Usage: bench/record_text_wine.sh [RECORDS] [EDIT-RECORDS]; needs build-win/.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/scripts/wine-prefix.sh
records=${1:-10000}
edit_records=${2:-$records}
dir=$(mktemp -d)
pid=
cleanup() {
  vl_wine_stop "$PWD/build-win/wine/bench"
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" 2>/dev/null &
pid=$!
for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$dir/display")
vl_wine_prefix "$PWD/build-win/wine" bench
export WINEPREFIX=$PWD/build-win/wine/bench
wine build-win/record_text_bench.exe restore </dev/null
wine build-win/record_text_bench.exe load </dev/null
wine build-win/record_text_bench.exe view "$records" </dev/null
wine build-win/record_text_bench.exe edit "$edit_records" </dev/null
