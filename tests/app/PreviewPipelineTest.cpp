// The preview's own rendering: a picture larger than the screen is made at the screen's size,
// and must look like the job's full-size result reduced for the screen; the reduced source is
// kept while only the watermark changes.
#include "app/PreviewPipeline.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <cstdlib>

#include <boost/filesystem/operations.hpp>

#include "app/PreviewRenderer.h"
#include "engine/Bitmap.h"
#include "engine/ImageFile.h"
#include "engine/OperationSnapshot.h"
#include "ops/OptimizeOp.h"
#include "ops/ResizeOp.h"
#include "ops/WatermarkOp.h"
#include "tests/support/TestImages.h"
#include "tests/ui/QtTestApp.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {

// A photo-like picture: smooth colour fields with sharp-edged shapes, so that a shift, a flip
// or a wrong scale of the picture or of the watermark shows in the comparison.
QImage Photo(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = uchar(x * 255 / width);
            row[3 * x + 1] = uchar(y * 255 / height);
            row[3 * x + 2] = uchar(96 + (x + y) * 64 / (width + height));
        }
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 30));
    p.drawRect(QRectF(width * 0.1, height * 0.15, width * 0.25, height * 0.2));
    p.setBrush(QColor(250, 240, 200));
    p.drawEllipse(QRectF(width * 0.6, height * 0.1, width * 0.3, height * 0.45));
    return image;
}

void WriteJpeg(const fs::path& file, const QImage& image) {
    Bytes bytes;
    ASSERT_TRUE(Bitmap::FromImage(image)->EncodeTo(OutputFormat::Jpeg, &bytes));
    rxtest::WriteFile(file, bytes);
}

// A picture watermark: a disc fading out to full transparency and a translucent bar, on a
// transparent ground.
void WritePicture(const fs::path& file) {
    QImage disc(300, 200, QImage::Format_RGBA8888);
    disc.fill(Qt::transparent);
    QPainter p(&disc);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(150, 100, 100);
    g.setColorAt(0, QColor(0, 40, 255, 255));
    g.setColorAt(1, QColor(0, 40, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(50, 0, 200, 200));
    p.setBrush(QColor(255, 0, 0, 180));
    p.drawRect(QRectF(0, 80, 300, 40));
    p.end();
    Bytes bytes;
    ASSERT_TRUE(Bitmap::FromImage(disc)->EncodeTo(OutputFormat::Png, &bytes));
    rxtest::WriteFile(file, bytes);
}

struct Difference {
    double mean = 0; // mean absolute difference per channel, in levels
    double far = 0;  // share of pixels with a channel off by more than 48 levels
};

Difference Compare(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(x.size(), y.size());
    if (x.size() != y.size())
        return {255, 1};
    double sum = 0;
    long far = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uchar* p = x.constScanLine(r);
        const uchar* q = y.constScanLine(r);
        for (int c = 0; c < x.width(); ++c) {
            int worst = 0;
            for (int k = 0; k < 3; ++k) {
                const int d = std::abs(int(p[3 * c + k]) - int(q[3 * c + k]));
                sum += d;
                worst = std::max(worst, d);
            }
            far += worst > 48;
        }
    }
    const double pixels = double(x.width()) * x.height();
    return {sum / (3 * pixels), far / pixels};
}

// The share of pixels `marked` changes from `plain` that `other` changes as well (both by more
// than 48 levels): where the watermark lies, whatever its colour.
double Overlap(const QImage& plain, const QImage& marked, const QImage& other) {
    const QImage p = plain.convertToFormat(QImage::Format_RGB888);
    const QImage m = marked.convertToFormat(QImage::Format_RGB888);
    const QImage o = other.convertToFormat(QImage::Format_RGB888);
    long inMarked = 0, inBoth = 0;
    const auto changed = [](const uchar* u, const uchar* v) {
        for (int k = 0; k < 3; ++k)
            if (std::abs(int(u[k]) - int(v[k])) > 48)
                return true;
        return false;
    };
    for (int r = 0; r < p.height(); ++r)
        for (int c = 0; c < p.width(); ++c) {
            const uchar* pp = p.constScanLine(r) + 3 * c;
            if (!changed(pp, m.constScanLine(r) + 3 * c))
                continue;
            ++inMarked;
            inBoth += changed(pp, o.constScanLine(r) + 3 * c);
        }
    return inMarked ? double(inBoth) / inMarked : 0.0;
}

class PreviewPipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteJpeg(dir / "photo.jpg", Photo(2400, 1600));
        WritePicture(dir / "mark.png");
        entry = {dir.path(), dir / "photo.jpg"};
        resize.mode = ResizeOp::Width;
        resize.width = 1800;
        watermark.text = L"Rexmill";
        watermark.fontSize = 300;
        watermark.fontColor = 0x00FFFF; // yellow
        watermark.angle = 30;
        watermark.alpha = 80;
        watermark.positionX = 0.3f;
        watermark.positionY = 0.7f;
    }
    OperationSnapshot Operations(bool withWatermark = true) const {
        return OperationSnapshot(std::array<const Operation*, kOperationCount>{
            withWatermark ? &watermark : nullptr, &resize, &optimize});
    }
    // What the job writes, reduced to the given size as the renderer reduces a full result.
    QImage FullReduced(const OperationSnapshot& ops, const QSize& size) {
        std::unique_ptr<Bitmap> full = PreviewRenderer::RenderFile(entry, ops.list());
        const QImage* pixels = full->Pixels();
        EXPECT_NE(pixels, nullptr);
        if (!pixels)
            return {};
        EXPECT_EQ(pixels->size(), QSize(1800, 1200));
        return pixels->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    // Renders with and without the watermark, the reduced way and the full way, and checks that
    // the two ways agree on the picture and on where the watermark lies.
    void ExpectReducedMatchesFull(const char* what) {
        SCOPED_TRACE(what);
        const OperationSnapshot ops = Operations();
        PreviewPipeline pipeline;
        const PreviewPipeline::Result reduced = pipeline.Render(entry, ops.list(), screen);
        EXPECT_EQ(reduced.width, 1800);
        EXPECT_EQ(reduced.height, 1200);
        ASSERT_EQ(reduced.pixels.size(), QSize(600, 400));
        const QImage full = FullReduced(ops, QSize(600, 400));
        const QImage plain = pipeline.Render(entry, Operations(false).list(), screen).pixels;

        const Difference d = Compare(reduced.pixels, full);
        EXPECT_LT(d.mean, 4.0);
        EXPECT_LT(d.far, 0.01);
        // The comparison can fail: the watermark itself is a large difference.
        const Difference watermarkAlone = Compare(plain, full);
        EXPECT_GT(watermarkAlone.far, 0.01);
        EXPECT_GT(Overlap(plain, full, reduced.pixels), 0.85) << "the watermark is elsewhere";
        EXPECT_GT(Overlap(plain, reduced.pixels, full), 0.85) << "the watermark is elsewhere";
    }

    TestAppGuard app_;
    rxtest::TempDir dir;
    FileEntry entry;
    ResizeOp resize;
    WatermarkOp watermark;
    OptimizeOp optimize; // at its strongest JPEG setting below
    const QSize screen{600, 500};
};

TEST_F(PreviewPipelineTest, AReducedTextWatermarkLooksLikeTheFullResultReduced) {
    optimize.quality = 5;
    ExpectReducedMatchesFull("text, rotated and translucent, JPEG quality 60");
    watermark.mode = static_cast<int>(WatermarkKind::Script);
    watermark.fontSize = 120;
    ExpectReducedMatchesFull("script over the whole picture");
    // With saved proportions the sizes follow the image, which the reduction already carries.
    watermark.mode = static_cast<int>(WatermarkKind::Text);
    watermark.fontSize = 300;
    watermark.referenceWidth = 2400;
    watermark.referenceHeight = 1600;
    ExpectReducedMatchesFull("text with saved proportions");
}

TEST_F(PreviewPipelineTest, AReducedPictureWatermarkLooksLikeTheFullResultReduced) {
    watermark.mode = static_cast<int>(WatermarkKind::Image);
    watermark.imagePath = dir / "mark.png";
    watermark.imageWidth = 900;
    watermark.imageHeight = 600;
    watermark.angle = 0;
    ExpectReducedMatchesFull("picture with alpha");
    watermark.angle = 45;
    watermark.alpha = 60;
    ExpectReducedMatchesFull("picture turned and translucent");
}

