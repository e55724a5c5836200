// In-memory JPEG re-encoding for the Optimize operation: a lossless transcode with optimised
// Huffman tables, or a re-encode at a fixed quality, keeping the COM, APP1, APP2 and APP13 markers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

namespace rx {

// Setting that asks for the lossless transcode instead of a quality.
constexpr int kJpegLossless = -1;

// A block allocated by the JPEG library's memory destination; released with free().
struct JpegBuffer {
    struct Free {
        void operator()(unsigned char* p) const { std::free(p); }
    };
    std::unique_ptr<unsigned char, Free> data;
    size_t size = 0;

    explicit operator bool() const { return data && size > 0; }
};

// Re-encodes a JPEG held in memory. setting < 0 transcodes the DCT coefficients unchanged (every
// pixel is kept); 0 to 100 decodes and re-encodes at that quality with the standard tables. The
// result is always sequential. Returns an empty buffer when the input is not a JPEG the library
// can read completely: a fatal library error, or damaged entropy-coded data (a truncated file,
// a premature marker, a bad code), since re-encoding those would replace real image data with
// the decoder's filler. Thread-safe: all state lives in the call. `stop`, when given, is asked
// between batches of scanlines (and of coefficient rows) on the calling thread; true abandons
// the run with an empty buffer.
JpegBuffer OptimizeJpeg(const std::uint8_t* bytes, size_t size, int setting,
                        const std::function<bool()>& stop = {});

// The scale factor, in percent, applied to the standard quantisation tables for a quality.
int JpegQualityScale(int quality);

} // namespace rx
