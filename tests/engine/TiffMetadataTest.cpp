// TIFF metadata: camera tags and the EXIF and GPS directories survive TIFF output and travel
// between TIFF and the formats that carry an EXIF block; damaged files give nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <vips/vips8>

#include "engine/Bitmap.h"
#include "engine/ExifReader.h"
#include "engine/ScaleImage.h"
#include "engine/TiffMetadata.h"
#include "tests/support/TestImages.h"

using namespace rx;
using rxtest::MakeImage;

namespace {

constexpr std::uint16_t kMake = 271, kModel = 272;

Bytes Encode(const Bytes& source, OutputFormat format) {
    auto bitmap = Bitmap::FromData(std::make_shared<const Bytes>(source));
    Bytes out;
    if (!bitmap || !bitmap->EncodeTo(format, &out))
        return {};
    return out;
}

Bytes Scale(const Bytes& source, int w, int h) {
    StreamPtr out = ScaleImageStream(NewMemoryStream(source.data(), source.size()), w, h);
    return out && out->Contents() ? *out->Contents() : Bytes{};
}

std::string Field(const Bytes& encoded, const char* name) {
    const vips::VImage image = vips::VImage::new_from_buffer(encoded.data(), encoded.size(), "");
    return image.get_typeof(name) ? image.get_string(name) : "";
}

std::string Ascii(const Bytes& block, std::uint16_t tag) {
    return ReadExifAscii(block.data(), block.size(), tag).value_or("");
}

// A 2 x 2 grey big-endian TIFF with a Make tag and an EXIF directory holding DateTimeOriginal
// and an interoperability pointer that points back at the EXIF directory.
Bytes BigEndianTiff() {
    Bytes b = {'M', 'M', 0, 42, 0, 0, 0, 8};
    auto u16 = [&](unsigned v) { b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)}); };
    auto u32 = [&](std::uint32_t v) {
        u16(v >> 16);
        u16(v & 0xffff);
    };
    auto entry = [&](unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        if (type == 3 && count == 1) {
            u16(value);
            u16(0);
        } else {
            u32(value);
        }
    };
    const std::uint32_t ifd0 = 8, entries0 = 10;
    const std::uint32_t make = ifd0 + 2 + entries0 * 12 + 4; // "BigCam\0" + pad
    const std::uint32_t exif = make + 8;                     // 2 entries
    const std::uint32_t date = exif + 2 + 2 * 12 + 4;        // 20 bytes
    const std::uint32_t pixels = date + 20;
    u16(entries0);
    entry(256, 3, 1, 2);
    entry(257, 3, 1, 2);
    entry(258, 3, 1, 8);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 1);
    entry(kMake, 2, 7, make);
    entry(273, 4, 1, pixels);
    entry(277, 3, 1, 1);
    entry(279, 4, 1, 4);
    entry(34665, 4, 1, exif);
    u32(0);
    for (char c : std::string("BigCam\0\0", 8))
        b.push_back(std::uint8_t(c));
    u16(2);
    entry(36867, 2, 20, date);
    entry(40965, 4, 1, exif);
    u32(0);
    for (char c : std::string("2019:05:06 07:08:09\0", 20))
        b.push_back(std::uint8_t(c));
    b.insert(b.end(), {10, 80, 160, 240});
    return b;
}

} // namespace

