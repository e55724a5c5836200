// Palette TIFF: a resize writes a palette TIFF again, on the source's colour table, with its
// compression, resolution and metadata; other files are not taken for palette files.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <tiff.h>
#include <vips/vips8>

#include "engine/Bitmap.h"
#include "engine/ExifReader.h"
#include "engine/Imaging.h"
#include "engine/ScaleImage.h"
#include "engine/TiffMetadata.h"
#include "engine/TiffPalette.h"
#include "tests/support/TestImages.h"

using namespace rx;
using rxtest::MakeImage;
using tiffpalette::Palette;

namespace {

Palette MakePalette(int bits, std::uint16_t compression) {
    Palette p;
    p.bits = bits;
    p.compression = compression;
    p.xResolution = p.yResolution = 300;
    p.resolutionUnit = 2;
    for (int i = 0; i < (1 << bits); ++i)
        p.colors.push_back(qRgb((i * 53) & 0xff, 255 - ((i * 29) & 0xff), (i * 97) & 0xff));
    return p;
}

// Vertical stripes of every palette colour.
QImage Stripes(const Palette& p, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, p.colors[(x * p.colors.size() / w) % p.colors.size()]);
    return img;
}

Bytes Scale(const Bytes& source, int w, int h) {
    StreamPtr out = ScaleImageStream(NewMemoryStream(source.data(), source.size()), w, h);
    return out && out->Contents() ? *out->Contents() : Bytes{};
}

// The distinct colours of a decoded file, or nothing when it cannot be decoded.
std::set<QRgb> Colours(const Bytes& file, int* width, int* height) {
    EnsureImagingStarted();
    vips::VImage img = vips::VImage::new_from_buffer(file.data(), file.size(), "");
    img = img.colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR);
    if (img.bands() > 3)
        img = img.extract_band(0, vips::VImage::option()->set("n", 3));
    *width = img.width();
    *height = img.height();
    size_t size = 0;
    void* mem = img.write_to_memory(&size);
    std::set<QRgb> out;
    const auto* p = static_cast<const std::uint8_t*>(mem);
    for (size_t i = 0; i + 2 < size; i += 3)
        out.insert(qRgb(p[i], p[i + 1], p[i + 2]));
    g_free(mem);
    return out;
}

} // namespace

TEST(TiffPalette, WrittenPaletteReadsBackWithItsDepthColoursAndCompression) {
    for (const auto& [bits, compression] :
         {std::pair{1, COMPRESSION_NONE}, std::pair{4, COMPRESSION_LZW},
          std::pair{8, COMPRESSION_ADOBE_DEFLATE}}) {
        const Palette p = MakePalette(bits, std::uint16_t(compression));
        const int width = std::max(37, 1 << bits); // room for every colour
        const Bytes file = tiffpalette::WritePaletteTiff(Stripes(p, width, 9), p, {});
        ASSERT_FALSE(file.empty()) << bits;
        const auto back = tiffpalette::ReadPalette(file.data(), file.size());
        ASSERT_TRUE(back) << bits;
        EXPECT_EQ(back->bits, bits);
        EXPECT_EQ(back->colors, p.colors);
        EXPECT_EQ(back->compression, compression);
        EXPECT_FLOAT_EQ(back->xResolution, 300);
        int w = 0, h = 0;
        const std::set<QRgb> seen = Colours(file, &w, &h);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, 9);
        EXPECT_EQ(seen, std::set<QRgb>(p.colors.begin(), p.colors.end())) << bits;
    }
}

TEST(TiffPalette, ResizeKeepsThePaletteAndTheMetadata) {
    const Palette p = MakePalette(4, COMPRESSION_LZW);
    tiffpalette::Blocks blocks;
    const std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>palette</x:xmpmeta>";
    blocks.xmp.assign(xmp.begin(), xmp.end());
    Bytes source = tiffpalette::WritePaletteTiff(Stripes(p, 64, 48), p, blocks);
    ASSERT_FALSE(source.empty());
    // Camera tags, as a JPEG's EXIF block would bring them.
    const Bytes jpeg =
        MakeImage(OutputFormat::Jpeg, {.width = 8, .height = 8, .model = "Palette-1"});
    auto bitmap = Bitmap::FromData(std::make_shared<const Bytes>(jpeg));
    ASSERT_TRUE(bitmap && bitmap->Exif());
    const Bytes exif = *bitmap->Exif();
    ASSERT_TRUE(tiffmeta::AddExifToTiff(source, exif.data(), exif.size(), 64, 48));

    const Bytes resized = Scale(source, 32, 24);
    ASSERT_FALSE(resized.empty());
    const auto back = tiffpalette::ReadPalette(resized.data(), resized.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->bits, 4);
    EXPECT_EQ(back->colors, p.colors);
    EXPECT_EQ(back->compression, COMPRESSION_LZW);
    int w = 0, h = 0;
    for (QRgb c : Colours(resized, &w, &h))
        EXPECT_TRUE(p.colors.contains(c)) << std::hex << c;
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 24);
    const Bytes kept = tiffmeta::ExifBlockFromTiff(resized.data(), resized.size());
    EXPECT_EQ(ReadExifAscii(kept.data(), kept.size(), 272).value_or(""), "Palette-1");
    const vips::VImage loaded = vips::VImage::new_from_buffer(resized.data(), resized.size(), "");
    EXPECT_TRUE(loaded.get_typeof(VIPS_META_XMP_NAME));
}

TEST(TiffPalette, OtherFilesAreNotPaletteFiles) {
    EXPECT_FALSE(tiffpalette::ReadPalette(nullptr, 0));
    const Bytes rgb = MakeImage(OutputFormat::Tiff, {.width = 16, .height = 8});
    EXPECT_FALSE(tiffpalette::ReadPalette(rgb.data(), rgb.size()));
    const Bytes pages = MakeImage(OutputFormat::Tiff, {.width = 16, .height = 8, .pages = 2});
    EXPECT_FALSE(tiffpalette::ReadPalette(pages.data(), pages.size()));
    Bytes garbage = {'I', 'I', 42, 0, 200, 0, 0, 0, 1, 2, 3};
    EXPECT_FALSE(tiffpalette::ReadPalette(garbage.data(), garbage.size()));
    // An RGB TIFF still resizes as RGB.
    int w = 0, h = 0;
    const Bytes scaled = Scale(rgb, 8, 4);
    EXPECT_FALSE(tiffpalette::ReadPalette(scaled.data(), scaled.size()));
    EXPECT_FALSE(Colours(scaled, &w, &h).empty());
    EXPECT_EQ(w, 8);
}
