// Reductions: each rule on small in-memory images, then every PNG format through the engine.
#include <gtest/gtest.h>

#include <cstring>

#include "PngTestFiles.h"
#include "ops/png/pngreduc.h"

using namespace rx::png;
using namespace rxtest::png;

namespace {

PngImage MakeImage(int colorType, int depth, std::uint32_t w, std::uint32_t h) {
    PngImage im;
    im.width = w;
    im.height = h;
    im.bitDepth = depth;
    im.colorType = colorType;
    im.rowBytes = PngImage::RowBytesFor(w, im.channels(), depth);
    im.pixels.reset(new std::uint8_t[im.rowBytes * h]());
    return im;
}

unsigned Reduce(PngImage& im, unsigned bits = ReduceAll) {
    return ReduceImage(im, bits, [](const char*) {});
}

// Every pixel a distinct colour from a 16x16x2 cube, so palettes are out of reach.
void FillManyColors(PngImage& im, int bytesPerSample) {
    for (std::uint32_t y = 0; y < im.height; ++y)
        for (std::uint32_t x = 0; x < im.width; ++x) {
            std::uint8_t* p = im.row(y) + x * im.channels() * bytesPerSample;
            const std::uint8_t v[4] = {std::uint8_t(x * 16), std::uint8_t(y * 16),
                                       std::uint8_t((x + y) & 1 ? 200 : 40), 255};
            for (int c = 0; c < im.channels(); ++c)
                for (int b = 0; b < bytesPerSample; ++b)
                    p[c * bytesPerSample + b] = v[c];
        }
}

} // namespace

TEST(PngReduce, SixteenBitRgbWithRepeatedBytesBecomesEightBit) {
    PngImage im = MakeImage(ColorRgb, 16, 16, 16);
    FillManyColors(im, 2);
    EXPECT_EQ(Reduce(im), unsigned(ReduceBitDepth16To8));
    EXPECT_EQ(im.bitDepth, 8);
    EXPECT_EQ(im.colorType, ColorRgb);
    EXPECT_EQ(im.row(1)[0], 0);
    EXPECT_EQ(im.row(1)[1], 16);
    EXPECT_EQ(im.row(1)[3], 16);

    PngImage kept = MakeImage(ColorRgb, 16, 16, 16);
    FillManyColors(kept, 2);
    kept.row(3)[7] ^= 1; // one low byte differs from its high byte
    EXPECT_EQ(Reduce(kept), 0u);
    EXPECT_EQ(kept.bitDepth, 16);

    PngImage bkgd = MakeImage(ColorRgb, 16, 16, 16);
    FillManyColors(bkgd, 2);
    bkgd.hasBackground = true;
    bkgd.background.red = 1000; // not a multiple of 257
    EXPECT_EQ(Reduce(bkgd), 0u);
}

TEST(PngReduce, OpaqueAlphaIsDroppedOnlyWhenEveryPixelIsOpaque) {
    PngImage im = MakeImage(ColorRgba, 8, 16, 16);
    FillManyColors(im, 1);
    EXPECT_EQ(Reduce(im), unsigned(ReduceStripAlpha));
    EXPECT_EQ(im.colorType, ColorRgb);
    EXPECT_EQ(im.rowBytes, 48u);

    PngImage keep = MakeImage(ColorRgba, 8, 16, 16);
    FillManyColors(keep, 1);
    keep.row(5)[4 * 5 + 3] = 254;
    EXPECT_EQ(Reduce(keep, ReduceAll & ~unsigned(ReduceRgbToPalette)), 0u);
    EXPECT_EQ(keep.colorType, ColorRgba);
}

TEST(PngReduce, GreyRgbBecomesGreyAndItsColourKeyFollows) {
    auto grey = [] {
        PngImage im = MakeImage(ColorRgb, 8, 16, 16);
        for (std::uint32_t y = 0; y < 16; ++y)
            for (std::uint32_t x = 0; x < 16; ++x)
                std::memset(im.row(y) + 3 * x, int(y * 16 + x), 3);
        im.hasTrns = true;
        return im;
    };
    PngImage dropped = grey();
    dropped.transColor = PngColor16{0, 10, 10, 20, 0};
    EXPECT_EQ(Reduce(dropped), unsigned(ReduceColorToGray));
    EXPECT_EQ(dropped.colorType, ColorGray);
    EXPECT_FALSE(dropped.hasTrns);
    EXPECT_EQ(dropped.row(2)[5], 37);

    PngImage kept = grey();
    kept.transColor = PngColor16{0, 10, 10, 10, 0};
    Reduce(kept);
    EXPECT_EQ(kept.colorType, ColorGray);
    ASSERT_TRUE(kept.hasTrns);
    EXPECT_EQ(kept.transColor.gray, 10);
}

