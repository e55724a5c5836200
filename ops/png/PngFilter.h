// PNG row filtering as libpng's writer does it, so that the trials sharing a filter can share
// its output instead of filtering the image again each: one of the five filters on every row,
// or the adaptive choice per row (the least sum of the filtered bytes taken as signed
// magnitudes; the earlier filter on a tie).
#pragma once

#include <cstdint>
#include <vector>

#include "ops/png/PngImage.h"

namespace rx::png {

// The image data of a non-interlaced image as zlib receives them from libpng: every row as its
// filter type byte followed by the filtered bytes. `filter` 0..4 is that filter on every row,
// 5 the adaptive choice.
std::vector<std::uint8_t> FilterImage(const PngImage& image, int filter);

// The size of FilterImage's result.
inline std::size_t FilteredSize(const PngImage& image) {
    return std::size_t(image.height) * (image.rowBytes + 1);
}

} // namespace rx::png
