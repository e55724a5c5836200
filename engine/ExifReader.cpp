#include "engine/ExifReader.h"

#include <cstring>

#include "engine/TiffReader.h"

namespace rx {
namespace {

// The reader of the block's TIFF structure and the IFD0 entry of a tag.
std::optional<std::size_t> FindEntry(TiffReader& t, std::uint16_t tag) {
    const std::uint32_t ifd = t.header();
    if (ifd == 0)
        return std::nullopt;
    return t.entry(ifd, tag);
}

TiffReader BlockReader(const std::uint8_t* data, size_t size) {
    if (data && size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0)
        return TiffReader(data + 6, size - 6);
    return TiffReader(data, size);
}

} // namespace

std::optional<std::string> ReadExifAscii(const std::uint8_t* data, size_t size, std::uint16_t tag) {
    TiffReader t = BlockReader(data, size);
    const auto entry = FindEntry(t, tag);
    if (!entry || t.u16(*entry + 2) != 2)
        return std::nullopt;
    const std::uint32_t count = t.u32(*entry + 4);
    const size_t at = count > 4 ? t.u32(*entry + 8) : *entry + 8;
    if (!t.fits(at, count))
        return std::nullopt;
    std::string s(reinterpret_cast<const char*>(t.data() + at), count);
    if (const auto nul = s.find('\0'); nul != std::string::npos)
        s.resize(nul);
    return s;
}

std::optional<int> ReadExifShort(const std::uint8_t* data, size_t size, std::uint16_t tag) {
    TiffReader t = BlockReader(data, size);
    const auto entry = FindEntry(t, tag);
    if (!entry || t.u16(*entry + 2) != 3 || !t.fits(*entry + 8, 2))
        return std::nullopt;
    return t.u16(*entry + 8);
}

} // namespace rx