TEST_F(PreviewPipelineTest, AnUprightTurnedPhotoIsReducedUpright) {
    // Stored 1600 x 1000 with orientation 6: the user sees it 1000 wide and 1600 high.
    rxtest::ImageSpec spec;
    spec.width = 1600;
    spec.height = 1000;
    spec.orientation = 6;
    rxtest::WriteFile(dir / "turned.jpg", rxtest::MakeImage(OutputFormat::Jpeg, spec));
    entry = {dir.path(), dir / "turned.jpg"};
    resize.mode = ResizeOp::Height;
    resize.height = 1200;
    const OperationSnapshot ops = Operations();
    PreviewPipeline pipeline;
    const PreviewPipeline::Result reduced = pipeline.Render(entry, ops.list(), screen);
    EXPECT_EQ(QSize(reduced.width, reduced.height), QSize(750, 1200));
    ASSERT_EQ(reduced.pixels.size(), QSize(313, 500));
    std::unique_ptr<Bitmap> full = PreviewRenderer::RenderFile(entry, ops.list());
    ASSERT_NE(full->Pixels(), nullptr);
    ASSERT_EQ(full->Pixels()->size(), QSize(750, 1200));
    // Compared in coarse blocks, where the test picture's fine stripes average out but a turn
    // the wrong way or a mirror would show.
    const auto coarse = [](const QImage& image) {
        return image.scaled(QSize(40, 64), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    EXPECT_LT(Compare(coarse(reduced.pixels), coarse(*full->Pixels())).mean, 3.0);
    EXPECT_GT(Compare(coarse(reduced.pixels), coarse(full->Pixels()->mirrored(true, true))).mean,
              30.0);
}

TEST_F(PreviewPipelineTest, AResultThatFitsTheScreenIsTheJobsOwn) {
    const OperationSnapshot ops = Operations();
    PreviewPipeline pipeline;
    const std::uint64_t decodes = PreviewPipeline::ReducedDecodes();
    const PreviewPipeline::Result shown = pipeline.Render(entry, ops.list(), QSize(1920, 1200));
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes);
    std::unique_ptr<Bitmap> full = PreviewRenderer::RenderFile(entry, ops.list());
    ASSERT_NE(full->Pixels(), nullptr);
    EXPECT_EQ(shown.pixels.convertToFormat(QImage::Format_RGB888),
              full->Pixels()->convertToFormat(QImage::Format_RGB888));
    EXPECT_EQ(QSize(shown.width, shown.height), QSize(1800, 1200));
}

TEST_F(PreviewPipelineTest, TheReducedSourceIsKeptWhileOnlyTheWatermarkChanges) {
    PreviewPipeline pipeline;
    const std::uint64_t decodes = PreviewPipeline::ReducedDecodes();
    const QImage first = pipeline.Render(entry, Operations().list(), screen).pixels;
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes + 1);

    watermark.positionX = 0.9f;
    watermark.positionY = 0.1f;
    const QImage moved = pipeline.Render(entry, Operations().list(), screen).pixels;
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes + 1) << "a move decoded again";
    EXPECT_GT(Compare(first, moved).far, 0.03) << "the watermark did not move";
    // The kept source is not drawn on.
    const QImage plain = pipeline.Render(entry, Operations(false).list(), screen).pixels;
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes + 1);
    EXPECT_LT(Compare(plain, FullReduced(Operations(false), QSize(600, 400))).mean, 2.5);

    // Another Resize width of the same proportions is shown at the same size: the size label
    // changes, the kept source serves.
    resize.width = 1500;
    const PreviewPipeline::Result narrower = pipeline.Render(entry, Operations().list(), screen);
    EXPECT_EQ(QSize(narrower.width, narrower.height), QSize(1500, 1000));
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes + 1);
    // Another shown size, or the file written again, decodes again.
    pipeline.Render(entry, Operations().list(), QSize(500, 500));
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes + 2);
    WriteJpeg(dir / "photo.jpg", Photo(2400, 1500));
    fs::last_write_time(entry.file, fs::last_write_time(entry.file) + 10);
    const PreviewPipeline::Result rewritten =
        pipeline.Render(entry, Operations().list(), QSize(500, 500));
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes + 3);
    EXPECT_EQ(QSize(rewritten.width, rewritten.height), QSize(1500, 938));
}

TEST_F(PreviewPipelineTest, AnUndecodableOrMissingFileGivesNoResult) {
    Bytes broken = rxtest::ReadFile(entry.file);
    broken.resize(broken.size() / 2);
    rxtest::WriteFile(dir / "cut.jpg", broken);
    PreviewPipeline pipeline;
    const PreviewPipeline::Result cut =
        pipeline.Render({dir.path(), dir / "cut.jpg"}, Operations().list(), screen);
    EXPECT_EQ(cut.width, 0);
    EXPECT_TRUE(cut.pixels.isNull());
    rxtest::WriteFile(dir / "text.jpg", Bytes{'n', 'o', 't'});
    EXPECT_TRUE(pipeline.Render({dir.path(), dir / "text.jpg"}, Operations().list(), screen)
                    .pixels.isNull());
    EXPECT_THROW(pipeline.Render({dir.path(), dir / "gone.jpg"}, Operations().list(), screen),
                 fs::filesystem_error);
}

} // namespace
