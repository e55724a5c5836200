#include "engine/IsoBmff.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "engine/OutputFormat.h"

namespace rx::isobmff {
namespace {

std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

bool Is(const std::uint8_t* p, const char* fourcc) {
    return std::memcmp(p, fourcc, 4) == 0;
}

struct Box {
    std::size_t body = 0; // offset of the content, after the header
    std::size_t end = 0;  // offset just past the box
};

// The first box of a type among the boxes filling [from, to); a box whose size runs past `to`
// ends the search (the data is damaged or cut there).
std::optional<Box> Find(const std::uint8_t* d, std::size_t from, std::size_t to, const char* type) {
    std::size_t at = from;
    while (to - at >= 8) {
        std::uint64_t size = U32(d + at);
        std::size_t header = 8;
        if (size == 1) {
            if (to - at < 16)
                return std::nullopt;
            size = std::uint64_t(U32(d + at + 8)) << 32 | U32(d + at + 12);
            header = 16;
        } else if (size == 0) {
            size = to - at; // runs to the end of its container
        }
        if (size < header || size > to - at)
            return std::nullopt;
        if (Is(d + at + 4, type))
            return Box{at + header, at + std::size_t(size)};
        at += std::size_t(size);
    }
    return std::nullopt;
}

OutputFormat FormatOf(const std::uint8_t* brand) {
    for (const char* heic : {"heic", "heix", "hevc", "hevx"})
        if (Is(brand, heic))
            return OutputFormat::Heic;
    if (Is(brand, "avif") || Is(brand, "avis"))
        return OutputFormat::Avif;
    return OutputFormat::DontChange;
}

bool IsSequenceBrand(const std::uint8_t* brand) {
    return Is(brand, "msf1") || Is(brand, "hevc") || Is(brand, "hevx") || Is(brand, "avis");
}

// Samples of one track: trak / mdia / minf / stbl / stsz (or the compact stz2).
std::uint32_t TrackSamples(const std::uint8_t* d, const Box& trak) {
    const auto mdia = Find(d, trak.body, trak.end, "mdia");
    const auto minf = mdia ? Find(d, mdia->body, mdia->end, "minf") : std::nullopt;
    const auto stbl = minf ? Find(d, minf->body, minf->end, "stbl") : std::nullopt;
    if (!stbl)
        return 0;
    // Both are full boxes: version and flags (4), a size field (4), then the sample count.
    for (const char* type : {"stsz", "stz2"})
        if (const auto box = Find(d, stbl->body, stbl->end, type))
            if (box->end - box->body >= 12)
                return U32(d + box->body + 8);
    return 0;
}

} // namespace

Brands ReadBrands(const std::uint8_t* d, std::size_t n) {
    Brands brands;
    if (!d || n < 16 || !Is(d + 4, "ftyp"))
        return brands;
    const std::size_t size = std::min<std::size_t>(U32(d), n);
    if (size < 16)
        return brands;
    const std::uint8_t* major = d + 8;
    brands.sequence = IsSequenceBrand(major);
    brands.format = FormatOf(major);
    const bool general = Is(major, "mif1") || Is(major, "msf1");
    // Compatible brands follow the minor version, four bytes each.
    for (std::size_t at = 16; at + 4 <= size; at += 4) {
        brands.sequence = brands.sequence || IsSequenceBrand(d + at);
        if (general && brands.format == OutputFormat::DontChange)
            brands.format = FormatOf(d + at);
    }
    if (brands.format == OutputFormat::DontChange)
        brands.sequence = false;
    return brands;
}

std::uint32_t SequenceFrames(const std::uint8_t* d, std::size_t n) {
    if (!d)
        return 0;
    const auto moov = Find(d, 0, n, "moov");
    if (!moov)
        return 0;
    std::uint32_t frames = 0;
    for (std::size_t at = moov->body; at < moov->end;) {
        const auto trak = Find(d, at, moov->end, "trak");
        if (!trak)
            break;
        frames = std::max(frames, TrackSamples(d, *trak));
        at = trak->end;
    }
    return frames;
}

} // namespace rx::isobmff
