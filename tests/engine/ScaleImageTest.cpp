#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <vips/vips8>

#include "engine/Imaging.h"
#include "engine/ScaleImage.h"
#include "tests/support/TestImages.h"

using namespace rx;
using rxtest::ImageSpec;
using rxtest::Inspect;
using rxtest::MakeImage;

namespace {

Bytes Scale(const Bytes& source, int w, int h) {
    StreamPtr out = ScaleImageStream(NewMemoryStream(source.data(), source.size()), w, h);
    if (!out)
        return {};
    SharedBytes bytes = out->Contents();
    return bytes ? *bytes : Bytes{};
}

// Encodes a libvips image with a saver and its options, for sources the shared builder lacks.
Bytes SaveWith(const vips::VImage& image, const char* saver, vips::VOption* options) {
    VipsBlob* blob = nullptr;
    vips::VImage in = image;
    vips::VImage::call(saver, options->set("in", in)->set("buffer", &blob));
    size_t size = 0;
    const auto* data = static_cast<const std::uint8_t*>(vips_blob_get(blob, &size));
    Bytes out(data, data + size);
    vips_area_unref(VIPS_AREA(blob));
    return out;
}

vips::VImage Open(const Bytes& bytes) {
    return vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "",
                                         vips::VImage::option()->set("access", VIPS_ACCESS_RANDOM));
}

std::string Field(const vips::VImage& image, const char* name) {
    if (!image.get_typeof(name))
        return "";
    return image.get_string(name);
}

// PNG header: bit depth and colour type from IHDR.
std::pair<int, int> PngDepthAndType(const Bytes& png) {
    if (png.size() < 26)
        return {0, -1};
    return {png[24], png[25]};
}

} // namespace

TEST(FitInside, ShrinksOnlyWhatIsTooLargeAndNeverEnlarges) {
    EXPECT_EQ(FitInside(640, 480, 800, 800), QSize(640, 480));
    EXPECT_EQ(FitInside(1600, 1200, 800, 800), QSize(800, 600));
    EXPECT_EQ(FitInside(1200, 1600, 800, 800), QSize(600, 800));
    // Width fits the box first, then the height: both ratios apply in turn.
    EXPECT_EQ(FitInside(4000, 1000, 1000, 100), QSize(400, 100));
    EXPECT_EQ(FitInside(333, 1000, 1000, 500), QSize(167, 500)); // 166.5 rounds up
    EXPECT_EQ(RoundPixels(0.4), 0);
    EXPECT_EQ(RoundPixels(2.5), 3);
}

TEST(ScaleImageStream, DeliversExactlyTheAskedSize) {
    const Bytes jpeg = MakeImage(OutputFormat::Jpeg, {.width = 333, .height = 1000});
    for (const QSize size : {QSize(167, 500), QSize(1, 1), QSize(333, 999), QSize(701, 23)}) {
        const auto d = Inspect(Scale(jpeg, size.width(), size.height()));
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(QSize(d.width, d.height), size);
        EXPECT_EQ(d.loader, "jpegload_buffer");
    }
    const auto up = Inspect(Scale(MakeImage(OutputFormat::Png, {.width = 7, .height = 5}), 23, 17));
    EXPECT_EQ(QSize(up.width, up.height), QSize(23, 17));
}

TEST(ScaleImageStream, JpegKeepsExifWithNewDimensions) {
    const Bytes jpeg = MakeImage(
        OutputFormat::Jpeg,
        {.width = 400, .height = 300, .dateTime = "2021:06:01 10:20:30", .model = "RX-100"});
    const Bytes out = Scale(jpeg, 100, 75);
    ASSERT_FALSE(out.empty());
    const vips::VImage img = Open(out);
    EXPECT_EQ(img.width(), 100);
    EXPECT_EQ(Field(img, "exif-ifd0-DateTime").rfind("2021:06:01 10:20:30", 0), 0u);
    EXPECT_EQ(Field(img, "exif-ifd0-Model").rfind("RX-100", 0), 0u);
    EXPECT_EQ(std::atoi(Field(img, "exif-ifd2-PixelXDimension").c_str()), 100);
    EXPECT_EQ(std::atoi(Field(img, "exif-ifd2-PixelYDimension").c_str()), 75);

    // PNG carries EXIF too (here taken over from the JPEG).
    const vips::VImage withExif = Open(jpeg);
    const Bytes png = Scale(SaveWith(withExif, "pngsave_buffer", vips::VImage::option()), 20, 15);
    const vips::VImage small = Open(png);
    EXPECT_EQ(Field(small, "exif-ifd0-Model").rfind("RX-100", 0), 0u);
}

