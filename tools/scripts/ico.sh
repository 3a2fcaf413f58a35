#!/usr/bin/env bash
# Makes a Windows icon (.ico) of PNG images, each kept whole as Windows takes them since
# Vista: a directory of the images (6 bytes, then 16 a image), then the images.
#   ico.sh OUT.ico SIZE:IMAGE.png...
set -euo pipefail
out=$1
shift
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }
{
  le16 0; le16 1; le16 $#
  offset=$((6 + 16 * $#))
  for arg in "$@"; do
    size=${arg%%:*} bytes=$(stat -c %s "${arg#*:}")
    # 256 is written as 0; no palette, one plane, 32 bits a pixel.
    printf "\\x$(printf %02x $((size & 255)))\\x$(printf %02x $((size & 255)))\\x00\\x00"
    le16 1; le16 32; le32 "$bytes"; le32 "$offset"
    offset=$((offset + bytes))
  done
  for arg in "$@"; do cat "${arg#*:}"; done
} >"$out"
