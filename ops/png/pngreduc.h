// Lossless reductions of a PNG image held in memory: transparent-pixel clean-up, 16 to 8 bits,
// colour to grey, alpha removal, palette truncation and repacking, palette to grey, and
// conversion of images with few colours to a palette.
#pragma once

#include <functional>

#include "ops/png/PngImage.h"

namespace rx::png {

enum : unsigned {
    ReduceBitDepth16To8 = 0x1,
    ReducePaletteDepth = 0x2,
    ReduceColorToGray = 0x4,
    ReduceStripAlpha = 0x8,
    ReduceRgbToPalette = 0x10,
    ReduceReserved20 = 0x20,
    ReduceGrayToPalette = 0x40,
    ReducePaletteToGray = 0x80,
    ReduceReserved100 = 0x100,
    ReducePaletteTruncation = 0x200,
    ReduceAlphaCleanup = 0x400,

    ReduceBitDepthAll = ReduceBitDepth16To8 | ReducePaletteDepth,
    ReduceColorTypeAll = ReduceColorToGray | ReduceStripAlpha | ReduceRgbToPalette |
                         ReduceGrayToPalette | ReducePaletteToGray,
    ReducePaletteAll = ReduceReserved100 | ReducePaletteTruncation,
    ReduceAll = 0x7ff,
};

// Receives the warnings a reduction issues ("Too few colors in palette", ...).
using ReduceWarning = std::function<void(const char* message)>;

// Applies the enabled reductions in their fixed order and returns the bits of those performed.
// An image without its header, or a palette image without a palette, is left alone (0).
unsigned ReduceImage(PngImage& image, unsigned reductions, const ReduceWarning& warn);

} // namespace rx::png
