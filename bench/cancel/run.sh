#!/usr/bin/env bash
# Cancel benchmark: the time Cancel takes to return while a long operation runs (target: under
# 0.2 s). Usage: bash bench/cancel/run.sh [rounds]   (RX_BENCH_BUILD chooses the build folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${RX_BENCH_BUILD:-$root/build-bench}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" rx_bench_cancel >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bench/cancel/rx_bench_cancel" "$root/bench/out/cancel" "${1:-8}"
