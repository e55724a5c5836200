#include "ops/png/pngreduc.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>

namespace rx::png {
namespace {

using std::uint8_t;

unsigned GetIndex(const uint8_t* row, std::uint32_t x, int depth) {
    if (depth == 8)
        return row[x];
    const unsigned perByte = 8 / depth;
    const unsigned shift = (perByte - 1 - x % perByte) * depth;
    return (row[x / perByte] >> shift) & ((1u << depth) - 1);
}

// Rewrites packed palette indices from one depth to another (leftmost pixel in the high bits).
void RepackIndices(PngImage& image, int newDepth) {
    const std::size_t newRowBytes = PngImage::RowBytesFor(image.width, 1, newDepth);
    std::unique_ptr<uint8_t[]> out(new uint8_t[newRowBytes * image.height]);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* src = image.row(y);
        uint8_t* dst = out.get() + std::size_t(y) * newRowBytes;
        std::memset(dst, 0, newRowBytes);
        const unsigned perByte = 8 / newDepth;
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const unsigned v = GetIndex(src, x, image.bitDepth);
            dst[x / perByte] |= uint8_t(v << ((perByte - 1 - x % perByte) * newDepth));
        }
    }
    image.pixels = std::move(out);
    image.rowBytes = newRowBytes;
    image.bitDepth = newDepth;
}

int IndexDepthFor(std::size_t entries) {
    if (entries <= 2)
        return 1;
    if (entries <= 4)
        return 2;
    if (entries <= 16)
        return 4;
    return 8;
}

unsigned CleanTransparentPixels(PngImage& image) {
    const int channels = image.channels();
    bool changed = false;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        uint8_t* p = image.row(y);
        for (std::uint32_t x = 0; x < image.width; ++x, p += channels) {
            if (p[channels - 1] != 0)
                continue;
            for (int c = 0; c < channels - 1; ++c) {
                changed |= p[c] != 0;
                p[c] = 0;
            }
        }
    }
    return changed ? unsigned(ReduceAlphaCleanup) : 0u;
}

unsigned ReduceBitsAndChannels(PngImage& image, unsigned reductions) {
    if ((image.bitDepth != 8 && image.bitDepth != 16) || image.colorType == ColorPalette)
        return 0;
    const bool wide = image.bitDepth == 16;
    const bool color = (image.colorType & ColorMaskColor) != 0;
    const bool alpha = (image.colorType & ColorMaskAlpha) != 0;
    unsigned cand = 0;
    if (wide)
        cand |= ReduceBitDepth16To8;
    if (color)
        cand |= ReduceColorToGray;
    if (alpha)
        cand |= ReduceStripAlpha;
    cand &= reductions;
    if (image.hasBackground) {
        const PngColor16& b = image.background;
        if (b.red % 257 || b.green % 257 || b.blue % 257 || b.gray % 257)
            cand &= ~unsigned(ReduceBitDepth16To8);
        if (b.red != b.green || b.green != b.blue)
            cand &= ~unsigned(ReduceColorToGray);
    }
    if (cand == 0)
        return 0;

    const int channels = image.channels();
    const int bps = wide ? 2 : 1;
    const std::size_t pixelBytes = std::size_t(channels) * bps;
    for (std::uint32_t y = 0; y < image.height && cand != 0; ++y) {
        const uint8_t* row = image.row(y);
        if (cand & ReduceBitDepth16To8) {
            for (std::size_t i = 0; i < image.rowBytes; i += 2)
                if (row[i] != row[i + 1]) {
                    cand &= ~unsigned(ReduceBitDepth16To8);
                    break;
                }
        }
        if (cand & ReduceColorToGray) {
            for (const uint8_t* p = row; p < row + image.rowBytes; p += pixelBytes)
                if (std::memcmp(p, p + bps, bps) != 0 || std::memcmp(p, p + 2 * bps, bps) != 0) {
                    cand &= ~unsigned(ReduceColorToGray);
                    break;
                }
        }
        if (cand & ReduceStripAlpha) {
            const std::size_t a = (channels - 1) * bps;
            for (const uint8_t* p = row; p < row + image.rowBytes; p += pixelBytes)
                if (p[a] != 0xff || (wide && p[a + 1] != 0xff)) {
                    cand &= ~unsigned(ReduceStripAlpha);
                    break;
                }
        }
    }
    if (cand == 0)
        return 0;

    // Which samples of each pixel stay, and how many bytes of each.
    std::array<int, 4> keep{};
    int kept = 0;
    if (color && !(cand & ReduceColorToGray)) {
        keep = {0, 1, 2, 0};
        kept = 3;
    } else {
        keep[kept++] = 0;
    }
    if (alpha && !(cand & ReduceStripAlpha))
        keep[kept++] = channels - 1;
    const int newBps = (cand & ReduceBitDepth16To8) ? 1 : bps;
    const std::size_t newRowBytes = std::size_t(image.width) * kept * newBps;
    uint8_t* base = image.pixels.get();
    std::size_t out = 0;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* p = base + std::size_t(y) * image.rowBytes;
        for (std::uint32_t x = 0; x < image.width; ++x, p += pixelBytes)
            for (int k = 0; k < kept; ++k) {
                const uint8_t* s = p + keep[k] * bps;
                base[out++] = s[0];
                if (newBps == 2)
                    base[out++] = s[1];
            }
    }
    image.rowBytes = newRowBytes;

    if (cand & ReduceBitDepth16To8) {
        auto low = [](std::uint16_t& v) { v = v & 0xff; };
        if (image.hasBackground) {
            low(image.background.red), low(image.background.green);
            low(image.background.blue), low(image.background.gray);
        }
        if (image.hasSignificantBits) {
            for (uint8_t* s : {&image.significantBits.red, &image.significantBits.green,
                               &image.significantBits.blue, &image.significantBits.gray,
                               &image.significantBits.alpha})
                *s = std::min<uint8_t>(*s, 8);
        }
        if (image.hasTrns) {
            PngColor16& t = image.transColor;
            if (t.red % 257 || t.green % 257 || t.blue % 257 || t.gray % 257) {
                image.hasTrns = false;
            } else {
                low(t.red), low(t.green), low(t.blue), low(t.gray);
            }
        }
        image.bitDepth = 8;
    }
    if (cand & ReduceColorToGray) {
        if (image.hasBackground)
            image.background.gray = image.background.red;
        if (image.hasSignificantBits) {
            PngSignificantBits& s = image.significantBits;
            s.gray = std::max({s.red, s.green, s.blue});
        }
        if (image.hasTrns) {
            PngColor16& t = image.transColor;
            if (t.red == t.green && t.green == t.blue)
                t.gray = t.red;
            else
                image.hasTrns = false;
        }
        // A suggested palette and its histogram belong to colour images only.
        image.hasPalette = false;
        image.palette.clear();
        image.hasHistogram = false;
        image.histogram.clear();
        image.colorType &= ~ColorMaskColor;
    }
    if (cand & ReduceStripAlpha) {
        image.significantBits.alpha = 0;
        image.colorType &= ~ColorMaskAlpha;
    }
    return cand;
}

