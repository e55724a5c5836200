#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>

#include "engine/Imaging.h"
#include "ops/WatermarkRenderer.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

TEST(WatermarkPicture, DecodedOnceWhileTheFileStaysTheSame) {
    rxtest::TempDir dir;
    const fs::path logo = dir / "logo.png";
    rxtest::WriteFile(logo, rxtest::MakeImage(OutputFormat::Png, {.width = 30, .height = 20}));
    const std::uint64_t before = PixelDecodeCount();
    const QImage first = LoadWatermarkPicture(logo);
    ASSERT_EQ(first.size(), QSize(30, 20));
    const QImage again = LoadWatermarkPicture(logo);
    EXPECT_EQ(again.size(), QSize(30, 20));
    EXPECT_EQ(PixelDecodeCount(), before + 1) << "the second use takes the kept picture";

    // A changed file is read anew.
    rxtest::WriteFile(logo, rxtest::MakeImage(OutputFormat::Png, {.width = 12, .height = 10}));
    fs::last_write_time(logo, fs::last_write_time(logo) + 10);
    EXPECT_EQ(LoadWatermarkPicture(logo).size(), QSize(12, 10));
    fs::remove(logo);
    EXPECT_TRUE(LoadWatermarkPicture(logo).isNull()) << "a missing picture draws nothing";
    EXPECT_TRUE(LoadWatermarkPicture("").isNull());
}
