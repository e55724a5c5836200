// Palette TIFF files, which libvips reads as RGB and its TIFF saver cannot write back: their
// colour table is read here through libtiff, and a rescaled picture is written as a palette
// TIFF again, mapped onto that same table, so a resize keeps the file's pixel format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <QImage>
#include <QList>

#include "engine/Stream.h"

namespace rx::tiffpalette {

struct Palette {
    int bits = 8;                  // 1, 2, 4 or 8 bits per pixel
    QList<QRgb> colors;            // 2^bits entries
    std::uint16_t compression = 1; // the source's, when it can be written again; else LZW
    float xResolution = 0, yResolution = 0;
    std::uint16_t resolutionUnit = 0; // 0: none given
};

// Blocks kept alongside the pixels (empty: none).
struct Blocks {
    Bytes xmp, iptc, icc;
};

// The palette of a one-page palette TIFF file; nothing for any other file.
std::optional<Palette> ReadPalette(const std::uint8_t* data, std::size_t size);

// `pixels` mapped onto the palette (the nearest colour of each pixel) and written as a palette
// TIFF with the blocks; empty when libtiff fails.
Bytes WritePaletteTiff(const QImage& pixels, const Palette& palette, const Blocks& blocks);

} // namespace rx::tiffpalette
