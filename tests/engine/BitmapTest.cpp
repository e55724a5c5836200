#include <gtest/gtest.h>

#include <malloc.h>
#include <zlib.h>

#include <cstring>

#include <vips/vips8>

#include "engine/Bitmap.h"
#include "engine/Imaging.h"
#include "tests/support/TestImages.h"

using namespace rx;
using rxtest::ImageSpec;
using rxtest::MakeImage;

namespace {

SharedBytes Share(Bytes b) {
    return std::make_shared<const Bytes>(std::move(b));
}

size_t HeapInUse() {
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

void PutChunk(Bytes& out, const char* type, const Bytes& body) {
    const uint32_t len = uint32_t(body.size());
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(len >> s));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    const uint32_t crc = uint32_t(crc32(0, typed.data(), uInt(typed.size())));
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(crc >> s));
}

// A valid PNG header announcing width x height, with a tiny image stream.
Bytes PngAnnouncing(uint32_t w, uint32_t h) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes ihdr;
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8)
            ihdr.push_back(uint8_t(v >> s));
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
    PutChunk(out, "IHDR", ihdr);
    Bytes raw(64, 0);
    Bytes z(128);
    uLongf zlen = z.size();
    compress(z.data(), &zlen, raw.data(), raw.size());
    z.resize(zlen);
    PutChunk(out, "IDAT", z);
    PutChunk(out, "IEND", {});
    return out;
}

Bytes Truncated(Bytes b) {
    b.resize(b.size() / 2);
    return b;
}

} // namespace

#ifdef RX_SANITIZED
// The sanitizers' allocator keeps its own books: the C library's heap figures stay at zero.
constexpr bool kHeapFigures = false;
#else
constexpr bool kHeapFigures = true;
#endif

TEST(Bitmap, HeaderReadDoesNotDecodePixels) {
    const Bytes jpeg =
        MakeImage(OutputFormat::Jpeg, {.width = 5640, .height = 3172, .pattern = false});
    auto data = Share(jpeg);
    const std::uint64_t decodes = PixelDecodeCount();
    const size_t before = HeapInUse();
    auto bmp = Bitmap::FromData(data);
    ASSERT_TRUE(bmp->IsValid());
    EXPECT_EQ(bmp->Width(), 5640);
    EXPECT_EQ(bmp->Height(), 3172);
    EXPECT_EQ(bmp->RawFormat(), OutputFormat::Jpeg);
    // libvips' worker threads may free memory of their own meanwhile, so the heap can shrink.
    const size_t after = HeapInUse();
    const size_t headerCost = after > before ? after - before : 0;
    if (kHeapFigures) {
        EXPECT_LT(headerCost, 4u << 20) << "a header read allocated " << headerCost << " bytes";
    }
    EXPECT_EQ(PixelDecodeCount(), decodes);
    EXPECT_FALSE(bmp->PixelsDecoded());

    // The same figures do show a decode when the pixels are asked for.
    ASSERT_NE(bmp->Pixels(), nullptr);
    EXPECT_EQ(PixelDecodeCount(), decodes + 1);
    if (kHeapFigures) {
        EXPECT_GT(HeapInUse() - before, size_t(5640) * 3172 * 3 - 1);
    }
}

TEST(Bitmap, EveryFormatIsIdentifiedByContentAndEncodes) {
    for (const OutputFormat format : rxtest::kClassicFormats) {
        SCOPED_TRACE(FormatNumber(format));
        auto bmp = Bitmap::FromData(Share(MakeImage(format, {.width = 30, .height = 20})));
        ASSERT_TRUE(bmp->IsValid());
        EXPECT_EQ(bmp->RawFormat(), format);
        EXPECT_EQ(bmp->Width(), 30);
        EXPECT_EQ(bmp->Height(), 20);
        for (const OutputFormat to : rxtest::kClassicFormats) {
            Bytes out;
            ASSERT_TRUE(bmp->EncodeTo(to, &out)) << "to " << FormatNumber(to);
            EXPECT_EQ(SniffFormat(out.data(), out.size()), to);
            const auto back = rxtest::Inspect(out);
            EXPECT_TRUE(back.ok);
            EXPECT_EQ(back.width, 30);
            EXPECT_EQ(back.height, 20);
        }
    }
}