unsigned ReducePalette(PngImage& image, unsigned reductions, const ReduceWarning& warn) {
    unsigned done = 0;
    std::array<bool, 256> used{};
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.row(y);
        if (image.bitDepth == 8) {
            for (std::uint32_t x = 0; x < image.width; ++x)
                used[row[x]] = true;
        } else {
            for (std::uint32_t x = 0; x < image.width; ++x)
                used[GetIndex(row, x, image.bitDepth)] = true;
        }
    }
    // The background refers to an entry too, so the truncation must keep it.
    if (image.hasBackground && image.background.index < image.palette.size())
        used[image.background.index] = true;
    int lastUsed = -1;
    for (int i = 0; i < 256; ++i)
        if (used[i])
            lastUsed = i;
    if (lastUsed < 0)
        return 0;
    if (std::size_t(lastUsed) >= image.palette.size()) {
        warn("Too few colors in palette");
        image.palette.resize(lastUsed + 1);
        if (image.hasHistogram)
            image.histogram.resize(lastUsed + 1);
    }
    if (image.hasTrns && image.transAlpha.size() > image.palette.size()) {
        warn("Too many alpha values in tRNS");
        image.transAlpha.resize(image.palette.size());
    }
    int lastTranslucent = -1;
    if (image.hasTrns)
        for (int i = 0; i < int(image.transAlpha.size()); ++i)
            if (used[i] && image.transAlpha[i] < 255)
                lastTranslucent = i;

    if (reductions & ReducePaletteTruncation) {
        if (image.hasTrns && lastTranslucent < 0) {
            image.hasTrns = false;
            image.transAlpha.clear();
            done |= ReducePaletteTruncation;
        }
        if (image.palette.size() > std::size_t(lastUsed + 1)) {
            image.palette.resize(lastUsed + 1);
            if (image.hasHistogram)
                image.histogram.resize(lastUsed + 1);
            done |= ReducePaletteTruncation;
        }
        if (image.hasTrns && image.transAlpha.size() > std::size_t(lastTranslucent + 1)) {
            image.transAlpha.resize(lastTranslucent + 1);
            done |= ReducePaletteTruncation;
        }
    }
    if (reductions & ReducePaletteDepth) {
        const int depth = IndexDepthFor(image.palette.size());
        if (depth < image.bitDepth) {
            RepackIndices(image, depth);
            done |= ReducePaletteDepth;
        }
    }
    if ((reductions & ReducePaletteToGray) && image.bitDepth == 8) {
        bool gray = true;
        int keyLevel = -1, keyAlpha = -1;
        for (int i = 0; i <= lastUsed && gray; ++i) {
            if (!used[i])
                continue;
            const PngColor& c = image.palette[i];
            if (c.red != c.green || c.green != c.blue) {
                gray = false;
            } else if (image.hasTrns && std::size_t(i) < image.transAlpha.size() &&
                       image.transAlpha[i] < 255) {
                if (keyLevel < 0) {
                    keyLevel = c.red;
                    keyAlpha = image.transAlpha[i];
                } else if (keyLevel != c.red || keyAlpha != image.transAlpha[i]) {
                    gray = false;
                }
            }
        }
        // Every entry of the key's level must share its alpha; a grey key can only mean
        // fully transparent, so a translucent alpha would not survive the change.
        if (gray && keyLevel >= 0) {
            if (keyAlpha != 0)
                gray = false;
            for (int i = 0; i <= lastUsed && gray; ++i) {
                const uint8_t a =
                    std::size_t(i) < image.transAlpha.size() ? image.transAlpha[i] : 255;
                if (used[i] && image.palette[i].red == keyLevel && a != keyAlpha)
                    gray = false;
            }
        }
        if (gray) {
            for (std::uint32_t y = 0; y < image.height; ++y) {
                uint8_t* row = image.row(y);
                for (std::uint32_t x = 0; x < image.width; ++x)
                    row[x] = image.palette[row[x]].red;
            }
            if (image.hasBackground)
                image.background.gray = image.palette[image.background.index].red;
            image.hasHistogram = false;
            image.histogram.clear();
            if (image.hasSignificantBits) {
                PngSignificantBits& s = image.significantBits;
                s.gray = std::max({s.red, s.green, s.blue});
            }
            if (image.hasTrns) {
                image.transAlpha.clear();
                image.transColor = PngColor16{};
                image.transColor.gray = std::uint16_t(keyLevel);
                image.hasTrns = keyLevel >= 0;
            }
            image.palette.clear();
            image.hasPalette = false;
            image.colorType = ColorGray;
            done |= ReducePaletteToGray;
        }
    }
    return done;
}

