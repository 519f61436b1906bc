#!/usr/bin/env bash
# Draws the SVG icon as a Windows icon file: PNG images of 16, 32, 48 and 256 pixels in one ICO
# (Windows Vista and later read PNG entries). Qt's SVG module is not built for Windows here, so
# the program's window takes this icon from its executable instead of drawing the SVG.
#   make-ico.sh ICON.svg OUT.ico
set -euo pipefail
svg=$1 out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sizes=(16 32 48 256)
for size in "${sizes[@]}"; do
    rsvg-convert -w "$size" -h "$size" -o "$work/$size.png" "$svg"
done

# Little-endian 16- and 32-bit numbers as bytes.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

{
    le16 0; le16 1; le16 ${#sizes[@]} # reserved, type 1 (icon), image count
    offset=$((6 + 16 * ${#sizes[@]}))
    for size in "${sizes[@]}"; do
        bytes=$(stat -c %s "$work/$size.png")
        side=$((size == 256 ? 0 : size)) # 0 stands for 256
        printf "\\x$(printf %02x $side)\\x$(printf %02x $side)\\x00\\x00"
        le16 1; le16 32; le32 "$bytes"; le32 "$offset" # planes, bits per pixel, size, offset
        offset=$((offset + bytes))
    done
    for size in "${sizes[@]}"; do
        cat "$work/$size.png"
    done
} >"$out"
