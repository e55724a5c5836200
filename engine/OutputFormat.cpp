#include "engine/OutputFormat.h"

namespace rx {

const wchar_t* OutputFormatName(int index) {
    static const wchar_t* const names[] = {L"Don't change", L"JPEG", L"PNG",  L"BMP", L"GIF",
                                           L"TIFF",         L"WebP", L"AVIF", L"HEIC"};
    return index >= 0 && index < kImageFormatCount ? names[index] : L"";
}

const char* OutputFormatExtension(int index) {
    static const char* const ext[] = {"",      ".jpeg", ".png",  ".bmp", ".gif",
                                      ".tiff", ".webp", ".avif", ".heic"};
    return index >= 0 && index < kImageFormatCount ? ext[index] : "";
}

} // namespace rx
