#!/usr/bin/env bash
# Text watermark benchmark: ten photo-like JPEGs (2 to 18 MP, generated once into
# bench/data/watermark) marked through RunOperations and Save, against ImageMagick's mogrify
# with a comparable 48-pixel text on copies of the same files, in the same run. Prints both
# wall times (from /usr/bin/time -v), peak memory and the ratio (target: at most 0.5).
# Usage: bash bench/watermark/run.sh   (RX_BENCH_BUILD chooses the release build folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${RX_BENCH_BUILD:-$root/build-wm-release}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" -j2 rx_watermark_bench >/dev/null
bench="$build/bench/watermark/rx_watermark_bench"
data="$root/bench/data/watermark"
"$bench" generate "$data"
files=("$data"/photo-*.jpg)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Wall seconds and peak kilobytes of one command, from GNU time's report.
measure() {
    local report="$work/time.txt"
    /usr/bin/time -v "$@" >/dev/null 2>"$report"
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                    for (i = 1; i <= n; i++) s = s * 60 + t[i]; wall = s }
                /Maximum resident set size/ { rss = $2 }
                END { printf "%.3f %d\n", wall, rss }' "$report"
}

ours_best=""; magick_best=""
for round in 1 2; do
    rm -rf "$work/out" "$work/magick"
    mkdir -p "$work/magick"
    cp "${files[@]}" "$work/magick/"
    sync
    read -r ours ours_rss < <(measure "$bench" mark "$work/out" "${files[@]}")
    read -r magick magick_rss < <(measure mogrify -font Liberation-Sans -pointsize 48 -fill white \
        -annotate +40+60 "Rexmill watermark" "$work/magick"/photo-*.jpg)
    saved=$(ls "$work/out" | wc -l)
    [ "$saved" -eq "${#files[@]}" ] || { echo "watermark bench: only $saved files saved" >&2; exit 1; }
    echo "round $round: rexmill ${ours}s (${ours_rss} KB peak), mogrify ${magick}s (${magick_rss} KB peak)"
    if [ -z "$ours_best" ] || awk "BEGIN { exit !($ours < $ours_best) }"; then ours_best=$ours; fi
    if [ -z "$magick_best" ] || awk "BEGIN { exit !($magick < $magick_best) }"; then magick_best=$magick; fi
done
awk -v a="$ours_best" -v b="$magick_best" -v n="${#files[@]}" 'BEGIN {
    printf "watermark: %d JPEG photos, best of 2: rexmill %.2fs, ImageMagick mogrify %.2fs, ratio %.2f x (target <= 0.5)\n", n, a, b, a / b }'
printf 'TABLE\ttext watermark on %d JPEGs\t%s\tmogrify -annotate\t%s\t%s\t%s\t-\t-\n' \
    "${#files[@]}" "$ours_best" "$magick_best" "$ours_rss" "$magick_rss"
