// Builders of small encoded test images and helpers for temporary folders, shared by the tests.
#pragma once

#include <cstdint>
#include <cwchar>
#include <ostream>
#include <string>
#include <vector>

#include <QImage>
#include <boost/filesystem/path.hpp>

#include "engine/OutputFormat.h"
#include "engine/Stream.h"

namespace rx {
// Test failures name the format ("WebP (6)") instead of printing its bytes.
inline void PrintTo(OutputFormat format, std::ostream* os) {
    const wchar_t* name = OutputFormatName(format);
    *os << std::string(name, name + std::wcslen(name)) << " (" << FormatNumber(format) << ")";
}
} // namespace rx

namespace rxtest {

// The five formats every build reads and writes, in list order.
constexpr rx::OutputFormat kClassicFormats[] = {rx::OutputFormat::Jpeg, rx::OutputFormat::Png,
                                                rx::OutputFormat::Bmp, rx::OutputFormat::Gif,
                                                rx::OutputFormat::Tiff};

struct ImageSpec {
    int width = 64;
    int height = 48;
    int bands = 3;        // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    int orientation = 0;  // EXIF orientation to store (0: no EXIF orientation)
    std::string dateTime; // EXIF DateTime to store ("" for none)
    std::string model;    // EXIF camera model ("" for none)
    int pages = 1;        // pages (TIFF, HEIF) or frames (GIF, WebP)
    bool pattern = true;  // a gradient, not a flat colour
    std::string xmp;      // an XMP packet to store ("" for none)
    bool icc = false;     // embed libvips' built-in sRGB profile
    int bits = 8;         // 10 or 12: HEIF samples of that depth
};

// Encodes a synthetic image in a format (any but DontChange) with the format's libvips saver
// (BMP with Qt's).
rx::Bytes MakeImage(rx::OutputFormat format, const ImageSpec& spec = {});
// Whether this system's libvips can write the format (HEIC and AVIF need libheif's encoders);
// tests of those formats skip when it cannot.
bool CanEncode(rx::OutputFormat format);
// The same as a QImage (RGB888 or with alpha RGBA8888, grey Grayscale8), before encoding.
QImage MakePixels(const ImageSpec& spec);

void WriteFile(const boost::filesystem::path& path, const rx::Bytes& bytes);
rx::Bytes ReadFile(const boost::filesystem::path& path);

// Decodes a file's bytes with libvips for checking (width, height, bands, pages, format name).
struct Decoded {
    int width = 0, height = 0, bands = 0, pages = 1, orientation = 1;
    std::string loader;
    bool ok = false;
};
Decoded Inspect(const rx::Bytes& bytes);

// A fresh temporary folder, removed with its content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const boost::filesystem::path& path() const { return path_; }
    boost::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    boost::filesystem::path path_;
};

// Makes the process's QGuiApplication on the offscreen platform unless one exists (text needs
// fonts); it lives for the whole program.
void EnsureGuiApplication();

} // namespace rxtest
