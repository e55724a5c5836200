// The imaging platform: which formats are read, how they are recognised, and the process-wide
// set-up of the codec library. Decoding always goes by content, never by file name, and only
// through each format's own codec (no general-purpose loader).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/OutputFormat.h"

namespace rx {

// Largest frame decoded, in pixels; larger headers are refused before any pixel memory exists.
constexpr std::uint64_t kMaxFramePixels = 300'000'000;

// Starts the codec library once per process (thread-safe, idempotent) and blocks every loader
// that is not one of the formats' own (the untrusted ones, JPEG XL among them). Called by every
// entry point that decodes or encodes.
void EnsureImagingStarted();
// Threads each libvips operation may use from now on; 0 restores the default (one per core).
void SetImagingThreads(int threads);

// The format that the leading bytes announce: the signatures of JPEG, PNG,
// BMP, GIF, TIFF and WebP (RIFF....WEBP), and the `ftyp` brands of HEIC and AVIF; DontChange for
// none.
OutputFormat SniffFormat(const std::uint8_t* data, size_t size);

// Counts full pixel decodes made by this process (tests use it to show header-only reads).
std::uint64_t PixelDecodeCount();
void CountPixelDecode();

} // namespace rx
