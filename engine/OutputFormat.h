// The five image formats the program reads and writes, by their index in the format list.
#pragma once

namespace rx {

enum OutputFormat : int {
    FormatDontChange = 0, // for a record: not known yet, or none of the five
    FormatJpeg = 1,
    FormatPng = 2,
    FormatBmp = 3,
    FormatGif = 4,
    FormatTiff = 5,
};

constexpr int kOutputFormatCount = 6;

// "Don't change", "JPEG", "PNG", "BMP", "GIF", "TIFF".
const wchar_t* OutputFormatName(int index);
// ".jpeg", ".png", ".bmp", ".gif", ".tiff"; empty for 0 and out-of-range indexes.
const char* OutputFormatExtension(int index);

} // namespace rx