TEST(PngReduce, FewColoursBecomeASortedPalette) {
    PngImage im = MakeImage(ColorRgb, 8, 64, 64);
    const std::uint8_t colors[3][3] = {{200, 0, 0}, {0, 0, 255}, {0, 128, 0}};
    for (std::uint32_t y = 0; y < 64; ++y)
        for (std::uint32_t x = 0; x < 64; ++x)
            std::memcpy(im.row(y) + 3 * x, colors[(x + y) % 3], 3);
    const unsigned done = Reduce(im);
    EXPECT_EQ(done, unsigned(ReduceRgbToPalette | ReducePaletteDepth));
    EXPECT_EQ(im.colorType, ColorPalette);
    EXPECT_EQ(im.bitDepth, 2);
    ASSERT_EQ(im.palette.size(), 3u);
    EXPECT_EQ(im.palette[0].blue, 255); // (0,0,255) < (0,128,0) < (200,0,0)
    EXPECT_EQ(im.palette[1].green, 128);
    EXPECT_EQ(im.palette[2].red, 200);
    EXPECT_EQ(im.row(0)[0] >> 6, 2); // first pixel is red
}

TEST(PngReduce, TranslucentEntriesComeFirstSortedByAlpha) {
    PngImage im = MakeImage(ColorRgba, 8, 32, 32);
    const std::uint8_t colors[4][4] = {
        {9, 9, 9, 255}, {1, 2, 3, 128}, {5, 5, 5, 64}, {0, 0, 0, 255}};
    for (std::uint32_t y = 0; y < 32; ++y)
        for (std::uint32_t x = 0; x < 32; ++x)
            std::memcpy(im.row(y) + 4 * x, colors[(x * 3 + y) % 4], 4);
    Reduce(im);
    ASSERT_EQ(im.colorType, ColorPalette);
    ASSERT_EQ(im.transAlpha.size(), 2u);
    EXPECT_EQ(im.transAlpha[0], 64);
    EXPECT_EQ(im.transAlpha[1], 128);
    EXPECT_EQ(im.palette[2].red, 0);
    EXPECT_EQ(im.palette[3].red, 9);
}

TEST(PngReduce, UnusedPaletteTailIsCutAndIndicesRepacked) {
    PngImage im = MakeImage(ColorPalette, 8, 20, 10);
    im.palette.resize(200);
    im.hasPalette = true;
    for (int i = 0; i < 200; ++i)
        im.palette[i] = PngColor{std::uint8_t(i), std::uint8_t(i / 2), 7};
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 20; ++x)
            im.row(y)[x] = std::uint8_t((x + y) % 10);
    EXPECT_EQ(Reduce(im), unsigned(ReducePaletteTruncation | ReducePaletteDepth));
    EXPECT_EQ(im.palette.size(), 10u);
    EXPECT_EQ(im.bitDepth, 4);
    EXPECT_EQ(im.rowBytes, 10u);
    EXPECT_EQ(im.row(1)[0], 0x12); // indices 1, 2
}

TEST(PngReduce, GreyPaletteBecomesGreyButNotWhenAlphaWouldBeLost) {
    auto greyPalette = [] {
        PngImage im = MakeImage(ColorPalette, 8, 32, 8);
        im.hasPalette = true;
        for (int i = 0; i < 64; ++i)
            im.palette.push_back(
                PngColor{std::uint8_t(i * 4), std::uint8_t(i * 4), std::uint8_t(i * 4)});
        for (std::uint32_t y = 0; y < 8; ++y)
            for (std::uint32_t x = 0; x < 32; ++x)
                im.row(y)[x] = std::uint8_t(y * 8 + x % 8 + (x / 8) * 0);
        im.row(0)[0] = 63;
        return im;
    };
    PngImage im = greyPalette();
    EXPECT_TRUE(Reduce(im) & ReducePaletteToGray);
    EXPECT_EQ(im.colorType, ColorGray);
    EXPECT_EQ(im.row(0)[0], 252);
    EXPECT_TRUE(im.palette.empty());

    PngImage translucent = greyPalette();
    translucent.hasTrns = true;
    translucent.transAlpha = {128}; // entry 0 half transparent: a grey key cannot say that
    EXPECT_FALSE(Reduce(translucent) & ReducePaletteToGray);
    EXPECT_EQ(translucent.colorType, ColorPalette);

    PngImage clear = greyPalette();
    clear.hasTrns = true;
    clear.transAlpha = {0};
    EXPECT_TRUE(Reduce(clear) & ReducePaletteToGray);
    ASSERT_TRUE(clear.hasTrns);
    EXPECT_EQ(clear.transColor.gray, 0);
}

