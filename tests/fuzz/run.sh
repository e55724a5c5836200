#!/usr/bin/env bash
# Builds the PNG engine fuzzer with clang's libFuzzer and AddressSanitizer and runs it.
# Usage: bash tests/fuzz/run.sh [seconds]   (default 600); --build-only just builds it
# (`make fuzz`). Not part of `make test`. CXX=clang++-N picks a clang; otherwise clang++, or
# the newest clang++-N installed.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${FUZZ_DIR:-/tmp/rx-png-fuzz}"
mkdir -p "$out/corpus" "$out/crashes"
cxx="${CXX:-}"
if [ -z "$cxx" ] || ! "$cxx" --version 2>/dev/null | grep -qi clang; then
    cxx="$(command -v clang++ || true)"
    if [ -z "$cxx" ]; then
        cxx="$(compgen -c clang++- | grep -E '^clang\+\+-[0-9]+$' | sort -t- -k2 -n | tail -1 || true)"
    fi
fi
if [ -z "$cxx" ]; then
    echo "fuzz: no clang++ found; install the Debian package clang" >&2
    exit 1
fi
echo "fuzz: building with $cxx ($("$cxx" --version | head -1))"
"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root" "$root"/ops/png/*.cpp "$root/tests/ops/png/PngTestFiles.cpp" \
    "$root/tests/fuzz/png_fuzz.cpp" -lpng16 -lz -pthread -o "$out/png_fuzz"
echo "fuzz: $out/png_fuzz"
if [ "${1:-}" = "--build-only" ]; then
    exit 0
fi
# Seeds: small images of every colour type and depth, and two large ones.
if [ -z "$(ls -A "$out/corpus")" ]; then
    i=0
    for spec in "PNG24:" "PNG32:" "PNG8:" "PNG48:" "PNG64:"; do
        for img in "gradient:red-blue" "plasma:" "xc:gray50" "pattern:checkerboard"; do
            convert -size 24x17 "$img" "$spec$out/corpus/s$i.png" 2>/dev/null || true
            i=$((i + 1))
        done
    done
    convert -size 20x20 gradient: -colorspace Gray -depth 4 "PNG:$out/corpus/g4.png" || true
    convert -size 20x20 gradient: -colorspace Gray -depth 1 "PNG:$out/corpus/g1.png" || true
    convert -size 20x20 gradient: -interlace PNG "PNG:$out/corpus/i.png" || true
    convert -size 20x20 xc:none -fill red -draw 'circle 10,10 5,5' "PNG32:$out/corpus/a.png" || true
    # Large but small on disk: enough image data for the trials that share their filtering.
    convert -size 256x200 gradient:red-blue "PNG24:$out/corpus/big24.png" || true
    convert -size 256x200 pattern:checkerboard "PNG32:$out/corpus/big32.png" || true
fi
cd "$out/crashes"
"$out/png_fuzz" -max_total_time="${1:-600}" -max_len=4096 -timeout=20 -rss_limit_mb=4096 \
    -print_final_stats=1 "$out/corpus"
