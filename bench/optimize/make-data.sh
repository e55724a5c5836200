#!/usr/bin/env bash
# Writes the optimisation benchmarks' JPEG photos into a folder (once; kept between runs).
# Usage: bash bench/optimize/make-data.sh DIR
set -euo pipefail
data="$1"
# Photo-like pictures (fractal texture, blur, sensor-like noise) at camera sizes and quality,
# written with the standard Huffman tables as cameras do; some carry EXIF, two are progressive.
sizes=(4000x3000 3264x2448 3000x2000 2592x1944 4032x3024 2048x1536 3840x2160 1920x1280
       2400x1600 3000x3000 1600x1200 2816x2112)
mkdir -p "$data"
for i in "${!sizes[@]}"; do
    f="$data/photo$(printf %02d "$i").jpg"
    [ -s "$f" ] && continue
    extra=()
    if [ $((i % 6)) -eq 5 ]; then extra=(-interlace JPEG); fi
    convert -size "${sizes[$i]}" -seed "$((i + 1))" plasma:fractal -blur 0x1.2 \
        -attenuate 0.35 +noise Gaussian -quality $((88 + i % 8)) -sampling-factor 2x2 \
        -define jpeg:optimize-coding=false "${extra[@]}" "$f"
    if [ $((i % 2)) -eq 0 ]; then
        exiftool -q -overwrite_original -Make=Rexmill -Model="Bench Camera $i" \
            -DateTimeOriginal="2024:05:0$((i % 9 + 1)) 10:00:00" -Artist="bench" "$f"
    fi
done