// A palette kept in two sorted zones: translucent entries by (alpha, red, green, blue), then
// opaque entries by (red, green, blue).
struct Entry {
    uint8_t r, g, b;
    std::uint16_t a;
};

class SortedPalette {
public:
    // Returns the entry's index, inserting it when new; -1 when a 257th entry would be needed.
    int findOrInsert(Entry e) {
        const bool opaque = e.a >= 255;
        auto first = opaque ? entries_.begin() + translucent_ : entries_.begin();
        auto last = opaque ? entries_.end() : entries_.begin() + translucent_;
        auto it = std::lower_bound(first, last, e, opaque ? LessOpaque : LessTranslucent);
        if (it != last && it->r == e.r && it->g == e.g && it->b == e.b && (opaque || it->a == e.a))
            return int(it - entries_.begin());
        if (entries_.size() >= 256)
            return -1;
        const int at = int(it - entries_.begin());
        entries_.insert(it, Entry{e.r, e.g, e.b, std::uint16_t(opaque ? 255 : e.a)});
        if (!opaque)
            ++translucent_;
        return at;
    }
    int find(Entry e) const {
        const bool opaque = e.a >= 255;
        auto first = opaque ? entries_.begin() + translucent_ : entries_.begin();
        auto last = opaque ? entries_.end() : entries_.begin() + translucent_;
        auto it = std::lower_bound(first, last, e, opaque ? LessOpaque : LessTranslucent);
        return int(it - entries_.begin());
    }
    // The background: an opaque entry first, else any entry of the same colour, else a new one.
    int findBackground(uint8_t r, uint8_t g, uint8_t b) {
        const Entry e{r, g, b, 256};
        auto first = entries_.begin() + translucent_;
        auto it = std::lower_bound(first, entries_.end(), e, LessOpaque);
        if (it != entries_.end() && it->r == r && it->g == g && it->b == b)
            return int(it - entries_.begin());
        for (int i = 0; i < translucent_; ++i)
            if (entries_[i].r == r && entries_[i].g == g && entries_[i].b == b)
                return i;
        return findOrInsert(e);
    }
    const std::vector<Entry>& entries() const { return entries_; }
    int translucent() const { return translucent_; }

private:
    static bool LessOpaque(const Entry& x, const Entry& y) {
        return std::tie(x.r, x.g, x.b) < std::tie(y.r, y.g, y.b);
    }
    static bool LessTranslucent(const Entry& x, const Entry& y) {
        return std::tie(x.a, x.r, x.g, x.b) < std::tie(y.a, y.r, y.g, y.b);
    }
    std::vector<Entry> entries_;
    int translucent_ = 0;
};

