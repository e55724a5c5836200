// Without a QGuiApplication (a command-line tool) there are no fonts: text watermarks are
// skipped without taking the process down, pictures are still drawn.
#include <gtest/gtest.h>

#include "engine/Bitmap.h"
#include "engine/ImageFile.h"
#include "ops/WatermarkOp.h"
#include "tests/support/TestImages.h"

namespace {

TEST(WatermarkWithoutGui, TextIsSkippedAndPicturesStillDrawn) {
    rxtest::TempDir dir;
    const rx::Bytes photo = rxtest::MakeImage(rx::OutputFormat::Png, {.width = 100, .height = 60});
    rxtest::WriteFile(dir / "photo.png", photo);
    rxtest::WriteFile(
        dir / "logo.png",
        rxtest::MakeImage(rx::OutputFormat::Png, {.width = 20, .height = 10, .pattern = false}));

    rx::WatermarkOp text;
    text.text = L"HH";
    rx::ImageFile a(dir / "photo.png", 0);
    text.apply(a);
    auto out = rx::Bitmap::FromData(a.data()->Contents());
    auto in = rx::Bitmap::FromData(std::make_shared<rx::Bytes>(photo));
    ASSERT_NE(out->Pixels(), nullptr);
    EXPECT_EQ(out->Pixels()->convertToFormat(QImage::Format_RGB888),
              in->Pixels()->convertToFormat(QImage::Format_RGB888));

    rx::WatermarkOp picture;
    picture.mode = static_cast<int>(rx::WatermarkKind::Image);
    picture.imagePath = dir / "logo.png";
    picture.imageWidth = 20;
    picture.imageHeight = 10;
    rx::ImageFile b(dir / "photo.png", 0);
    picture.apply(b);
    auto marked = rx::Bitmap::FromData(b.data()->Contents());
    ASSERT_NE(marked->Pixels(), nullptr);
    EXPECT_EQ(marked->Pixels()->convertToFormat(QImage::Format_RGB888).pixel(5, 5),
              qRgb(128, 64, 32));
}

} // namespace
