#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the main build (unit, window,
# integration and end-to-end tests), the Debian package (built, checked, tried out), the
# Windows program (cross-built, its unit tests and an end-to-end download under Wine, its
# installer), the unit and integration tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
. tools/scripts/deps.sh
vl_install_missing

jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVL_GUI=ON -DVL_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The Debian package, checked and tried out unpacked.
rm -rf build/package
cpack --config build/CPackConfig.cmake -G DEB -B build/package >/dev/null
bash tests/e2e/package.sh build build/package/vorbixloader_*_amd64.deb

# The end-to-end run under Wine plays the logger with the main build's simulator.
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVL_HOST_BUILD="$PWD/build" >/dev/null
cmake --build build-win -j"$jobs"
ctest --test-dir build-win --output-on-failure -j"$jobs"
(cd build-win && cpack >/dev/null)
ls build-win/VorbixLoader-*-win64.exe build-win/VorbixLoader-*-win64.zip

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVL_SANITIZE=ON -DVL_GUI=OFF -DVL_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs" -L 'unit|integration'

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVL_FUZZ=ON \
  -DVL_GUI=OFF -DVL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_all
# Briefly each (fuzz/long.sh runs them for long): a found fault fails the run.
while read -r f; do
  echo "== $f"
  build-fuzz/$f -runs=2000000 -max_total_time=10 -artifact_prefix=build-fuzz/ </dev/null 2>&1 |
    tail -n 1
done <build-fuzz/fuzz_targets.txt
