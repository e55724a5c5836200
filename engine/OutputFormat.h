// The image formats the program reads and writes. Inside the program a format is always an
// OutputFormat; it becomes a number only where it is stored or typed (the format list's index,
// the command line's digit), and comes back through OutputFormatFromNumber. The numbers never
// change meaning: new formats are added at the end.
#pragma once

#include <array>

namespace rx {

enum class OutputFormat : int {
    DontChange = 0, // for a record: not known yet, or none of the formats below
    Jpeg = 1,
    Png = 2,
    Bmp = 3,
    Gif = 4,
    Tiff = 5,
    Webp = 6,
    Avif = 7,
    // Read, and written again in its own format, but never a conversion target.
    Heic = 8,
};

// Entries of the format list: "Don't change" and the conversion targets, in list order.
constexpr std::array<OutputFormat, 8> kOutputFormats = {
    OutputFormat::DontChange, OutputFormat::Jpeg, OutputFormat::Png,  OutputFormat::Bmp,
    OutputFormat::Gif,        OutputFormat::Tiff, OutputFormat::Webp, OutputFormat::Avif};
// Every format a record can have (0 to 8), for tables indexed by FormatNumber.
constexpr int kImageFormatCount = 9;

// The number a format is stored as (its place in the format list; HEIC 8).
constexpr int FormatNumber(OutputFormat format) {
    return static_cast<int>(format);
}

// The entry of the format list a stored number stands for; a number outside the list (negative,
// 8 for HEIC, anything larger) gives the default, "Don't change".
OutputFormat OutputFormatFromNumber(long long number);

// JPEG to AVIF: what a file can be converted to.
constexpr bool IsConversionTarget(OutputFormat format) {
    return format >= OutputFormat::Jpeg && format <= OutputFormat::Avif;
}

// AVIF and HEIC: the two formats of the HEIF container, read and written through libheif.
constexpr bool IsHeifFormat(OutputFormat format) {
    return format == OutputFormat::Avif || format == OutputFormat::Heic;
}

// "Don't change", "JPEG", "PNG", "BMP", "GIF", "TIFF", "WebP", "AVIF", "HEIC"; empty for a value
// outside the enumeration.
const wchar_t* OutputFormatName(OutputFormat format);
// ".jpeg", ".png", ".bmp", ".gif", ".tiff", ".webp", ".avif", ".heic"; empty for DontChange and
// for a value outside the enumeration.
const char* OutputFormatExtension(OutputFormat format);

} // namespace rx
