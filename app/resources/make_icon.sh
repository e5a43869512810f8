#!/bin/sh
# Renders the icon drawing (Magick Vector Graphics on a 256 x 256 canvas) with ImageMagick into a
# Windows icon of 16, 32, 48 and 256 pixels: make_icon.sh drawing.mvg launcher.ico
set -eu
drawing=$1
icon=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# ImageMagick's policy forbids reading a drawing by "@file": the shell hands it over as text.
convert -size 256x256 xc:none -draw "$(grep -v '^#' "$drawing")" -depth 8 "PNG32:$work/256.png"
for size in 16 32 48; do
  convert "$work/256.png" -filter Lanczos -resize "${size}x${size}" -depth 8 "PNG32:$work/$size.png"
done
convert "$work/16.png" "$work/32.png" "$work/48.png" "$work/256.png" "$work/launcher.ico"
mv "$work/launcher.ico" "$icon"
