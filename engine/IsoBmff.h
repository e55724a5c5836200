// Bounds-checked reading of the ISO base media file format boxes that HEIF and AVIF files start
// with: the brands of the `ftyp` box (which format, and whether the file announces an image
// sequence) and the number of samples of a sequence's tracks. Reads only the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/OutputFormat.h"

namespace rx::isobmff {

struct Brands {
    OutputFormat format = OutputFormat::DontChange; // Heic or Avif; DontChange for neither
    bool sequence = false; // a sequence brand (msf1, hevc, hevx, avis) is listed
};

// What the leading `ftyp` box says. HEIC: major brand heic, heix, hevc or hevx, or mif1/msf1
// with one of those among the compatible brands; AVIF: avif or avis, directly or after
// mif1/msf1. Anything else (other HEIF codecs, MP4 video) gives DontChange.
Brands ReadBrands(const std::uint8_t* data, std::size_t size);

// The largest sample count of the tracks in the top-level `moov` box (frames of an image
// sequence); 0 when there is no track or it cannot be read.
std::uint32_t SequenceFrames(const std::uint8_t* data, std::size_t size);

} // namespace rx::isobmff
