#!/usr/bin/env bash
# Runs a cross-built program under Wine (CMAKE_CROSSCOMPILING_EMULATOR). Given
# --gtest_output=xml:FILE, the verdict comes from that file: Wine cuts exit codes to 8
# bits and a crash can exit 0, but a finished GoogleTest run always writes its results.
set -u
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The home folder of the prefix's own (wine-prefix.sh), beside it.
if [ -n "${WINEPREFIX:-}" ]; then
    . "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh"
    vl_wine_home "$(dirname "$WINEPREFIX")"
fi
xml=
for a in "$@"; do
    case $a in --gtest_output=xml:*) xml=${a#--gtest_output=xml:} ;; esac
done
[ -n "$xml" ] && rm -f "$xml"
wine "$@"
rc=$?
[ -z "$xml" ] && exit $rc
if [ ! -s "$xml" ]; then
    echo "wine-run: no results in $xml (exit code $rc): the tests did not finish" >&2
    exit 1
fi
summary=$(grep -m1 -o '<testsuites [^>]*' "$xml")
count() { sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p" <<<"$summary"; }
tests=$(count tests) failures=$(count failures) errors=$(count errors)
echo "wine-run: $tests tests, $failures failed, $errors errors (exit code $rc)"
[ "${tests:-0}" -gt 0 ] && [ "$failures" = 0 ] && [ "$errors" = 0 ]
