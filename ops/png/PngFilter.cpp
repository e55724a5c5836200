#include "ops/png/PngFilter.h"

#include <cstdlib>
#include <cstring>

namespace rx::png {
namespace {

// Filters one row of n bytes into out (n bytes, no type byte). prev is the row above, zero for
// the first row; bpp the bytes per complete pixel, at least 1.
void FilterRow(int type, const std::uint8_t* row, const std::uint8_t* prev, std::size_t n,
               std::size_t bpp, std::uint8_t* out) {
    const std::size_t lead = bpp < n ? bpp : n;
    switch (type) {
    case 0:
        std::memcpy(out, row, n);
        break;
    case 1:
        std::memcpy(out, row, lead);
        for (std::size_t i = lead; i < n; ++i)
            out[i] = std::uint8_t(row[i] - row[i - bpp]);
        break;
    case 2:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = std::uint8_t(row[i] - prev[i]);
        break;
    case 3:
        for (std::size_t i = 0; i < lead; ++i)
            out[i] = std::uint8_t(row[i] - (prev[i] >> 1));
        for (std::size_t i = lead; i < n; ++i)
            out[i] = std::uint8_t(row[i] - ((unsigned(row[i - bpp]) + prev[i]) >> 1));
        break;
    default: // Paeth
        for (std::size_t i = 0; i < lead; ++i)
            out[i] = std::uint8_t(row[i] - prev[i]);
        for (std::size_t i = lead; i < n; ++i) {
            const int a = row[i - bpp], b = prev[i], c = prev[i - bpp];
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int predictor = ((pa <= pb) & (pa <= pc)) ? a : (pb <= pc) ? b : c;
            out[i] = std::uint8_t(row[i] - predictor);
        }
        break;
    }
}

// libpng's measure of a filtered row: each byte as the magnitude of a signed value, which is
// min(v, 256 - v) and in byte arithmetic min(v, -v).
std::size_t RowCost(const std::uint8_t* p, std::size_t n) {
    std::size_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t v = p[i], w = std::uint8_t(-v);
        sum += v < w ? v : w;
    }
    return sum;
}

} // namespace

std::vector<std::uint8_t> FilterImage(const PngImage& image, int filter) {
    const std::size_t n = image.rowBytes;
    const int bits = image.channels() * image.bitDepth;
    const std::size_t bpp = std::size_t(bits + 7) / 8;
    std::vector<std::uint8_t> out(FilteredSize(image));
    const std::vector<std::uint8_t> zero(n, 0);
    std::vector<std::uint8_t> trial(filter == 5 ? 4 * n : 0); // Sub, Up, Average, Paeth
    std::uint8_t* to = out.data();
    for (std::uint32_t y = 0; y < image.height; ++y, to += n + 1) {
        const std::uint8_t* row = image.row(y);
        const std::uint8_t* prev = y ? image.row(y - 1) : zero.data();
        if (filter != 5) {
            to[0] = std::uint8_t(filter);
            FilterRow(filter, row, prev, n, bpp, to + 1);
            continue;
        }
        // Adaptive: every filter into its own scratch row, then the cheapest is kept.
        std::size_t best = RowCost(row, n);
        int bestType = 0;
        for (int type = 1; type <= 4; ++type) {
            std::uint8_t* scratch = trial.data() + std::size_t(type - 1) * n;
            FilterRow(type, row, prev, n, bpp, scratch);
            const std::size_t cost = RowCost(scratch, n);
            if (cost < best) {
                best = cost;
                bestType = type;
            }
        }
        to[0] = std::uint8_t(bestType);
        std::memcpy(to + 1, bestType ? trial.data() + std::size_t(bestType - 1) * n : row, n);
    }
    return out;
}

} // namespace rx::png