TEST(Bitmap, GifEncoderMakesAnAdaptivePalette) {
    const ImageSpec spec{.width = 64, .height = 48};
    auto bmp = Bitmap::FromData(Share(MakeImage(OutputFormat::Png, spec)));
    Bytes gif;
    ASSERT_TRUE(bmp->EncodeTo(OutputFormat::Gif, &gif));
    auto back = Bitmap::FromData(Share(gif));
    QImage* px = back->Pixels();
    ASSERT_NE(px, nullptr);
    const QImage got = px->convertToFormat(QImage::Format_RGB888);
    const QImage want = rxtest::MakePixels(spec);
    double error = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64 * 3; ++x)
            error += std::abs(int(got.constScanLine(y)[x]) - int(want.constScanLine(y)[x]));
    EXPECT_LT(error / (64 * 48 * 3), 6.0);
}

TEST(Bitmap, TruncatedFilesOfEveryFormatAreInvalid) {
    for (const OutputFormat format : rxtest::kClassicFormats) {
        SCOPED_TRACE(FormatNumber(format));
        auto bmp =
            Bitmap::FromData(Share(Truncated(MakeImage(format, {.width = 300, .height = 200}))));
        Bytes out;
        if (bmp->IsValid()) {
            EXPECT_EQ(bmp->Pixels(), nullptr);
        }
        EXPECT_FALSE(bmp->IsValid());
        EXPECT_FALSE(bmp->EncodeTo(OutputFormat::Png, &out));
        EXPECT_TRUE(out.empty());
    }
}

TEST(Bitmap, CorruptFilesNeverCrash) {
    for (const OutputFormat format : rxtest::kClassicFormats) {
        for (size_t at : {size_t(0), size_t(10), size_t(40), size_t(200)}) {
            SCOPED_TRACE(std::to_string(FormatNumber(format)) + " at " + std::to_string(at));
            Bytes b = MakeImage(format, {.width = 120, .height = 90});
            for (size_t i = at; i < std::min(b.size(), at + 48); ++i)
                b[i] ^= 0x5A;
            auto bmp = Bitmap::FromData(Share(b));
            QImage* px = bmp->Pixels();
            if (px) { // damage the decoder tolerates must still give the announced size
                EXPECT_EQ(px->width(), bmp->Width());
                EXPECT_EQ(px->height(), bmp->Height());
            } else {
                EXPECT_FALSE(bmp->IsValid());
            }
        }
    }
    EXPECT_FALSE(Bitmap::FromData(Share({}))->IsValid());
    EXPECT_FALSE(Bitmap::FromData(nullptr)->IsValid());
}

TEST(Bitmap, DecompressionBombsAreRefusedBeforeAllocating) {
    Bytes jpeg = MakeImage(OutputFormat::Jpeg, {.width = 16, .height = 16});
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = 0xEA, jpeg[i + 6] = 0x60; // 60000 lines
            jpeg[i + 7] = 0xEA, jpeg[i + 8] = 0x60; // 60000 columns
            break;
        }
    Bytes bmpBomb = MakeImage(OutputFormat::Bmp, {.width = 16, .height = 16});
    const int32_t big = 30000;
    std::memcpy(bmpBomb.data() + 18, &big, 4);
    std::memcpy(bmpBomb.data() + 22, &big, 4);
    Bytes gif = MakeImage(OutputFormat::Gif, {.width = 16, .height = 16});
    gif[6] = gif[7] = gif[8] = gif[9] = 0xFF; // logical screen 65535 x 65535
    for (size_t i = 13; i + 9 < gif.size(); ++i)
        if (gif[i] == 0x2C && gif[i + 1] == 0 && gif[i + 2] == 0 && gif[i + 3] == 0 &&
            gif[i + 4] == 0) {
            gif[i + 5] = gif[i + 6] = gif[i + 7] = gif[i + 8] = 0xFF; // and so is the frame
            break;
        }

    const std::vector<Bytes> bombs = {PngAnnouncing(20000, 20000), jpeg, bmpBomb, gif};
    for (size_t k = 0; k < bombs.size(); ++k) {
        SCOPED_TRACE(k);
        const size_t before = HeapInUse();
        auto bmp = Bitmap::FromData(Share(bombs[k]));
        EXPECT_EQ(bmp->Pixels(), nullptr);
        EXPECT_FALSE(bmp->IsValid());
        EXPECT_LT(HeapInUse() - std::min(before, HeapInUse()), 64u << 20);
    }
    EXPECT_EQ(Bitmap::FromData(Share(PngAnnouncing(20000, 20000)))->LastStatus(),
              ImageStatus::TooLarge);
    // Just below the limit the header is accepted (no pixels are decoded for it).
    EXPECT_TRUE(Bitmap::FromData(Share(PngAnnouncing(17000, 17000)))->IsValid());
}

