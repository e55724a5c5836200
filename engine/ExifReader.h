// Reads single ASCII tags from an EXIF block (the TIFF structure of an APP1 or eXIf chunk).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace rx {

constexpr std::uint16_t kExifTagDateTime = 0x0132;
constexpr std::uint16_t kExifTagOrientation = 0x0112;

// The ASCII value of a tag of IFD0, without its terminating NUL. The block may start with the
// "Exif\0\0" marker. Every offset is bounds-checked; a malformed block gives nothing.
std::optional<std::string> ReadExifAscii(const std::uint8_t* data, size_t size, std::uint16_t tag);

// The SHORT value of a tag of IFD0 (e.g. the orientation).
std::optional<int> ReadExifShort(const std::uint8_t* data, size_t size, std::uint16_t tag);

} // namespace rx
