#!/bin/sh
# Renders the icon drawing into Verlift's icon: 32x32, 16x16 and 48x48 images in that order,
# 16 colours each. Usage: make-icon.sh DRAWING.mvg OUTPUT.ico
set -eu
[ $# -eq 2 ] || { echo "usage: $0 DRAWING.mvg OUTPUT.ico" >&2; exit 2; }
drawing=$1
output=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -background none "mvg:$drawing" "$work/art.png"
# icon:auto-resize would store 8-bit images; explicit clones keep the order and 4 bits per pixel.
# A 16-colour icon has only a 1-bit transparency mask, so the soft edges are cut at half opacity
# first; otherwise the quantiser drops the transparency altogether.
convert "$work/art.png" \
  \( -clone 0 -resize 32x32 \) \( -clone 0 -resize 16x16 \) \( -clone 0 -resize 48x48 \) \
  -delete 0 -channel A -threshold 50% +channel -colors 16 "$work/icon.ico"
mv "$work/icon.ico" "$output"