TEST(Bitmap, ScriptAndVectorFormatsAreNeverDecoded) {
    const char* const texts[] = {
        "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect width='10' "
        "height='10'/></svg>",
        "push graphic-context\nviewbox 0 0 10 10\nfill red\nrectangle 0 0 10 10\n",
        "<?xml version='1.0'?><image><read filename='x.png'/></image>",
        "%!PS-Adobe-3.0\n0 0 moveto 10 10 lineto stroke showpage\n",
        "%PDF-1.4\n1 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n",
    };
    for (const char* t : texts) {
        const Bytes b(t, t + std::strlen(t));
        auto bmp = Bitmap::FromData(Share(b));
        EXPECT_FALSE(bmp->IsValid());
        EXPECT_EQ(bmp->LastStatus(), ImageStatus::UnknownImageFormat);
        // Not even libvips' own sniffing loaders may take it once the imaging layer is up.
        EXPECT_THROW(vips::VImage::new_from_buffer(b.data(), b.size(), "").avg(), vips::VError);
        vips_error_clear();
    }
}

TEST(Bitmap, OrientationIsAppliedAndEncodedUpright) {
    // Stored 60 x 40 with orientation 6: the user sees it 40 x 60, turned clockwise.
    const Bytes jpeg = MakeImage(OutputFormat::Jpeg, {.width = 60, .height = 40, .orientation = 6});
    auto bmp = Bitmap::FromData(Share(jpeg));
    ASSERT_TRUE(bmp->IsValid());
    EXPECT_EQ(bmp->Width(), 40);
    EXPECT_EQ(bmp->Height(), 60);
    QImage* px = bmp->Pixels();
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px->width(), 40);
    EXPECT_EQ(px->height(), 60);
    // The stored red ramp ran left to right; upright it runs top to bottom along the right edge.
    const QImage rgb = px->convertToFormat(QImage::Format_RGB888);
    EXPECT_LT(qRed(rgb.pixel(39, 0)), 40);
    EXPECT_GT(qRed(rgb.pixel(39, 59)), 215);

    for (const OutputFormat to : {OutputFormat::Jpeg, OutputFormat::Png, OutputFormat::Tiff}) {
        Bytes out;
        ASSERT_TRUE(bmp->EncodeTo(to, &out));
        const auto d = rxtest::Inspect(out);
        EXPECT_EQ(d.width, 40) << FormatNumber(to);
        EXPECT_EQ(d.height, 60) << FormatNumber(to);
        EXPECT_EQ(d.orientation, 1) << FormatNumber(to);
    }
    // Encoding straight from the source (no pixels touched) is upright too.
    auto untouched = Bitmap::FromData(Share(jpeg));
    Bytes png;
    ASSERT_TRUE(untouched->EncodeTo(OutputFormat::Png, &png));
    EXPECT_EQ(rxtest::Inspect(png).width, 40);
}

TEST(Bitmap, FrameDimensionsAndDateTime) {
    auto gif = Bitmap::FromData(
        Share(MakeImage(OutputFormat::Gif, {.width = 20, .height = 10, .pages = 3})));
    ASSERT_TRUE(gif->IsValid());
    ASSERT_EQ(gif->FrameDimensions().size(), 1u);
    EXPECT_EQ(gif->FrameDimensions()[0].count, 3);
    EXPECT_EQ(gif->Height(), 10);
    auto tiff = Bitmap::FromData(
        Share(MakeImage(OutputFormat::Tiff, {.width = 20, .height = 10, .pages = 2})));
    ASSERT_TRUE(tiff->IsValid());
    EXPECT_EQ(tiff->FrameDimensions()[0].name, "page");
    EXPECT_EQ(tiff->FrameDimensions()[0].count, 2);
    EXPECT_EQ(Bitmap::FromData(Share(MakeImage(OutputFormat::Png)))->FrameDimensions()[0].count, 1);

    auto dated =
        Bitmap::FromData(Share(MakeImage(OutputFormat::Jpeg, {.dateTime = "2014:01:02 03:04:05"})));
    ASSERT_TRUE(dated->DateTime().has_value());
    EXPECT_EQ(*dated->DateTime(), "2014:01:02 03:04:05");
    EXPECT_FALSE(Bitmap::FromData(Share(MakeImage(OutputFormat::Bmp)))->DateTime().has_value());
}

