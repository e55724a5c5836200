// The image formats the program reads and writes, by their index in the format list. The indexes
// never change meaning: new formats are added at the end.
#pragma once

namespace rx {

enum OutputFormat : int {
    FormatDontChange = 0, // for a record: not known yet, or none of the formats below
    FormatJpeg = 1,
    FormatPng = 2,
    FormatBmp = 3,
    FormatGif = 4,
    FormatTiff = 5,
    FormatWebp = 6,
    FormatAvif = 7,
    // Read, and written again in its own format, but never a conversion target.
    FormatHeic = 8,
};

// Entries of the format list: "Don't change" and the conversion targets (0 to 7).
constexpr int kOutputFormatCount = 8;
// Every format a record can have (0 to 8).
constexpr int kImageFormatCount = 9;

// AVIF and HEIC: the two formats of the HEIF container, read and written through libheif.
constexpr bool IsHeifFormat(int format) {
    return format == FormatAvif || format == FormatHeic;
}

// "Don't change", "JPEG", "PNG", "BMP", "GIF", "TIFF", "WebP", "AVIF", "HEIC".
const wchar_t* OutputFormatName(int index);
// ".jpeg", ".png", ".bmp", ".gif", ".tiff", ".webp", ".avif", ".heic"; empty for 0 and
// out-of-range indexes.
const char* OutputFormatExtension(int index);

} // namespace rx
