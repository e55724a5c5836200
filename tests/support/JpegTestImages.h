// JPEG builders and readers for the tests, straight on libjpeg: every kind of file the
// optimiser meets (baseline, progressive, greyscale, CMYK, restart intervals, metadata markers)
// and the decoded samples, markers and tables needed to check what came out.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/Stream.h"

namespace rxtest {

struct JpegMarker {
    int type = 0; // 0xFE for COM, 0xE0 + n for APPn
    rx::Bytes data;
    bool operator==(const JpegMarker&) const = default;
};

struct JpegRecipe {
    int width = 120;
    int height = 80;
    int components = 3; // 1 greyscale, 3 colour (stored as YCbCr), 4 CMYK
    int quality = 90;
    bool progressive = false;
    int restartInterval = 0;         // in MCUs; 0 for none
    bool optimizeCoding = false;     // cameras write the standard Huffman tables
    bool jfif = true;                // let the library write its JFIF (or Adobe) marker
    std::vector<JpegMarker> markers; // written right after the library's own markers
};

// A photo-like synthetic image (gradients, edges and noise) encoded as the recipe says.
rx::Bytes MakeJpeg(const JpegRecipe& recipe);

// Decoded samples in the file's natural colour space (grey, RGB or CMYK).
struct JpegSamples {
    bool ok = false;
    int width = 0, height = 0, components = 0;
    rx::Bytes samples;
};
JpegSamples DecodeJpeg(const rx::Bytes& bytes);

// What the header of a file says: mode, restart interval, every APPn and COM marker in order,
// and the first quantisation table in natural order.
struct JpegInfo {
    bool ok = false;
    bool progressive = false;
    unsigned restartInterval = 0;
    int components = 0;
    std::vector<JpegMarker> markers;
    std::array<unsigned, 64> luminanceTable{};
};
JpegInfo ReadJpegInfo(const rx::Bytes& bytes);

// An ICC profile of the given size (made-up content) split into APP2 "ICC_PROFILE" chunks.
std::vector<JpegMarker> IccMarkers(size_t profileSize);
// A marker whose data is the text, e.g. an APP1 "Exif\0\0..." block or a comment.
JpegMarker TextMarker(int type, const char* text, size_t padTo = 0);

} // namespace rxtest
