#!/usr/bin/env bash
# Preview benchmark: a 24 MP photo-like JPEG (generated once into bench/data/preview) with a
# text watermark in the preview window, offscreen: the first picture after the window opens
# (target: within 1 s) and the re-render after the watermark moves (target: within 0.5 s).
# Usage: bash bench/preview/run.sh   (RX_BENCH_BUILD chooses the release build folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${RX_BENCH_BUILD:-$root/build-preview-release}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" -j2 rx_bench_preview >/dev/null
uptime
"$build/bench/preview/rx_bench_preview" "$root/bench/data/preview"