TEST(PngReduce, TransparentPixelsLoseTheirColour) {
    PngImage im = MakeImage(ColorRgba, 8, 16, 16);
    FillManyColors(im, 1);
    const std::uint8_t hidden[4] = {200, 10, 10, 0};
    std::memcpy(im.row(4) + 4 * 4, hidden, 4);
    const unsigned done = Reduce(im, ReduceAlphaCleanup);
    EXPECT_EQ(done, unsigned(ReduceAlphaCleanup));
    const std::uint8_t zero[4] = {0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(im.row(4) + 16, zero, 4), 0);
}

TEST(PngReduce, MissingCriticalInfoReducesNothing) {
    PngImage im = MakeImage(ColorPalette, 8, 4, 4);
    std::string warning;
    EXPECT_EQ(ReduceImage(im, ReduceAll, [&](const char* m) { warning = m; }), 0u);
    EXPECT_EQ(warning, "Image reduction requires the presence of the critical info");
}

// Every colour type and depth, interlaced or not, keeps its pixels through the engine.
struct Format {
    int colorType, depth;
    bool trns;
};

class PngLossless : public ::testing::TestWithParam<std::tuple<Format, int, int>> {};

TEST_P(PngLossless, DecodedPixelsAreUnchanged) {
    const auto [format, interlace, variant] = GetParam();
    RawPng raw = MakeRaw(format.colorType, format.depth, 37, 29, interlace, 7 + variant);
    if (variant == 1) {
        // Reducible content: repeated bytes (16 to 8), grey colour, opaque alpha, few values.
        const int ch = raw.channels(), bps = format.depth == 16 ? 2 : 1;
        for (std::uint32_t y = 0; y < raw.height; ++y)
            for (std::uint32_t x = 0; x < raw.width && format.depth >= 8; ++x) {
                std::uint8_t* p = raw.rows.data() + y * raw.rowBytes() + x * ch * bps;
                const std::uint8_t v = std::uint8_t(((x / 4) * 40 + y) & 0xf0);
                for (int c = 0; c < ch * bps; ++c)
                    p[c] = v;
                if (format.colorType & 4)
                    std::memset(p + (ch - 1) * bps, (x + y) % 5 ? 255 : 0, bps);
            }
    }
    if (format.trns) {
        if (format.colorType == 3) {
            for (int i = 0; i < (1 << format.depth) && i < 6; ++i)
                raw.transAlpha.push_back(std::uint8_t(i * 50));
        } else {
            raw.hasKey = true;
            const std::uint16_t max = std::uint16_t((1u << format.depth) - 1);
            raw.keyGray = std::uint16_t(raw.rows[0] & max);
            raw.keyRed = raw.keyGreen = raw.keyBlue = std::uint16_t(raw.rows[0] & max);
        }
    }
    const Bytes input = EncodePng(raw);
    const std::string dir = TempFolder("lossless");
    const std::string path = dir + "/in.png";
    WriteFile(path, input);
    const EngineRun run = Optimize(path, 2);
    ASSERT_EQ(run.result, 0) << run.text;
    const Bytes output = ReadFile(path);
    EXPECT_LE(output.size(), input.size());
    const Pixels before = Decode(input), after = Decode(output);
    ASSERT_TRUE(before.ok && after.ok) << run.text;
    ASSERT_EQ(before.rgba.size(), after.rgba.size());
    EXPECT_EQ(VisibleDifferences(before, after), 0u) << run.text;
    EXPECT_FALSE(Exists(path + ".bak"));
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, PngLossless,
    ::testing::Combine(
        ::testing::Values(Format{0, 1, false}, Format{0, 2, false}, Format{0, 4, false},
                          Format{0, 8, false}, Format{0, 16, false}, Format{0, 8, true},
                          Format{0, 16, true}, Format{4, 8, false}, Format{4, 16, false},
                          Format{2, 8, false}, Format{2, 16, false}, Format{2, 8, true},
                          Format{2, 16, true}, Format{6, 8, false}, Format{6, 16, false},
                          Format{3, 1, false}, Format{3, 2, false}, Format{3, 4, false},
                          Format{3, 8, false}, Format{3, 2, true}, Format{3, 8, true}),
        ::testing::Values(0, 1), ::testing::Values(0, 1)));
