#!/usr/bin/env bash
# Renders the PNG sizes of the icon from ringlark.svg (ImageMagick). The PNGs are committed,
# so the build does not need this.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32; do
    /usr/bin/convert -background none -density 384 ringlark.svg -resize "${size}x${size}" \
        -depth 8 -strip "${size}x${size}/ringlark.png"
done
