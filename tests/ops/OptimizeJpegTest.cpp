#include <gtest/gtest.h>

#include <algorithm>

#include "ops/OptimizeJpeg.h"
#include "tests/support/JpegTestImages.h"

using rxtest::JpegMarker;
using rxtest::JpegRecipe;

namespace {

constexpr int kApp0 = 0xE0, kApp1 = 0xE1, kApp2 = 0xE2, kApp13 = 0xED, kApp14 = 0xEE, kCom = 0xFE;

const unsigned kAnnexKLuminance[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

rx::Bytes Optimize(const rx::Bytes& in, int setting) {
    const rx::JpegBuffer out = rx::OptimizeJpeg(in.data(), in.size(), setting);
    return out ? rx::Bytes(out.data.get(), out.data.get() + out.size) : rx::Bytes();
}

std::vector<JpegMarker> KeptKinds(const std::vector<JpegMarker>& markers) {
    std::vector<JpegMarker> kept;
    for (const JpegMarker& m : markers)
        if (m.type == kApp1 || m.type == kApp2 || m.type == kApp13 || m.type == kCom)
            kept.push_back(m);
    return kept;
}

struct Kind {
    const char* name;
    JpegRecipe recipe;
};

void PrintTo(const Kind& kind, std::ostream* os) {
    *os << kind.name;
}

class LosslessTest : public ::testing::TestWithParam<Kind> {};

TEST_P(LosslessTest, KeepsEveryPixelAndWritesSequential) {
    const rx::Bytes source = rxtest::MakeJpeg(GetParam().recipe);
    const rxtest::JpegInfo made = rxtest::ReadJpegInfo(source); // the kind the case claims
    ASSERT_EQ(made.progressive, GetParam().recipe.progressive);
    ASSERT_EQ(made.restartInterval, unsigned(GetParam().recipe.restartInterval));
    const rx::Bytes result = Optimize(source, rx::kJpegLossless);
    ASSERT_FALSE(result.empty());

    const rxtest::JpegSamples before = rxtest::DecodeJpeg(source);
    const rxtest::JpegSamples after = rxtest::DecodeJpeg(result);
    ASSERT_TRUE(before.ok);
    ASSERT_TRUE(after.ok);
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height);
    EXPECT_EQ(after.components, before.components);
    EXPECT_TRUE(after.samples == before.samples);

    const rxtest::JpegInfo info = rxtest::ReadJpegInfo(result);
    EXPECT_FALSE(info.progressive);
    EXPECT_EQ(info.components, GetParam().recipe.components);
    if (!GetParam().recipe.progressive) { // standard Huffman tables give way to optimised ones
        EXPECT_LT(result.size(), source.size());
    }
}

JpegRecipe Recipe(int components, bool progressive, int restart) {
    JpegRecipe s;
    s.components = components;
    s.progressive = progressive;
    s.restartInterval = restart;
    return s;
}

INSTANTIATE_TEST_SUITE_P(EveryKind, LosslessTest,
                         ::testing::Values(Kind{"Baseline", Recipe(3, false, 0)},
                                           Kind{"Progressive", Recipe(3, true, 0)},
                                           Kind{"Greyscale", Recipe(1, false, 0)},
                                           Kind{"GreyscaleProgressive", Recipe(1, true, 0)},
                                           Kind{"Cmyk", Recipe(4, false, 0)},
                                           Kind{"RestartMarkers", Recipe(3, false, 2)}),
                         [](const auto& test) { return std::string(test.param.name); });

JpegRecipe WithMetadata() {
    JpegRecipe s;
    s.jfif = false; // the source's APP0 is the one below, not the library's
    s.markers.push_back(rxtest::TextMarker(kApp0, "RXTEST-APP0"));
    s.markers.push_back(rxtest::TextMarker(kApp1, "Exif\0", 900));
    for (JpegMarker& m : rxtest::IccMarkers(150000)) // three APP2 chunks
        s.markers.push_back(std::move(m));
    s.markers.push_back(rxtest::TextMarker(kApp13, "Photoshop 3.0", 300));
    s.markers.push_back(rxtest::TextMarker(kCom, "a comment"));
    s.markers.push_back(rxtest::TextMarker(kApp14, "RXTEST-APP14"));
    return s;
}

TEST(OptimizeJpegTest, MetadataMarkersSurviveInOrderOthersDoNot) {
    const JpegRecipe recipe = WithMetadata();
    const rx::Bytes source = rxtest::MakeJpeg(recipe);
    const std::vector<JpegMarker> expected = KeptKinds(recipe.markers);
    ASSERT_EQ(expected.size(), 6u);
    ASSERT_EQ(std::count_if(expected.begin(), expected.end(),
                            [](const JpegMarker& m) { return m.type == kApp2; }),
              3);
    for (int setting : {rx::kJpegLossless, 70}) {
        SCOPED_TRACE(setting);
        const rxtest::JpegInfo info = rxtest::ReadJpegInfo(Optimize(source, setting));
        ASSERT_TRUE(info.ok);
        EXPECT_TRUE(KeptKinds(info.markers) == expected);
        for (const JpegMarker& m : info.markers) {
            EXPECT_NE(m, recipe.markers.front()) << "source APP0 copied";
            EXPECT_NE(m, recipe.markers.back()) << "source APP14 copied";
        }
    }
}

TEST(OptimizeJpegTest, QualityScaleAtTheEndsOfItsRange) {
    EXPECT_EQ(rx::JpegQualityScale(-3), 5000);
    EXPECT_EQ(rx::JpegQualityScale(0), 5000);
    EXPECT_EQ(rx::JpegQualityScale(49), 102);
    EXPECT_EQ(rx::JpegQualityScale(50), 100);
    EXPECT_EQ(rx::JpegQualityScale(101), 0);
}

TEST(OptimizeJpegTest, LossyUsesScaledAnnexKTablesWithBaselineLimits) {
    const rx::Bytes source = rxtest::MakeJpeg({});
    // Quality and the percentage the standard tables are scaled by.
    for (const auto& [setting, scale] : {std::pair{70, 60l}, {60, 80l}, {10, 500l}, {100, 0l}}) {
        SCOPED_TRACE(setting);
        const rx::Bytes result = Optimize(source, setting);
        const rxtest::JpegInfo info = rxtest::ReadJpegInfo(result);
        ASSERT_TRUE(info.ok);
        EXPECT_FALSE(info.progressive);
        for (int k = 0; k < 64; ++k) {
            const long q = std::clamp((kAnnexKLuminance[k] * scale + 50) / 100, 1l, 255l);
            ASSERT_EQ(info.luminanceTable[size_t(k)], unsigned(q)) << "entry " << k;
        }
    }
}

TEST(OptimizeJpegTest, LossyKeepsSizeComponentsAndLooksAlike) {
    for (int components : {1, 3, 4}) {
        SCOPED_TRACE(components);
        JpegRecipe recipe;
        recipe.components = components;
        recipe.quality = 95;
        const rx::Bytes source = rxtest::MakeJpeg(recipe);
        const rx::Bytes result = Optimize(source, 75);
        const rxtest::JpegSamples before = rxtest::DecodeJpeg(source);
        const rxtest::JpegSamples after = rxtest::DecodeJpeg(result);
        ASSERT_TRUE(after.ok);
        ASSERT_EQ(after.samples.size(), before.samples.size());
        EXPECT_EQ(after.components, components);
        EXPECT_LT(result.size(), source.size());
        long total = 0;
        for (size_t i = 0; i < before.samples.size(); ++i)
            total += std::abs(int(before.samples[i]) - int(after.samples[i]));
        EXPECT_LT(double(total) / double(before.samples.size()), 12.0); // the noise is lost first
    }
}

TEST(OptimizeJpegTest, DamagedInputGivesNoBuffer) {
    const rx::Bytes good = rxtest::MakeJpeg({});
    JpegRecipe progressiveRecipe;
    progressiveRecipe.progressive = true;
    const rx::Bytes progressive = rxtest::MakeJpeg(progressiveRecipe);

    std::vector<std::pair<const char*, rx::Bytes>> cases;
    cases.emplace_back("truncated in the scan",
                       rx::Bytes(good.begin(), good.begin() + long(good.size() * 2 / 3)));
    cases.emplace_back(
        "truncated progressive",
        rx::Bytes(progressive.begin(), progressive.begin() + long(progressive.size() / 2)));
    cases.emplace_back("header only", rx::Bytes(good.begin(), good.begin() + 20));
    cases.emplace_back("not a JPEG", rx::Bytes(500, 0x42));
    rx::Bytes noSos = good; // start of frame claims an impossible precision
    for (size_t i = 0; i + 4 < noSos.size(); ++i)
        if (noSos[i] == 0xFF && noSos[i + 1] == 0xC0) {
            noSos[i + 4] = 12;
            break;
        }
    cases.emplace_back("unsupported precision", noSos);
    rx::Bytes huge = good; // a header announcing 65535 x 65535 pixels
    for (size_t i = 0; i + 9 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            std::fill(huge.begin() + long(i) + 5, huge.begin() + long(i) + 9, 0xFF);
            break;
        }
    cases.emplace_back("huge header", huge);

    JpegRecipe large; // big enough for the output block to grow before the end is missed
    large.width = 400;
    large.height = 300;
    rx::Bytes noEnd = rxtest::MakeJpeg(large);
    noEnd.resize(noEnd.size() - 2);
    cases.emplace_back("no end marker", noEnd);

    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(rx::OptimizeJpeg(bytes.data(), bytes.size(), rx::kJpegLossless));
        EXPECT_FALSE(rx::OptimizeJpeg(bytes.data(), bytes.size(), 70));
    }
    EXPECT_FALSE(rx::OptimizeJpeg(nullptr, 0, rx::kJpegLossless));
}

} // namespace
