#include "engine/OutputFormat.h"

#include <cstddef>

namespace rx {

OutputFormat OutputFormatFromNumber(long long number) {
    return number >= 0 && number < static_cast<long long>(kOutputFormats.size())
               ? kOutputFormats[static_cast<std::size_t>(number)]
               : OutputFormat::DontChange;
}

const wchar_t* OutputFormatName(OutputFormat format) {
    static const wchar_t* const names[kImageFormatCount] = {
        L"Don't change", L"JPEG", L"PNG", L"BMP", L"GIF", L"TIFF", L"WebP", L"AVIF", L"HEIC"};
    const int i = FormatNumber(format);
    return i >= 0 && i < kImageFormatCount ? names[i] : L"";
}

const char* OutputFormatExtension(OutputFormat format) {
    static const char* const ext[kImageFormatCount] = {"",      ".jpeg", ".png",  ".bmp", ".gif",
                                                       ".tiff", ".webp", ".avif", ".heic"};
    const int i = FormatNumber(format);
    return i >= 0 && i < kImageFormatCount ? ext[i] : "";
}

} // namespace rx
