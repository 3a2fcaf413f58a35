#!/usr/bin/env bash
# Renders the program's PNG icons from its SVG (packaging/icons/); the PNGs are kept in
# the tree so that the build needs no renderer. Run after changing the SVG.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/scripts/deps.sh"
vl_install_missing librsvg2-bin
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$root/packaging/icons/vorbixloader.svg" \
    -o "$root/packaging/icons/vorbixloader-$size.png"
done
