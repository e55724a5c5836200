#!/usr/bin/env bash
# Intake benchmark: CPU time to take in folders of 2,500, 5,000 and 10,000 small PNG files
# (walk, input test with its header read, duplicate check), and of the duplicate check alone.
#   RX_BUILD_DIR  release build tree (default <repo>/build-release); built here when needed
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
build="${RX_BUILD_DIR:-$repo/build-release}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" -j2 rx_bench_intake >"$build/bench-intake-build.log" 2>&1 ||
    { cat "$build/bench-intake-build.log" >&2; exit 1; }
"$build/bench/intake/rx_bench_intake" "$repo/bench/data/intake"
