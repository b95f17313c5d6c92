#!/usr/bin/env bash
# Draws the application icon and writes app_icon.ico (16, 32, 48, 128 and
# 256 px, 32-bit colour with alpha) beside this script. The .ico is
# committed, so a build needs no ImageMagick; run this only to change the
# artwork.
#
# The mark: a navy shield that ends in a keel, carrying a sea-green K.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
convert=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

navy='#17325e'
sea='#3cc6b2'

# Drawn at 1024 px and scaled down, for smooth edges at every size.
"$convert" -size 1024x1024 xc:none \
  -fill "$navy" -stroke none \
  -draw "path 'M 512,56 C 640,120 784,150 912,158 L 912,470 C 912,712 760,884 512,984 C 264,884 112,712 112,470 L 112,158 C 240,150 384,120 512,56 Z'" \
  -fill none -stroke "$sea" -strokewidth 104 -draw "stroke-linecap round" \
  -draw "line 392,300 392,740" \
  -draw "line 424,540 650,300" \
  -draw "line 500,470 664,740" \
  "$work/master.png"

sizes=(16 32 48 128 256)
images=()
for size in "${sizes[@]}"; do
  "$convert" "$work/master.png" -filter Lanczos -resize "${size}x${size}" \
    -depth 8 -define png:color-type=6 "PNG32:$work/icon-$size.png"
  images+=("$work/icon-$size.png")
done
"$convert" "${images[@]}" "$here/app_icon.ico"
echo "wrote $here/app_icon.ico"