TEST(Bitmap, MadeFromPixelsKeepsTheSourceMetadata) {
    auto src = Bitmap::FromData(
        Share(MakeImage(OutputFormat::Jpeg, {.dateTime = "2020:05:06 07:08:09", .model = "RX-1"})));
    QImage* px = src->Pixels();
    ASSERT_NE(px, nullptr);
    auto made = Bitmap::FromImage(px->copy(), src.get());
    Bytes out;
    ASSERT_TRUE(made->EncodeTo(OutputFormat::Jpeg, &out));
    auto back = Bitmap::FromData(Share(out));
    ASSERT_TRUE(back->DateTime().has_value());
    EXPECT_EQ(*back->DateTime(), "2020:05:06 07:08:09");
    EXPECT_EQ(Bitmap::FromImage(QImage())->IsValid(), false);
}

TEST(Bitmap, GreyWithAlphaDecodesToGreyColourAndItsAlpha) {
    const ImageSpec spec{.width = 16, .height = 8, .bands = 2};
    auto bmp = Bitmap::FromData(Share(MakeImage(OutputFormat::Png, spec)));
    QImage* px = bmp->Pixels();
    ASSERT_NE(px, nullptr);
    ASSERT_EQ(px->format(), QImage::Format_RGBA8888);
    const QImage want = rxtest::MakePixels(spec);
    for (int x = 0; x < 16; ++x) {
        const QColor got = px->pixelColor(x, 3);
        EXPECT_EQ(got.red(), got.blue()) << x;
        EXPECT_EQ(got.red(), want.pixelColor(x, 3).red()) << x;
        EXPECT_EQ(got.alpha(), want.pixelColor(x, 3).alpha()) << x;
    }
}

TEST(Bitmap, DecodedPixelsLetTheSourceGoAndKeepItsMetadata) {
    for (OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Tiff, OutputFormat::Bmp}) {
        SCOPED_TRACE(OutputFormatName(format));
        const ImageSpec spec{.width = 40,
                             .height = 30,
                             .dateTime = "2019:03:04 05:06:07",
                             .model = "RX-2",
                             .xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"></x:xmpmeta>",
                             .icc = true};
        const SharedBytes bytes = Share(MakeImage(format, spec));
        auto bmp = Bitmap::FromData(bytes);
        ASSERT_TRUE(bmp->IsValid());
        EXPECT_GT(bytes.use_count(), 1) << "the header read holds the bytes";
        const bool dated = bmp->DateTime().has_value(); // no EXIF written in this TIFF
        ASSERT_NE(bmp->Pixels(), nullptr);
        EXPECT_EQ(bytes.use_count(), 1) << "nothing holds the bytes once the pixels are out";
        if (format == OutputFormat::Bmp)
            continue; // no metadata in a BMP
        EXPECT_EQ(dated, format == OutputFormat::Jpeg);
        EXPECT_EQ(bmp->DateTime().has_value(), dated) << "the EXIF block stays";
        Bytes out;
        ASSERT_TRUE(bmp->EncodeTo(OutputFormat::Png, &out));
        const auto again = Bitmap::FromData(Share(out));
        EXPECT_EQ(again->DateTime().has_value(), dated);
        if (dated) {
            EXPECT_EQ(*again->DateTime(), "2019:03:04 05:06:07");
        }
        const vips::VImage png = vips::VImage::new_from_buffer(out.data(), out.size(), "");
        EXPECT_TRUE(vips_image_get_typeof(png.get_image(), VIPS_META_XMP_NAME));
        EXPECT_TRUE(vips_image_get_typeof(png.get_image(), VIPS_META_ICC_NAME));
    }
}
