#include "engine/ExifReader.h"

#include <cstring>

namespace rx {
namespace {

struct Tiff {
    const std::uint8_t* d = nullptr;
    size_t n = 0;
    bool little = true;

    bool U16(size_t at, std::uint16_t* v) const {
        if (at > n || n - at < 2)
            return false;
        *v = little ? static_cast<std::uint16_t>(d[at] | d[at + 1] << 8)
                    : static_cast<std::uint16_t>(d[at] << 8 | d[at + 1]);
        return true;
    }
    bool U32(size_t at, std::uint32_t* v) const {
        if (at > n || n - at < 4)
            return false;
        *v = little ? (std::uint32_t(d[at]) | std::uint32_t(d[at + 1]) << 8 |
                       std::uint32_t(d[at + 2]) << 16 | std::uint32_t(d[at + 3]) << 24)
                    : (std::uint32_t(d[at]) << 24 | std::uint32_t(d[at + 1]) << 16 |
                       std::uint32_t(d[at + 2]) << 8 | std::uint32_t(d[at + 3]));
        return true;
    }
};

// Finds the IFD0 entry of a tag; returns the entry's offset.
std::optional<size_t> FindEntry(Tiff& t, const std::uint8_t* data, size_t size, std::uint16_t tag) {
    if (size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) {
        data += 6;
        size -= 6;
    }
    if (size < 8)
        return std::nullopt;
    t.d = data;
    t.n = size;
    if (data[0] == 'I' && data[1] == 'I')
        t.little = true;
    else if (data[0] == 'M' && data[1] == 'M')
        t.little = false;
    else
        return std::nullopt;
    std::uint32_t ifd = 0;
    std::uint16_t count = 0;
    if (!t.U32(4, &ifd) || !t.U16(ifd, &count))
        return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
        const size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
        std::uint16_t id = 0;
        if (!t.U16(entry, &id))
            return std::nullopt;
        if (id == tag)
            return entry;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ReadExifAscii(const std::uint8_t* data, size_t size, std::uint16_t tag) {
    Tiff t;
    const auto entry = FindEntry(t, data, size, tag);
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    if (!entry || !t.U16(*entry + 2, &type) || type != 2 || !t.U32(*entry + 4, &count))
        return std::nullopt;
    size_t at = *entry + 8;
    if (count > 4) {
        std::uint32_t off = 0;
        if (!t.U32(*entry + 8, &off))
            return std::nullopt;
        at = off;
    }
    if (at > t.n || t.n - at < count)
        return std::nullopt;
    std::string s(reinterpret_cast<const char*>(t.d + at), count);
    if (const auto nul = s.find('\0'); nul != std::string::npos)
        s.resize(nul);
    return s;
}

std::optional<int> ReadExifShort(const std::uint8_t* data, size_t size, std::uint16_t tag) {
    Tiff t;
    const auto entry = FindEntry(t, data, size, tag);
    std::uint16_t type = 0, value = 0;
    if (!entry || !t.U16(*entry + 2, &type) || type != 3 || !t.U16(*entry + 8, &value))
        return std::nullopt;
    return value;
}

} // namespace rx
