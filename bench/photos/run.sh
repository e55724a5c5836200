#!/usr/bin/env bash
# Phone photo benchmark: 12 HEIC and 12 WebP photos of 12 megapixels (made here once by libvips'
# own savers from a photo-like picture, encoder defaults) resized to width 1000 in their own
# format by Rexmill's job path (RunOperations, Save) and by vipsthumbnail -s 1000x, on the same
# files in the same run. Prints wall times, peak memory and the ratios.
#   RX_BUILD_DIR  release build tree (default <repo>/build-release); built here when needed
#   RX_BENCH_ROUNDS  rounds per program, the best one counts (default 3)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
build="${RX_BUILD_DIR:-$repo/build-release}"
rounds="${RX_BENCH_ROUNDS:-3}"
data="$repo/bench/data/photos"
out="$repo/bench/out/photos"

for tool in /usr/bin/time vipsthumbnail; do
    command -v "$tool" >/dev/null || { echo "photos bench: $tool is missing" >&2; exit 1; }
done

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" >/dev/null
fi
ninja -C "$build" -j2 rx_bench_resize >"$build/bench-photos-build.log" 2>&1 ||
    { cat "$build/bench-photos-build.log" >&2; exit 1; }
bench="$build/bench/resize/rx_bench_resize"

"$bench" make-phone "$data" >/dev/null

MEASURE_NAME_WIDTH=20
source "$repo/bench/measure.sh"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
for ext in heic webp; do
    mapfile -t photos < <(ls "$data"/*."$ext")
    upper=$(echo "$ext" | tr a-z A-Z)
    [ "$upper" = WEBP ] && upper=WebP
    echo "photos bench: ${#photos[@]} $upper photos, $(du -ch "${photos[@]}" | tail -1 | cut -f1), target width 1000"
    cat "${photos[@]}" >/dev/null # the page cache is warm for both programs alike
    measure "rexmill-$ext" "$bench" run "$data" "$out/rexmill-$ext" 1000 ".$ext"
    measure "vipsthumbnail-$ext" vipsthumbnail -s 1000x -o "$out/vipsthumbnail-$ext/%s.$ext" "${photos[@]}"
    echo "time  rexmill / vipsthumbnail = $(ratio "${wall[rexmill-$ext]}" "${wall[vipsthumbnail-$ext]}") (target <= 1.0)"
    echo "peak  rexmill / vipsthumbnail = $(ratio "${rss[rexmill-$ext]}" "${rss[vipsthumbnail-$ext]}")"
    # A row for bench/run's table: task, ours s, peer, peer s, ours KiB, peer KiB, bytes.
    printf 'TABLE\tresize %d %s photos (12 MP) to width 1000\t%s\tvipsthumbnail\t%s\t%s\t%s\t-\t-\n' \
        "${#photos[@]}" "$upper" "${wall[rexmill-$ext]}" "${wall[vipsthumbnail-$ext]}" \
        "${rss[rexmill-$ext]}" "${rss[vipsthumbnail-$ext]}"
done
