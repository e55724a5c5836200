#include "engine/OutputFormat.h"

namespace rx {

const wchar_t* OutputFormatName(int index) {
    static const wchar_t* const names[] = {L"Don't change", L"JPEG", L"PNG",
                                           L"BMP",          L"GIF",  L"TIFF"};
    return index >= 0 && index < kOutputFormatCount ? names[index] : L"";
}

const char* OutputFormatExtension(int index) {
    static const char* const ext[] = {"", ".jpeg", ".png", ".bmp", ".gif", ".tiff"};
    return index >= 0 && index < kOutputFormatCount ? ext[index] : "";
}

} // namespace rx
