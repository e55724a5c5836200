#!/usr/bin/env bash
# Memory benchmark: peak resident memory of rexmill-batch per pixel, on a 100-megapixel image of
# each format through each operation (target: at most 10 bytes per pixel).
# Usage: bash bench/memory/run.sh [side [formats [operations]]]   (side of the square image,
# default 10000; formats from "jpg png tif gif bmp webp", operations from "convert resize
# watermark optimize"; RX_BENCH_BUILD chooses the build folder, RX_PNG_OPTIMIZE_SIDE the side of
# the PNG optimisation row). Prints one TABLE row per run.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${RX_BENCH_BUILD:-$root/build-bench}"
if [ ! -f "$build/build.ninja" ]; then
    # GCC 12 at -O3 warns of an overlap in a string concatenation that cannot overlap.
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS=-Wno-restrict >/dev/null
fi
ninja -C "$build" rexmill-batch >/dev/null
batch="$build/tools/rexmill-batch/rexmill-batch"
side="${1:-10000}"
# Lossless PNG optimisation of this noise-like PNG runs for many minutes at 10000 x 10000: its
# row takes half the side (a quarter of the pixels) unless RX_PNG_OPTIMIZE_SIDE says otherwise.
png_optimize_side="${RX_PNG_OPTIMIZE_SIDE:-$(((side + 1) / 2))}"
work="$root/bench/out/memory"

# The inputs of one side, made once.
make_inputs() {
    local s=$1 in="$work/in-$1" ext
    mkdir -p "$in"
    # A photo-like source: smooth noise in three bands, so that the encoders have real work.
    local src="$in/source.v"
    if [ ! -f "$src" ]; then
        vips perlin "$work/p1.v" "$s" "$s" --cell-size 256
        vips perlin "$work/p2.v" "$s" "$s" --cell-size 97
        vips perlin "$work/p3.v" "$s" "$s" --cell-size 31
        vips bandjoin "$work/p1.v $work/p2.v $work/p3.v" "$work/pj.v"
        vips linear "$work/pj.v" "$work/pl.v" "127 127 127" "128 128 128" --uchar
        mv "$work/pl.v" "$src"
        rm -f "$work"/p?.v
    fi
    for ext in jpg png tif gif bmp webp; do
        [ -f "$in/photo.$ext" ] && continue
        case $ext in
        bmp) vips copy "$src" "$in/photo.bmp" 2>/dev/null || convert "$src" "$in/photo.bmp" ;;
        gif) vips copy "$src" "$in/photo.gif[effort=1]" ;;
        *) vips copy "$src" "$in/photo.$ext" ;;
        esac
    done
}

declare -A presets=(
    [watermark]='{"Watermark":{"mode":"0","text":"Rexmill","alpha":"60","position":{"x":"0.5","y":"0.5"}}}'
    [resize]='{"Bulk Resize":{"mode":"2","percent":"50"}}'
    [optimize]='{"Optimize":{"mode":"1","quality":"2"}}'
    [convert]='{}'
)
formats="${2:-jpg png tif gif bmp webp}"
operations="${3:-convert resize watermark optimize}"
printf 'format\toperation\tpeak MiB\tbytes/pixel\tside\n'
for ext in $formats; do
    for op in $operations; do
        if [ "$op" = optimize ] && [ "$ext" != jpg ] && [ "$ext" != png ]; then continue; fi
        run_side=$side
        if [ "$op" = optimize ] && [ "$ext" = png ]; then run_side=$png_optimize_side; fi
        make_inputs "$run_side"
        in="$work/in-$run_side"
        pixels=$((run_side * run_side))
        fmt="Don't change"
        if [ "$op" = convert ]; then fmt=$([ "$ext" = png ] && echo JPEG || echo PNG); fi
        out="$work/out"
        rm -rf "$out"
        mkdir -p "$out"
        /usr/bin/time -f '%M' -o "$work/peak" "$batch" -q -p "${presets[$op]}" -f "$fmt" \
            -o "$out" "$in/photo.$ext" >/dev/null 2>&1 || echo "failed: $ext $op" >&2
        kib=$(tail -1 "$work/peak")
        awk -v e="$ext" -v o="$op" -v k="$kib" -v p="$pixels" 'BEGIN {
            printf "%s\t%s\t%.0f\t%.2f\t%d\n", e, o, k / 1024, k * 1024 / p, sqrt(p)
            printf "TABLE\tmemory %s %s\t%.2f B/px\n", e, o, k * 1024 / p > "/dev/stderr" }'
    done
done
