#include "tests/support/TestImages.h"

#include <fstream>
#include <stdexcept>

#include <QGuiApplication>
#include <boost/filesystem/operations.hpp>
#include <vips/vips8>

#include "engine/BmpCodec.h"
#include "engine/Imaging.h"

namespace fs = boost::filesystem;

namespace rxtest {

QImage MakePixels(const ImageSpec& s) {
    const QImage::Format fmt = s.bands == 1   ? QImage::Format_Grayscale8
                               : s.bands == 3 ? QImage::Format_RGB888
                                              : QImage::Format_RGBA8888;
    QImage img(s.width, s.height, fmt);
    for (int y = 0; y < s.height; ++y) {
        uchar* line = img.scanLine(y);
        for (int x = 0; x < s.width; ++x) {
            const int r = s.pattern ? (x * 255) / std::max(1, s.width - 1) : 128;
            const int g = s.pattern ? (y * 255) / std::max(1, s.height - 1) : 64;
            const int b = s.pattern ? ((x + y) * 7) & 255 : 32;
            const int a = s.pattern ? 255 - ((x * 3) & 127) : 200;
            if (s.bands == 1) {
                line[x] = static_cast<uchar>((r + g) / 2);
            } else if (s.bands == 3) {
                line[3 * x] = uchar(r), line[3 * x + 1] = uchar(g), line[3 * x + 2] = uchar(b);
            } else {
                const int grey = (r + g) / 2;
                line[4 * x] = uchar(s.bands == 2 ? grey : r);
                line[4 * x + 1] = uchar(s.bands == 2 ? grey : g);
                line[4 * x + 2] = uchar(s.bands == 2 ? grey : b);
                line[4 * x + 3] = uchar(a);
            }
        }
    }
    return img;
}

rx::Bytes MakeImage(rx::OutputFormat format, const ImageSpec& s) {
    using rx::OutputFormat;
    rx::EnsureImagingStarted();
    const QImage px = MakePixels(s);
    if (format == OutputFormat::Bmp) {
        rx::Bytes out;
        if (!rx::bmp::Encode(px, &out))
            throw std::runtime_error("bmp encode");
        return out;
    }
    const int bands = s.bands == 1 ? 1 : s.bands == 3 ? 3 : 4;
    std::vector<uchar> packed(size_t(s.width) * s.height * bands);
    for (int y = 0; y < s.height; ++y)
        std::memcpy(packed.data() + size_t(y) * s.width * bands, px.constScanLine(y),
                    size_t(s.width) * bands);
    vips::VImage frame = vips::VImage::new_from_memory(packed.data(), packed.size(), s.width,
                                                       s.height, bands, VIPS_FORMAT_UCHAR);
    if (s.bands == 2)
        frame = frame.extract_band(0).bandjoin(frame.extract_band(3));
    frame = frame.copy(vips::VImage::option()->set(
        "interpretation", s.bands <= 2 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
    vips::VImage img = frame;
    if (s.pages > 1) {
        std::vector<vips::VImage> rest;
        for (int p = 1; p < s.pages; ++p)
            rest.push_back(frame.invert());
        std::vector<vips::VImage> all{frame};
        all.insert(all.end(), rest.begin(), rest.end());
        img = vips::VImage::arrayjoin(all, vips::VImage::option()->set("across", 1));
        img.set(VIPS_META_PAGE_HEIGHT, s.height);
        if (format == OutputFormat::Gif || format == OutputFormat::Webp)
            img.set("delay", std::vector<int>(size_t(s.pages), 100));
    }
    if (s.bits > 8) // the 8-bit samples stretched to 16 bits; the saver keeps `bits` of them
        img = (img.cast(VIPS_FORMAT_USHORT) * 257)
                  .cast(VIPS_FORMAT_USHORT)
                  .copy(vips::VImage::option()->set("interpretation",
                                                    s.bands <= 2 ? VIPS_INTERPRETATION_GREY16
                                                                 : VIPS_INTERPRETATION_RGB16));
    img = img.copy();
    if (s.orientation)
        img.set(VIPS_META_ORIENTATION, s.orientation);
    if (!s.dateTime.empty())
        img.set("exif-ifd0-DateTime", s.dateTime.c_str());
    if (!s.model.empty())
        img.set("exif-ifd0-Model", s.model.c_str());
    if (!s.xmp.empty())
        vips_image_set_blob_copy(img.get_image(), VIPS_META_XMP_NAME, s.xmp.data(), s.xmp.size());
    if (s.icc) {
        VipsBlob* profile = nullptr;
        if (vips_profile_load("srgb", &profile, nullptr) != 0 || !profile)
            throw std::runtime_error("no built-in sRGB profile");
        size_t length = 0;
        const void* bytes = vips_blob_get(profile, &length);
        vips_image_set_blob_copy(img.get_image(), VIPS_META_ICC_NAME, bytes, length);
        vips_area_unref(VIPS_AREA(profile));
    }
    static const char* const savers[] = {"",
                                         "jpegsave_buffer",
                                         "pngsave_buffer",
                                         "",
                                         "gifsave_buffer",
                                         "tiffsave_buffer",
                                         "webpsave_buffer",
                                         "heifsave_buffer",
                                         "heifsave_buffer"};
    vips::VOption* options = vips::VImage::option();
    if (format == OutputFormat::Avif)
        options->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1);
    if (format == OutputFormat::Heic)
        options->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC);
    if (rx::IsHeifFormat(format) && s.bits > 8)
        options->set("bitdepth", s.bits);
    VipsBlob* blob = nullptr;
    vips::VImage::call(savers[rx::FormatNumber(format)],
                       options->set("in", img)->set("buffer", &blob));
    size_t size = 0;
    const auto* data = static_cast<const uint8_t*>(vips_blob_get(blob, &size));
    rx::Bytes out(data, data + size);
    vips_area_unref(VIPS_AREA(blob));
    return out;
}

bool CanEncode(rx::OutputFormat format) {
    try {
        return !MakeImage(format, {.width = 8, .height = 8}).empty();
    } catch (const vips::VError&) {
        vips_error_clear();
        return false;
    }
}

void WriteFile(const fs::path& path, const rx::Bytes& bytes) {
    std::ofstream f(path.string(), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path.string());
}

rx::Bytes ReadFile(const fs::path& path) {
    std::ifstream f(path.string(), std::ios::binary);
    return rx::Bytes(std::istreambuf_iterator<char>(f), {});
}

Decoded Inspect(const rx::Bytes& bytes) {
    rx::EnsureImagingStarted();
    Decoded d;
    if (rx::SniffFormat(bytes.data(), bytes.size()) == rx::OutputFormat::Bmp) {
        const QImage img = QImage::fromData(bytes.data(), int(bytes.size()), "bmp");
        d.ok = !img.isNull();
        d.width = img.width(), d.height = img.height();
        d.bands = img.hasAlphaChannel() ? 4 : img.isGrayscale() ? 1 : 3;
        d.loader = "bmp";
        return d;
    }
    try {
        const rx::OutputFormat format = rx::SniffFormat(bytes.data(), bytes.size());
        vips::VImage img = vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "",
                                                         format == rx::OutputFormat::Gif ||
                                                                 format == rx::OutputFormat::Tiff
                                                             ? vips::VImage::option()->set("n", -1)
                                                             : nullptr);
        d.width = img.width();
        d.height = vips_image_get_page_height(img.get_image());
        d.bands = img.bands();
        d.pages = img.height() / std::max(1, d.height);
        const char* loader = nullptr;
        if (img.get_typeof("vips-loader"))
            loader = img.get_string("vips-loader");
        d.loader = loader ? loader : "";
        if (img.get_typeof(VIPS_META_ORIENTATION))
            d.orientation = img.get_int(VIPS_META_ORIENTATION);
        (void)img.avg();
        d.ok = true;
    } catch (const vips::VError&) {
        vips_error_clear();
    }
    return d;
}

TempDir::TempDir() {
    path_ = fs::temp_directory_path() / fs::unique_path("rxtest-%%%%-%%%%-%%%%");
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    boost::system::error_code ec;
    fs::permissions(path_, fs::add_perms | fs::owner_all, ec);
    fs::remove_all(path_, ec);
}

void EnsureGuiApplication() {
    if (QGuiApplication::instance())
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "rexmill-tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

} // namespace rxtest
