#!/usr/bin/env bash
# Resize benchmark: a batch of 2 to 18 megapixel JPEG photos resized to width 1000 by Rexmill's
# job path (RunOperations, Save), by vipsthumbnail -s 1000x and by mogrify -resize 1000x, on the
# same files in the same run. Prints wall times, peak memory and the ratios to the peers.
#   RX_BUILD_DIR  release build tree (default <repo>/build-release); built here when needed
#   RX_BENCH_ROUNDS  rounds per program, the best one counts (default 3)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
build="${RX_BUILD_DIR:-$repo/build-release}"
rounds="${RX_BENCH_ROUNDS:-3}"
data="$repo/bench/data/resize"
out="$repo/bench/out/resize"

for tool in /usr/bin/time vipsthumbnail mogrify; do
    command -v "$tool" >/dev/null || { echo "resize bench: $tool is missing" >&2; exit 1; }
done

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" >/dev/null
fi
ninja -C "$build" -j2 rx_bench_resize >"$build/bench-resize-build.log" 2>&1 ||
    { cat "$build/bench-resize-build.log" >&2; exit 1; }
bench="$build/bench/resize/rx_bench_resize"

"$bench" make "$data" >/dev/null
mapfile -t photos < <(ls "$data"/*.jpg)
echo "resize bench: ${#photos[@]} photos, $(du -sh "$data" | cut -f1), target width 1000"
cat "${photos[@]}" >/dev/null # the page cache is warm for every program alike

source "$repo/bench/measure.sh"

measure rexmill "$bench" run "$data" "$out/rexmill" 1000
measure vipsthumbnail vipsthumbnail -s 1000x -o "$out/vipsthumbnail/%s.jpg" "${photos[@]}"
measure mogrify mogrify -path "$out/mogrify" -resize 1000x "${photos[@]}"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "time  rexmill / vipsthumbnail = $(ratio "${wall[rexmill]}" "${wall[vipsthumbnail]}") (target <= 1.0)"
echo "time  rexmill / mogrify       = $(ratio "${wall[rexmill]}" "${wall[mogrify]}") (target <= 0.4)"
echo "peak  rexmill / vipsthumbnail = $(ratio "${rss[rexmill]}" "${rss[vipsthumbnail]}") (target <= 1.0)"

# Rows for bench/run's table: task, ours s, peer, peer s, ours KiB, peer KiB, ours bytes, peer bytes.
for peer in vipsthumbnail mogrify; do
    printf 'TABLE\tresize %d JPEGs to width 1000\t%s\t%s\t%s\t%s\t%s\t-\t-\n' "${#photos[@]}" \
        "${wall[rexmill]}" "$peer" "${wall[$peer]}" "${rss[rexmill]}" "${rss[$peer]}"
done
