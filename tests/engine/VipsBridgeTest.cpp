// Pixels crossing between QImage and libvips: every layout either way gives the same pixels,
// whatever the line padding, and decoded lines are handed over as they are.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "engine/VipsBridge.h"

namespace rx {
namespace {

// An image whose every pixel differs from its neighbours in each channel.
QImage Pattern(int w, int h, QImage::Format format) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         qRgba((x * 37 + y) & 255, (y * 53 + x * 3) & 255, (x ^ y) & 255,
                               format == QImage::Format_RGB32 || format == QImage::Format_RGB888
                                   ? 255
                                   : (x * 7 + y * 11) & 255));
    return img.convertToFormat(format);
}

void ExpectSamePixels(const QImage& expected, const QImage& actual, const char* what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            ASSERT_EQ(expected.pixel(x, y), actual.pixel(x, y)) << what << " at " << x << "," << y;
}

TEST(VipsBridge, EveryLayoutCrossesBothWaysWithItsPixels) {
    // Widths 7 and 10 pad RGB888 lines by part of a pixel, 9 by whole bytes, 12 not at all.
    for (int w : {7, 9, 10, 12}) {
        for (QImage::Format format :
             {QImage::Format_RGB888, QImage::Format_RGBA8888, QImage::Format_Grayscale8,
              QImage::Format_RGB32, QImage::Format_ARGB32}) {
            const QImage source = Pattern(w, 5, format);
            QImage keepAlive;
            const vips::VImage v = vipsbridge::FromQImage(source, &keepAlive);
            EXPECT_EQ(v.width(), w);
            EXPECT_EQ(v.height(), 5);
            EXPECT_EQ(v.bands(), source.hasAlphaChannel()              ? 4
                                 : format == QImage::Format_Grayscale8 ? 1
                                                                       : 3);
            const QImage back = vipsbridge::ToQImage(v);
            ASSERT_FALSE(back.isNull());
            ExpectSamePixels(
                source.convertToFormat(QImage::Format_ARGB32),
                back.convertToFormat(QImage::Format_ARGB32),
                (std::to_string(w) + " px, format " + std::to_string(int(format))).c_str());
        }
    }
}

TEST(VipsBridge, DecodedLinesAreAlignedWithoutARepackedCopy) {
    // 3-band lines of 7 pixels are 21 bytes: libvips pads them to 24 while decoding, and the
    // QImage shows 7 pixels of each.
    const QImage source = Pattern(7, 4, QImage::Format_RGB888);
    QImage keepAlive;
    const QImage decoded = vipsbridge::ToQImage(vipsbridge::FromQImage(source, &keepAlive));
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.format(), QImage::Format_RGB888);
    EXPECT_EQ(decoded.width(), 7);
    EXPECT_EQ(decoded.bytesPerLine(), 24);
    ExpectSamePixels(source, decoded, "padded lines");
    // The lines go back to libvips as they are, still 7 pixels wide.
    QImage again;
    const vips::VImage v = vipsbridge::FromQImage(decoded, &again);
    EXPECT_EQ(v.width(), 7);
    EXPECT_EQ(again.constBits(), decoded.constBits());
}

} // namespace
} // namespace rx

namespace rx {
namespace {

// The savers write through a target of their own: the bytes are those of libvips' buffer savers,
// for TIFF too, whose writer seeks back and reads what it wrote.
TEST(VipsBridge, SavedBytesAreThoseOfTheBufferSavers) {
    QImage keepAlive;
    const vips::VImage image =
        vipsbridge::FromQImage(Pattern(300, 700, QImage::Format_RGB888), &keepAlive);
    const struct {
        OutputFormat format;
        const char* saver;
    } savers[] = {{OutputFormat::Jpeg, "jpegsave_buffer"},
                  {OutputFormat::Png, "pngsave_buffer"},
                  {OutputFormat::Tiff, "tiffsave_buffer"},
                  {OutputFormat::Webp, "webpsave_buffer"},
                  {OutputFormat::Gif, "gifsave_buffer"}};
    for (const auto& s : savers) {
        VipsBlob* blob = nullptr;
        vips::VImage::call(s.saver, vips::VImage::option()->set("in", image)->set("buffer", &blob));
        ASSERT_NE(blob, nullptr);
        size_t size = 0;
        const auto* data = static_cast<const std::uint8_t*>(vips_blob_get(blob, &size));
        const Bytes expected(data, data + size);
        vips_area_unref(VIPS_AREA(blob));
        EXPECT_EQ(vipsbridge::Save(image, s.format), expected) << s.saver;
    }
    // A multi-page TIFF, whose directories are linked after the pages are written.
    vips::VImage pages =
        vips::VImage::arrayjoin({image, image.invert()}, vips::VImage::option()->set("across", 1))
            .copy();
    pages.set("page-height", 700);
    const Bytes tiff = vipsbridge::Save(pages, OutputFormat::Tiff);
    const vips::VImage back = vips::VImage::new_from_buffer(tiff.data(), tiff.size(), "",
                                                            vips::VImage::option()->set("n", -1));
    EXPECT_EQ(vipsbridge::PageCount(back), 2);
    EXPECT_EQ(back.height(), 1400);
    EXPECT_EQ(back.crop(0, 700, 300, 700).avg(), image.invert().avg());
}

} // namespace
} // namespace rx