unsigned ConvertToPalette(PngImage& image, unsigned reductions) {
    if (image.bitDepth != 8 || image.colorType == ColorPalette)
        return 0;
    const int channels = image.channels();
    const bool color = (image.colorType & ColorMaskColor) != 0;
    const bool alpha = (image.colorType & ColorMaskAlpha) != 0;
    auto entryAt = [&](const uint8_t* p) {
        Entry e;
        e.r = p[0];
        e.g = color ? p[1] : p[0];
        e.b = color ? p[2] : p[0];
        e.a = alpha ? p[channels - 1] : 255;
        if (image.hasTrns && !alpha) {
            const PngColor16& t = image.transColor;
            const bool key =
                color ? (t.red == p[0] && t.green == p[1] && t.blue == p[2]) : t.gray == p[0];
            if (key)
                e.a = 0;
        }
        return e;
    };

    SortedPalette pal;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* p = image.row(y);
        const uint8_t* prev = nullptr;
        for (std::uint32_t x = 0; x < image.width; ++x, p += channels) {
            if (prev && std::memcmp(prev, p, channels) == 0)
                continue;
            prev = p;
            if (pal.findOrInsert(entryAt(p)) < 0)
                return 0;
        }
    }
    if (image.hasBackground) {
        const PngColor16& b = image.background;
        const std::uint16_t r = color ? b.red : b.gray, g = color ? b.green : b.gray,
                            bl = color ? b.blue : b.gray;
        if (r > 255 || g > 255 || bl > 255 || pal.findBackground(r, g, bl) < 0)
            return 0;
    }

    const std::size_t entries = pal.entries().size();
    const int d = IndexDepthFor(entries);
    const int p = channels * 8;
    if (d == p || (entries * 24 + std::size_t(pal.translucent()) * 8) / std::size_t(p - d) /
                          image.width / image.height !=
                      0)
        return 0;

    // Indices are written in place: one byte per pixel never overtakes the samples read.
    uint8_t* base = image.pixels.get();
    std::size_t out = 0;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* px = base + std::size_t(y) * image.rowBytes;
        for (std::uint32_t x = 0; x < image.width; ++x, px += channels)
            base[out++] = uint8_t(pal.find(entryAt(px)));
    }
    image.rowBytes = image.width;
    if (image.hasBackground) {
        const PngColor16& b = image.background;
        image.background.index = uint8_t(color ? pal.findBackground(b.red, b.green, b.blue)
                                               : pal.findBackground(b.gray, b.gray, b.gray));
    }
    image.palette.clear();
    image.transAlpha.clear();
    for (const Entry& e : pal.entries()) {
        image.palette.push_back(PngColor{e.r, e.g, e.b});
        if (e.a < 255)
            image.transAlpha.push_back(uint8_t(e.a));
    }
    image.hasPalette = true;
    image.hasTrns = !image.transAlpha.empty();
    image.transColor = PngColor16{};
    image.hasHistogram = false;
    image.histogram.clear();
    if (image.hasSignificantBits && !color) {
        PngSignificantBits& s = image.significantBits;
        s.red = s.green = s.blue = s.gray;
    }
    image.significantBits.alpha = 0;
    image.colorType = ColorPalette;
    unsigned done = ReduceRgbToPalette;
    if ((reductions & ReducePaletteDepth) && d < 8) {
        RepackIndices(image, d);
        done |= ReducePaletteDepth;
    }
    return done;
}

} // namespace

unsigned ReduceImage(PngImage& image, unsigned reductions, const ReduceWarning& warn) {
    if (image.width == 0 || image.height == 0 || !image.pixels ||
        (image.colorType == ColorPalette && image.palette.empty())) {
        warn("Image reduction requires the presence of the critical info");
        return 0;
    }
    const int t = image.colorType;
    unsigned done = 0;
    if ((t == ColorGrayAlpha || t == ColorRgba) && image.bitDepth == 8 &&
        (reductions & ReduceAlphaCleanup))
        done |= CleanTransparentPixels(image);
    done |= ReduceBitsAndChannels(image, reductions);
    if (t == ColorPalette &&
        (reductions & (ReducePaletteDepth | ReducePaletteToGray | ReducePaletteTruncation)))
        done |= ReducePalette(image, reductions, warn);
    const bool grayToPalette =
        (t == ColorGray || t == ColorGrayAlpha) && (reductions & ReduceGrayToPalette);
    const bool colorToPalette =
        (t == ColorRgb || t == ColorRgba) && (reductions & ReduceRgbToPalette);
    if ((grayToPalette || colorToPalette) && !(done & ReducePaletteToGray))
        done |= ConvertToPalette(image, reductions);
    return done;
}

} // namespace rx::png
