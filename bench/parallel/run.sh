#!/usr/bin/env bash
# Files in flight: rexmill-batch with K files at once (-j K, K = the cores) against its peers run
# one file at a time and under `xargs -P 2`, on the same files in the same run; rexmill-batch
# with -j 1 as well, for its peak memory. Rows: resize of the photo set to width 1000
# (vipsthumbnail), a text watermark (ImageMagick's mogrify), lossless JPEG optimisation
# (jpegtran -optimize -copy all) and PNG level 2 over the PNG samples (pngcrush).
#   RX_BENCH_BUILD   release build folder (default <repo>/build-release)
#   RX_BENCH_ROUNDS  rounds per program, the best one counts (default 2)
# Peers under xargs: the peak is that of the largest single process.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${RX_BENCH_BUILD:-$root/build-release}"
rounds="${RX_BENCH_ROUNDS:-2}"
out="$root/bench/out/parallel"
for tool in /usr/bin/time vipsthumbnail mogrify jpegtran pngcrush xargs; do
    command -v "$tool" >/dev/null || { echo "parallel bench: $tool is missing" >&2; exit 1; }
done
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" rexmill-batch rx_bench_resize rx_watermark_bench >/dev/null
batch="$build/tools/rexmill-batch/rexmill-batch"
k=$(nproc)
mkdir -p "$out"

"$build/bench/resize/rx_bench_resize" make "$root/bench/data/resize" >/dev/null
"$build/bench/watermark/rx_watermark_bench" generate "$root/bench/data/watermark" >/dev/null
bash "$root/bench/optimize/make-data.sh" "$root/bench/data/optimize"
source "$root/bench/png/samples.sh"
pngs=("${files[@]}")
mapfile -t photos < <(ls "$root"/bench/data/resize/*.jpg)
mapfile -t marked < <(ls "$root"/bench/data/watermark/photo-*.jpg)
mapfile -t jpegs < <(ls "$root"/bench/data/optimize/*.jpg)
cat "${photos[@]}" "${marked[@]}" "${jpegs[@]}" "${pngs[@]}" >/dev/null # warm page cache

source "$root/bench/measure.sh"
MEASURE_NAME_WIDTH=22
bytes() { find "$out/$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }
ours() { # NAME PRESET FILES...: rexmill-batch with K and with 1 file in flight
    local name="$1" preset="$2"
    shift 2
    measure "$name" "$batch" -q -j "$k" -p "$preset" -o . "$@"
    measure "$name-j1" "$batch" -q -j 1 -p "$preset" -o . "$@"
}
# task, ours s, peer, peer s, ours KiB, peer KiB, ours bytes, peer bytes, K, peer parallel,
# ours with K = 1 KiB
row() {
    printf 'TABLE\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "${wall[$2]}" "$3" \
        "${wall[$4]}" "${rss[$2]}" "${rss[$4]}" "$5" "$6" "$k" "$7" "${rss[$2-j1]}"
}

resize='{"Bulk Resize":{"mode":"0","width":"1000"}}'
ours resize "$resize" "${photos[@]}"
measure vipsthumbnail vipsthumbnail -s 1000x -o "$out/vipsthumbnail/%s.jpg" "${photos[@]}"
measure vipsthumbnail-P2 bash -c 'printf "%s\0" "${@:2}" | xargs -0 -P 2 -n 1 vipsthumbnail -s 1000x -o "$1/%s.jpg"' \
    _ "$out/vipsthumbnail-P2" "${photos[@]}"
row "resize ${#photos[@]} JPEGs to width 1000" resize vipsthumbnail vipsthumbnail - - 1
row "resize ${#photos[@]} JPEGs to width 1000" resize "xargs -P 2 vipsthumbnail" vipsthumbnail-P2 - - 2

mark='{"Watermark":{"mode":"0","text":"Rexmill watermark","font":{"name":"Arial","size":"48","color":"16777215"},"position":{"x":"0.05","y":"0.05"}}}'
ours watermark "$mark" "${marked[@]}"
measure mogrify mogrify -path "$out/mogrify" -font Liberation-Sans -pointsize 48 -fill white \
    -annotate +40+60 "Rexmill watermark" "${marked[@]}"
row "text watermark on ${#marked[@]} JPEGs" watermark "mogrify -annotate" mogrify - - 1

lossless='{"Optimize":{"mode":"0","quality":"1"}}'
ours jpeg "$lossless" "${jpegs[@]}"
tran='for f in "${@:2}"; do jpegtran -optimize -copy all -outfile "$1/${f##*/}" "$f"; done'
measure jpegtran bash -c "$tran" _ "$out/jpegtran" "${jpegs[@]}"
measure jpegtran-P2 bash -c 'printf "%s\0" "${@:2}" | xargs -0 -P 2 -n 1 bash -c "$0" _ "$1"' \
    "$tran" "$out/jpegtran-P2" "${jpegs[@]}"
row "lossless JPEG optimisation, ${#jpegs[@]} photos" jpeg "jpegtran" jpegtran \
    "$(bytes jpeg)" "$(bytes jpegtran)" 1
row "lossless JPEG optimisation, ${#jpegs[@]} photos" jpeg "xargs -P 2 jpegtran" jpegtran-P2 \
    "$(bytes jpeg)" "$(bytes jpegtran-P2)" 2

level2='{"Optimize":{"mode":"1","quality":"2"}}'
ours png "$level2" "${pngs[@]}"
crush='for f in "${@:2}"; do pngcrush -q "$f" "$1/${f##*/}" >/dev/null 2>&1; done'
measure pngcrush-P2 bash -c 'printf "%s\0" "${@:2}" | xargs -0 -P 2 -n 1 bash -c "$0" _ "$1"' \
    "$crush" "$out/pngcrush-P2" "${pngs[@]}"
row "PNG level 2, ${#pngs[@]} files" png "xargs -P 2 pngcrush" pngcrush-P2 \
    "$(bytes png)" "$(bytes pngcrush-P2)" 2
