// The image the PNG engine holds in memory between reading and writing: header, the chunks
// that the reductions rewrite, the other ancillary chunks as raw bytes, and the packed rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rx::png {

enum : int {
    ColorMaskPalette = 1,
    ColorMaskColor = 2,
    ColorMaskAlpha = 4,
    ColorGray = 0,
    ColorRgb = 2,
    ColorPalette = 3,
    ColorGrayAlpha = 4,
    ColorRgba = 6,
};

struct PngColor {
    std::uint8_t red = 0, green = 0, blue = 0;
};

// A 16-bit colour as PNG keeps it in bKGD and in a tRNS colour key; `index` is for palettes.
struct PngColor16 {
    std::uint8_t index = 0;
    std::uint16_t red = 0, green = 0, blue = 0, gray = 0;
};

struct PngSignificantBits {
    std::uint8_t red = 0, green = 0, blue = 0, gray = 0, alpha = 0;
};

// Where a raw chunk stood in the input, so the writer can put it back in the same place.
enum class ChunkPlace { BeforePlte, BeforeIdat, AfterIdat };

struct RawChunk {
    char name[5] = {};
    std::vector<std::uint8_t> data;
    ChunkPlace place = ChunkPlace::BeforePlte;
};

struct PngImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;

    std::size_t rowBytes = 0;
    std::unique_ptr<std::uint8_t[]> pixels; // height * rowBytes, rows packed as in the file

    std::vector<PngColor> palette; // PLTE (also a suggested palette of a colour image)
    bool hasPalette = false;
    std::vector<std::uint8_t> transAlpha; // tRNS of a palette image
    PngColor16 transColor;                // tRNS colour key of a grey or RGB image
    bool hasTrns = false;
    PngColor16 background;
    bool hasBackground = false;
    PngSignificantBits significantBits;
    bool hasSignificantBits = false;
    std::vector<std::uint16_t> histogram;
    bool hasHistogram = false;

    std::vector<RawChunk> otherChunks;

    std::uint8_t* row(std::uint32_t y) { return pixels.get() + std::size_t(y) * rowBytes; }
    const std::uint8_t* row(std::uint32_t y) const {
        return pixels.get() + std::size_t(y) * rowBytes;
    }
    int channels() const {
        switch (colorType) {
        case ColorGrayAlpha:
            return 2;
        case ColorRgb:
            return 3;
        case ColorRgba:
            return 4;
        default:
            return 1;
        }
    }
    static std::size_t RowBytesFor(std::uint32_t width, int channels, int bitDepth) {
        return (std::size_t(width) * std::size_t(channels) * std::size_t(bitDepth) + 7) / 8;
    }
};

} // namespace rx::png
