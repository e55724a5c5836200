#include "engine/Imaging.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <QImageReader>
#include <tiffio.h>
#include <vips/vips8>

#include "engine/DebugLog.h"
#include "engine/IsoBmff.h"
#include "engine/OutputFormat.h"

namespace rx {
namespace {
std::atomic<std::uint64_t> g_decodes{0};

// libvips reports damaged input as warnings on stderr; they belong with the other diagnostics.
void ForwardVipsWarning(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
    DebugLog(L"vips: %S\n", message ? message : "");
}
// libtiff's warnings (unknown tags, unsorted directories: common in camera files) are
// diagnostics too, never standard error.
void ForwardTiffWarning(const char* module, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    DebugLog(L"libtiff: %S: %S\n", module ? module : "", text);
}
} // namespace

void EnsureImagingStarted() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("rexmill") != 0)
            vips_error_clear();
        // Only the formats' own loaders run; anything that could reach scripts, external
        // programs or vector formats is blocked, even if a caller asked for it by name.
        g_log_set_handler("VIPS",
                          static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                          ForwardVipsWarning, nullptr);
        TIFFSetWarningHandler(ForwardTiffWarning);
        vips_block_untrusted_set(TRUE);
        vips_operation_block_set("VipsForeignLoadMagick", TRUE);
        vips_operation_block_set("VipsForeignLoadSvg", TRUE);
        vips_operation_block_set("VipsForeignLoadPdf", TRUE);
        vips_operation_block_set("VipsForeignSaveMagick", TRUE);
        // One file at a time goes through: no point in keeping operations around.
        vips_cache_set_max(0);
        vips_concurrency_set(0);
        // Qt's BMP reader: room for the largest frame we accept, 4 bytes a pixel.
        QImageReader::setAllocationLimit(static_cast<int>(kMaxFramePixels * 4 / (1024 * 1024)));
    });
}

void SetImagingThreads(int threads) {
    EnsureImagingStarted();
    vips_concurrency_set(threads > 0 ? threads : 0);
}

OutputFormat SniffFormat(const std::uint8_t* d, size_t n) {
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF)
        return OutputFormat::Jpeg;
    if (n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0)
        return OutputFormat::Png;
    if (n >= 14 && d[0] == 'B' && d[1] == 'M')
        return OutputFormat::Bmp;
    if (n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0))
        return OutputFormat::Gif;
    if (n >= 4 && (std::memcmp(d, "II*\0", 4) == 0 || std::memcmp(d, "MM\0*", 4) == 0))
        return OutputFormat::Tiff;
    if (n >= 16 && std::memcmp(d, "RIFF", 4) == 0 && std::memcmp(d + 8, "WEBP", 4) == 0)
        return OutputFormat::Webp;
    return isobmff::ReadBrands(d, n).format;
}

std::uint64_t PixelDecodeCount() {
    return g_decodes.load();
}
void CountPixelDecode() {
    ++g_decodes;
}

} // namespace rx