TEST(ScaleImageStream, JpegKeepsXmpIccAndCmyk) {
    const Bytes plain = MakeImage(OutputFormat::Jpeg, {.width = 120, .height = 80});
    const vips::VImage rgb = Open(plain);
    // The built-in profiles attach themselves to the converted image.
    vips::VImage cmyk =
        rgb.icc_transform("cmyk", vips::VImage::option()->set("input_profile", "srgb"));
    cmyk = cmyk.copy();
    const std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>rexmill-test</x:xmpmeta>";
    vips_image_set_blob_copy(cmyk.get_image(), VIPS_META_XMP_NAME, xmp.data(), xmp.size());
    const Bytes source = SaveWith(cmyk, "jpegsave_buffer", vips::VImage::option());
    const Bytes out = Scale(source, 60, 40);
    ASSERT_FALSE(out.empty());
    const vips::VImage img = Open(out);
    EXPECT_EQ(img.bands(), 4);
    EXPECT_EQ(img.interpretation(), VIPS_INTERPRETATION_CMYK);
    EXPECT_EQ(img.width(), 60);
    ASSERT_TRUE(img.get_typeof(VIPS_META_ICC_NAME));
    size_t iccSize = 0;
    img.get_blob(VIPS_META_ICC_NAME, &iccSize);
    size_t sourceIcc = 0;
    Open(source).get_blob(VIPS_META_ICC_NAME, &sourceIcc);
    EXPECT_EQ(iccSize, sourceIcc);
    ASSERT_TRUE(img.get_typeof(VIPS_META_XMP_NAME));
    size_t xmpSize = 0;
    const void* xmpData = img.get_blob(VIPS_META_XMP_NAME, &xmpSize);
    EXPECT_NE(std::string(static_cast<const char*>(xmpData), xmpSize).find("rexmill-test"),
              std::string::npos);
}

TEST(ScaleImageStream, TurnedJpegIsScaledByItsUprightSizeAndStoredUpright) {
    // Stored 300 wide and 400 tall, orientation 6: the user sees 400 x 300.
    const Bytes jpeg =
        MakeImage(OutputFormat::Jpeg, {.width = 300, .height = 400, .orientation = 6});
    const Bytes out = Scale(jpeg, 200, 150);
    const auto d = Inspect(out);
    EXPECT_EQ(d.width, 200);
    EXPECT_EQ(d.height, 150);
    EXPECT_EQ(d.orientation, 1);
    // The stored red ramp runs along x; upright it runs along y.
    const vips::VImage red = Open(out).extract_band(0);
    const double top = red.crop(0, 0, 200, 10).avg(), bottom = red.crop(0, 140, 200, 10).avg();
    const double left = red.crop(0, 0, 10, 150).avg(), right = red.crop(190, 0, 10, 150).avg();
    EXPECT_GT(std::abs(top - bottom), 150);
    EXPECT_LT(std::abs(left - right), 30);
}

TEST(ScaleImageStream, EveryTiffPageAndGifFrameIsScaled) {
    const auto tiff = Inspect(
        Scale(MakeImage(OutputFormat::Tiff, {.width = 60, .height = 40, .pages = 3}), 30, 20));
    EXPECT_EQ(tiff.loader, "tiffload_buffer");
    EXPECT_EQ(tiff.pages, 3);
    EXPECT_EQ(tiff.width, 30);
    EXPECT_EQ(tiff.height, 20);
    const auto gif = Inspect(
        Scale(MakeImage(OutputFormat::Gif, {.width = 60, .height = 40, .pages = 2}), 90, 60));
    EXPECT_EQ(gif.loader, "gifload_buffer");
    EXPECT_EQ(gif.pages, 2);
    EXPECT_EQ(gif.width, 90);
    EXPECT_EQ(gif.height, 60);
}

