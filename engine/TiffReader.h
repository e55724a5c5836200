// Bounds-checked reading of a TIFF structure held in memory (a TIFF file, or the TIFF part of
// an EXIF block) in its own byte order. Reads that fall outside the data give 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace rx {

class TiffReader {
public:
    TiffReader(const std::uint8_t* data, std::size_t size) : d_(data), n_(data ? size : 0) {}

    // Reads the byte order and returns the first directory's offset; 0 when the data are not
    // a classic TIFF structure.
    std::uint32_t header() {
        if (n_ < 8 || !((d_[0] == 'I' && d_[1] == 'I') || (d_[0] == 'M' && d_[1] == 'M')))
            return 0;
        little_ = d_[0] == 'I';
        return u16(2) == 42 ? u32(4) : 0;
    }
    bool little() const { return little_; }
    const std::uint8_t* data() const { return d_; }
    std::size_t size() const { return n_; }

    bool fits(std::size_t at, std::size_t length) const { return at <= n_ && length <= n_ - at; }
    std::uint16_t u16(std::size_t at) const {
        if (!fits(at, 2))
            return 0;
        return little_ ? std::uint16_t(d_[at] | d_[at + 1] << 8)
                       : std::uint16_t(d_[at] << 8 | d_[at + 1]);
    }
    std::uint32_t u32(std::size_t at) const {
        return little_ ? std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16
                       : std::uint32_t(u16(at)) << 16 | u16(at + 2);
    }

    // The offset of the entry for `tag` in the directory at `directory`, if it has one.
    std::optional<std::size_t> entry(std::uint32_t directory, std::uint16_t tag) const {
        const std::uint16_t count = u16(directory);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = std::size_t(directory) + 2 + i * 12;
            if (!fits(at, 12))
                return std::nullopt;
            if (u16(at) == tag)
                return at;
        }
        return std::nullopt;
    }
    // The value of an entry that holds one SHORT or LONG.
    std::optional<std::uint32_t> number(std::size_t entry) const {
        const std::uint16_t type = u16(entry + 2);
        if (u32(entry + 4) != 1 || (type != 3 && type != 4))
            return std::nullopt;
        return type == 3 ? u16(entry + 8) : u32(entry + 8);
    }

private:
    const std::uint8_t* d_;
    std::size_t n_;
    bool little_ = true;
};

} // namespace rx
