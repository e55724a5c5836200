#!/usr/bin/env bash
# Optimize benchmark: lossless optimisation (quality 1) of generated JPEG photos through the
# operation, against jpegtran -optimize -copy all on each file, in the same run.
# Usage: bash bench/optimize/run.sh [rounds]   (RX_BENCH_BUILD chooses the release build folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${RX_BENCH_BUILD:-$root/build-bench}"
data="$root/bench/data/optimize"
out="$root/bench/out/optimize"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" rx_bench_optimize >/dev/null

bash "$root/bench/optimize/make-data.sh" "$data"

"$build/bench/optimize/rx_bench_optimize" "$data" "$out" "${1:-5}"