TEST(ScaleImageStream, PngKeepsGreyPaletteDepthAndAlpha) {
    const Bytes grey =
        Scale(MakeImage(OutputFormat::Png, {.width = 80, .height = 60, .bands = 1}), 40, 30);
    EXPECT_EQ(PngDepthAndType(grey), std::make_pair(8, 0));
    EXPECT_EQ(Inspect(grey).bands, 1);

    const Bytes rgba =
        Scale(MakeImage(OutputFormat::Png, {.width = 80, .height = 60, .bands = 4}), 40, 30);
    EXPECT_EQ(PngDepthAndType(rgba), std::make_pair(8, 6));

    const Bytes rgbPng = MakeImage(OutputFormat::Png, {.width = 80, .height = 60});
    const vips::VImage rgb = Open(rgbPng);
    const Bytes palette = SaveWith(
        rgb, "pngsave_buffer", vips::VImage::option()->set("palette", TRUE)->set("bitdepth", 4));
    ASSERT_EQ(PngDepthAndType(palette), std::make_pair(4, 3));
    EXPECT_EQ(PngDepthAndType(Scale(palette, 40, 30)), std::make_pair(4, 3));

    const Bytes deep = SaveWith(
        (rgb.cast(VIPS_FORMAT_USHORT) * 257)
            .cast(VIPS_FORMAT_USHORT)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16)),
        "pngsave_buffer", vips::VImage::option());
    ASSERT_EQ(PngDepthAndType(deep), std::make_pair(16, 2));
    EXPECT_EQ(PngDepthAndType(Scale(deep, 40, 30)), std::make_pair(16, 2));
}

TEST(ScaleImageStream, OneBitTiffStaysOneBit) {
    const Bytes grey = MakeImage(OutputFormat::Png, {.width = 64, .height = 64, .bands = 1});
    const vips::VImage bw = Open(grey) > 128;
    const Bytes tiff =
        SaveWith(bw.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W)),
                 "tiffsave_buffer", vips::VImage::option()->set("bitdepth", 1));
    const Bytes out = Scale(tiff, 32, 32);
    ASSERT_FALSE(out.empty());
    const vips::VImage img = Open(out);
    EXPECT_EQ(img.width(), 32);
    EXPECT_EQ(img.bands(), 1);
    // One bit per pixel: 32 lines of 4 bytes hold the whole picture uncompressed.
    EXPECT_LT(out.size(), tiff.size());
}

TEST(ScaleImageStream, BmpStaysBmp) {
    const auto d =
        Inspect(Scale(MakeImage(OutputFormat::Bmp, {.width = 50, .height = 50}), 20, 10));
    EXPECT_EQ(d.loader, "bmp");
    EXPECT_EQ(d.width, 20);
    EXPECT_EQ(d.height, 10);
}

TEST(ScaleImageStream, DownscaleAveragesInsteadOfAliasing) {
    // A one-pixel checkerboard has no detail a smaller image can show: every target pixel
    // must come out mid-grey, whatever the factor.
    const vips::VImage x = vips::VImage::xyz(400, 400);
    const vips::VImage board =
        (((x.extract_band(0) + x.extract_band(1)) & 1) * 255).cast(VIPS_FORMAT_UCHAR);
    const Bytes png =
        SaveWith(board.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W)),
                 "pngsave_buffer", vips::VImage::option());
    for (const int side : {100, 130, 299}) {
        const Bytes scaled = Scale(png, side, side);
        const vips::VImage out = Open(scaled);
        ASSERT_EQ(out.width(), side);
        EXPECT_GT(out.min(), 110) << side;
        EXPECT_LT(out.max(), 145) << side;
    }
}

TEST(ScaleImageStream, FailsWithoutTouchingTheSource) {
    Bytes truncated = MakeImage(OutputFormat::Jpeg, {.width = 200, .height = 200});
    truncated.resize(truncated.size() / 3);
    const Bytes copy = truncated;
    StreamPtr source = NewMemoryStream(truncated.data(), truncated.size());
    EXPECT_EQ(ScaleImageStream(source, 50, 50), nullptr);
    EXPECT_EQ(*source->Contents(), copy);
    const Bytes text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(ScaleImageStream(NewMemoryStream(text.data(), text.size()), 5, 5), nullptr);
    EXPECT_EQ(ScaleImageStream(NewMemoryStream(copy.data(), copy.size()), 0, 5), nullptr);
    EXPECT_EQ(ScaleImageStream(nullptr, 5, 5), nullptr);
}