TEST(TiffMetadata, ExifOfAJpegSurvivesTiffResizeAndComesBack) {
    const Bytes jpeg = MakeImage(
        OutputFormat::Jpeg,
        {.width = 400, .height = 300, .dateTime = "2021:06:01 10:20:30", .model = "RX-100"});
    const Bytes tiff = Encode(jpeg, OutputFormat::Tiff);
    ASSERT_FALSE(tiff.empty());
    const Bytes block = tiffmeta::ExifBlockFromTiff(tiff.data(), tiff.size());
    EXPECT_EQ(Ascii(block, kModel), "RX-100");
    EXPECT_EQ(Ascii(block, kExifTagDateTime), "2021:06:01 10:20:30");

    const Bytes smaller = Scale(tiff, 100, 75);
    ASSERT_FALSE(smaller.empty());
    const Bytes back = Encode(smaller, OutputFormat::Jpeg);
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(Field(back, "exif-ifd0-Model").rfind("RX-100", 0), 0u);
    EXPECT_EQ(Field(back, "exif-ifd0-DateTime").rfind("2021:06:01 10:20:30", 0), 0u);
    EXPECT_EQ(std::atoi(Field(back, "exif-ifd2-PixelXDimension").c_str()), 100);
    EXPECT_EQ(std::atoi(Field(back, "exif-ifd2-PixelYDimension").c_str()), 75);
}

TEST(TiffMetadata, BigEndianTiffKeepsItsTagsAndALoopEndsTheWalk) {
    const Bytes tiff = BigEndianTiff();
    const Bytes block = tiffmeta::ExifBlockFromTiff(tiff.data(), tiff.size());
    EXPECT_EQ(Ascii(block, kMake), "BigCam");
    const Bytes resized = Scale(tiff, 1, 1);
    ASSERT_FALSE(resized.empty());
    const Bytes kept = tiffmeta::ExifBlockFromTiff(resized.data(), resized.size());
    EXPECT_EQ(Ascii(kept, kMake), "BigCam");
    const Bytes jpeg = Encode(resized, OutputFormat::Jpeg);
    EXPECT_EQ(Field(jpeg, "exif-ifd2-DateTimeOriginal").rfind("2019:05:06 07:08:09", 0), 0u);
}

TEST(TiffMetadata, TagsTheFileHasAreNotAddedTwice) {
    const Bytes jpeg = MakeImage(OutputFormat::Jpeg, {.width = 40, .height = 30, .model = "Once"});
    Bytes tiff = Encode(jpeg, OutputFormat::Tiff);
    const Bytes block = tiffmeta::ExifBlockFromTiff(tiff.data(), tiff.size());
    ASSERT_FALSE(block.empty());
    const Bytes before = tiff;
    EXPECT_TRUE(tiffmeta::AddExifToTiff(tiff, block.data(), block.size(), 40, 30));
    EXPECT_EQ(tiff, before);
}

TEST(TiffMetadata, DamagedInputGivesNothingAndChangesNothing) {
    const Bytes good = BigEndianTiff();
    for (std::size_t n = 0; n < good.size(); ++n) { // every truncation
        const Bytes cut(good.begin(), good.begin() + long(n));
        const std::string make = Ascii(tiffmeta::ExifBlockFromTiff(cut.data(), cut.size()), kMake);
        EXPECT_TRUE(make.empty() || make == "BigCam") << n;
    }
    Bytes garbage(200);
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = std::uint8_t(i * 97 + 13);
    garbage[0] = garbage[1] = 'I';
    garbage[2] = 42;
    garbage[3] = 0;
    EXPECT_TRUE(tiffmeta::ExifBlockFromTiff(garbage.data(), garbage.size()).empty());

    Bytes tiff =
        Encode(MakeImage(OutputFormat::Jpeg, {.width = 8, .height = 8}), OutputFormat::Tiff);
    const Bytes before = tiff;
    EXPECT_FALSE(tiffmeta::AddExifToTiff(tiff, garbage.data(), 5, 8, 8));
    EXPECT_FALSE(tiffmeta::AddExifToTiff(tiff, nullptr, 0, 8, 8));
    EXPECT_EQ(tiff, before);
    const Bytes block = tiffmeta::ExifBlockFromTiff(good.data(), good.size());
    Bytes notTiff = {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'};
    EXPECT_FALSE(tiffmeta::AddExifToTiff(notTiff, block.data(), block.size(), 8, 8));
    EXPECT_EQ(notTiff.size(), 10u);
}
