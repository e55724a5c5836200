// Watermark drawing checked on pixels: placement at the edges and the centre, rotation, the
// picture's fitting and opacity, the script's brick pattern, font fallback, and the whole
// operation on encoded files (orientation, metadata, undecodable input, odd formats).
#include <cstdlib>

#include <QFontInfo>
#include <QGuiApplication>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>
#include <vips/vips8>

#include "engine/Bitmap.h"
#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "ops/WatermarkOp.h"
#include "ops/WatermarkRenderer.h"
#include "tests/support/TestImages.h"

namespace {

using rx::WatermarkKind;
using rx::WatermarkOp;
using rx::WatermarkRenderer;

class WatermarkRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        rxtest::EnsureGuiApplication(); // the watermark's text needs fonts
    }
    static QImage Black(int w, int h) {
        QImage img(w, h, QImage::Format_RGB888);
        img.fill(Qt::black);
        return img;
    }
    static WatermarkOp TextOp(const wchar_t* text, unsigned size, float x, float y) {
        WatermarkOp op;
        op.text = text;
        op.fontSize = size;
        op.positionX = x;
        op.positionY = y;
        return op;
    }
};

// Bounding box of the pixels that differ from the reference by more than `threshold`.
QRect ChangedBox(const QImage& a, const QImage& b, int threshold = 0) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    QRect box;
    for (int r = 0; r < x.height(); ++r) {
        const uchar* p = x.constScanLine(r);
        const uchar* q = y.constScanLine(r);
        for (int c = 0; c < x.width(); ++c)
            for (int k = 0; k < 3; ++k)
                if (std::abs(p[3 * c + k] - q[3 * c + k]) > threshold) {
                    box |= QRect(c, r, 1, 1);
                    break;
                }
    }
    return box;
}

QRect Drawn(const WatermarkOp& op, int w, int h) {
    QImage canvas(w, h, QImage::Format_RGB888);
    canvas.fill(Qt::black);
    const QImage before = canvas;
    WatermarkRenderer(op, canvas).DrawText(QString::fromStdWString(op.text));
    return ChangedBox(canvas, before);
}

constexpr int kSlack = 2; // antialiasing fringe

TEST_F(WatermarkRender, TextTouchesTheEdgesItIsPlacedAgainst) {
    const QRect topLeft = Drawn(TextOp(L"HH", 40, 0, 0), 300, 200);
    ASSERT_FALSE(topLeft.isEmpty());
    EXPECT_LE(topLeft.left(), kSlack);
    EXPECT_LE(topLeft.top(), kSlack);
    EXPECT_GT(topLeft.width(), 40); // the text itself, not a speck

    const QRect bottomRight = Drawn(TextOp(L"HH", 40, 1, 1), 300, 200);
    EXPECT_GE(bottomRight.right(), 299 - kSlack);
    EXPECT_GE(bottomRight.bottom(), 199 - kSlack);
    EXPECT_EQ(bottomRight.size(), topLeft.size());

    const QRect centre = Drawn(TextOp(L"HH", 40, 0.5f, 0.5f), 300, 200);
    EXPECT_NEAR(centre.center().x(), 150, kSlack);
    EXPECT_NEAR(centre.center().y(), 100, kSlack);
}

TEST_F(WatermarkRender, RotatedTextKeepsItsBoundingBoxInside) {
    for (float pos : {0.0f, 1.0f}) {
        WatermarkOp op = TextOp(L"HHHH", 40, pos, pos);
        op.angle = 45;
        const QRect box = Drawn(op, 400, 400);
        ASSERT_FALSE(box.isEmpty());
        if (pos == 0) {
            EXPECT_LE(box.left(), kSlack);
            EXPECT_LE(box.top(), kSlack);
        } else {
            EXPECT_GE(box.right(), 399 - kSlack);
            EXPECT_GE(box.bottom(), 399 - kSlack);
        }
        EXPECT_NEAR(box.width(), box.height(), 2 * kSlack); // 45 degrees: a square extent
        EXPECT_GT(box.height(), 80);
    }
}

TEST_F(WatermarkRender, OpacityGivesBrushAlpha127AtFifty) {
    WatermarkOp op = TextOp(L"I", 120, 0.5f, 0.5f);
    op.alpha = 50;
    QImage canvas = Black(200, 200);
    EXPECT_EQ(WatermarkRenderer(op, canvas).TextColor().alpha(), 127);
    WatermarkRenderer(op, canvas).DrawText(QStringLiteral("I"));
    int brightest = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            brightest = std::max(brightest, qRed(canvas.pixel(x, y)));
    EXPECT_NEAR(brightest, 127, 1); // white at alpha 127 over black, inside the stem
}

TEST_F(WatermarkRender, ColourIsTheColorrefByteOrder) {
    WatermarkOp op = TextOp(L"I", 120, 0.5f, 0.5f);
    op.fontColor = 0x0000FF; // red in the low byte
    QImage canvas = Black(200, 200);
    WatermarkRenderer(op, canvas).DrawText(QStringLiteral("I"));
    EXPECT_EQ(canvas.pixel(100, 100), qRgb(255, 0, 0));
}

TEST_F(WatermarkRender, ReferenceSizeScalesByTheLongerSideOfTheReference) {
    WatermarkOp op;
    op.referenceWidth = 1000;
    op.referenceHeight = 800;
    QImage big = Black(2000, 1600);
    EXPECT_FLOAT_EQ(WatermarkRenderer(op, big).ReferenceScale(), 2.0f);
    op.referenceWidth = 800;
    op.referenceHeight = 1000;
    QImage small = Black(400, 500);
    EXPECT_FLOAT_EQ(WatermarkRenderer(op, small).ReferenceScale(), 0.5f);

    // The text doubles with the image.
    WatermarkOp text = TextOp(L"HH", 30, 0, 0);
    const QRect plain = Drawn(text, 600, 400);
    text.referenceWidth = 300;
    text.referenceHeight = 200;
    const QRect scaled = Drawn(text, 600, 400);
    EXPECT_NEAR(scaled.width(), 2 * plain.width(), 3);
    EXPECT_NEAR(scaled.height(), 2 * plain.height(), 3);
}

TEST_F(WatermarkRender, PictureIsFittedIntoTheImage) {
    QImage picture(3000, 1000, QImage::Format_RGB888);
    picture.fill(Qt::red);
    WatermarkOp op;
    op.mode = static_cast<int>(WatermarkKind::Image);
    op.imageWidth = 3000;
    op.imageHeight = 1000;
    QImage canvas = Black(1500, 1500);
    WatermarkRenderer(op, canvas).DrawPicture(picture);
    EXPECT_EQ(ChangedBox(canvas, Black(1500, 1500)), QRect(0, 0, 1500, 500));

    op.positionX = op.positionY = 0.5f;
    canvas = Black(1500, 1500);
    WatermarkRenderer(op, canvas).DrawPicture(picture);
    EXPECT_EQ(ChangedBox(canvas, Black(1500, 1500)), QRect(0, 500, 1500, 500));
}

TEST_F(WatermarkRender, PictureOpacityScalesItsOwnAlpha) {
    QImage picture(40, 40, QImage::Format_RGBA8888);
    picture.fill(QColor(255, 255, 255, 255));
    for (int y = 20; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            picture.setPixelColor(x, y, QColor(255, 255, 255, 128));
    WatermarkOp op;
    op.mode = static_cast<int>(WatermarkKind::Image);
    op.imageWidth = op.imageHeight = 40;
    op.alpha = 50;
    QImage canvas = Black(40, 40);
    WatermarkRenderer(op, canvas).DrawPicture(picture);
    EXPECT_NEAR(qRed(canvas.pixel(20, 5)), 128, 2); // opaque part at half
    EXPECT_NEAR(qRed(canvas.pixel(20, 35)), 64, 2); // half-transparent part at a quarter
}

TEST_F(WatermarkRender, SquarePictureTurnedIsPlacedByItsUnrotatedHalfSize) {
    QImage picture(100, 100, QImage::Format_RGB888);
    picture.fill(Qt::white);
    WatermarkOp op;
    op.mode = static_cast<int>(WatermarkKind::Image);
    op.imageWidth = op.imageHeight = 100;
    op.angle = 45;
    QImage canvas = Black(300, 300);
    WatermarkRenderer(op, canvas).DrawPicture(picture);
    const QRect box = ChangedBox(canvas, Black(300, 300));
    EXPECT_EQ(box.topLeft(), QPoint(0, 0)); // cut off by the edges
    EXPECT_NEAR(box.right(), 50 + 71, 2);   // centre (50, 50) plus half the diagonal
    EXPECT_EQ(canvas.pixel(50, 0), qRgb(255, 255, 255));
}

// Starts of the runs of changed pixels along one row, joining gaps shorter than `join`.
std::vector<int> RunStarts(const QImage& img, int y, int join) {
    std::vector<int> starts;
    int last = -1000;
    for (int x = 0; x < img.width(); ++x)
        if (qRed(img.pixel(x, y)) > 60) {
            if (x - last > join)
                starts.push_back(x);
            last = x;
        }
    return starts;
}

TEST_F(WatermarkRender, ScriptTilesABrickPattern) {
    for (const wchar_t* text : {L"HHHHH", L"HHHHHHHHHHHH"}) {
        WatermarkOp op;
        op.mode = static_cast<int>(WatermarkKind::Script);
        op.text = text;
        op.fontSize = 20;
        QImage canvas = Black(800, 300);
        WatermarkRenderer renderer(op, canvas);
        const auto box = renderer.MeasureText(QString::fromStdWString(text), 20);
        renderer.DrawScript();
        const double tw = box.width(), th = box.height();
        const double gap = std::wcslen(text) <= 10 ? tw : tw / 2;
        const auto even = RunStarts(canvas, static_cast<int>(th / 2), 8);
        const auto odd = RunStarts(canvas, static_cast<int>(2 * th + th / 2), 8);
        ASSERT_GE(even.size(), 2u) << text;
        ASSERT_GE(odd.size(), 2u) << text;
        EXPECT_LE(even[0], kSlack);
        EXPECT_NEAR(even[1] - even[0], tw + gap, kSlack) << text;
        EXPECT_NEAR(odd[0], gap, kSlack) << text;
        // Between the rows nothing is drawn.
        EXPECT_TRUE(RunStarts(canvas, static_cast<int>(1.5 * th), 8).empty());
    }
}

TEST_F(WatermarkRender, MissingFontDrawsInTheGenericSansSerif) {
    QFont generic;
    generic.setFamilies({QStringLiteral("sans-serif")});
    const QString sansFamily = QFontInfo(generic).family();
    const auto draw = [](const std::wstring& family) {
        WatermarkOp op;
        op.text = L"Quick brown fox";
        op.fontName = family;
        op.fontSize = 30;
        QImage canvas(400, 60, QImage::Format_RGB888);
        canvas.fill(Qt::black);
        WatermarkRenderer(op, canvas).DrawText(QString::fromStdWString(op.text));
        return canvas;
    };
    const QImage missing = draw(L"No Such Font Family 42");
    EXPECT_EQ(missing, draw(sansFamily.toStdWString()));
    EXPECT_NE(missing, draw(L"Liberation Serif")); // the comparison does see the family
    EXPECT_NE(missing, draw(L"Arial"));            // a metric-compatible substitute is kept
}

// ---- The whole operation on encoded files ----

struct FileCase {
    rxtest::TempDir dir;
    boost::filesystem::path write(const std::string& name, const rx::Bytes& bytes) {
        const auto path = dir / name;
        rxtest::WriteFile(path, bytes);
        return path;
    }
};

QImage Upright(const rx::Bytes& bytes) {
    auto bitmap = rx::Bitmap::FromData(std::make_shared<rx::Bytes>(bytes));
    const QImage* px = bitmap->Pixels();
    return px ? px->convertToFormat(QImage::Format_RGB888) : QImage();
}

rx::Bytes Contents(const rx::ImageFile& file) {
    return *file.data()->Contents();
}

TEST_F(WatermarkRender, PositionsReferToTheUprightImage) {
    FileCase fc;
    const rx::Bytes source = rxtest::MakeImage(
        rx::OutputFormat::Jpeg, {.width = 240, .height = 120, .orientation = 6, .pattern = false});
    rx::ImageFile file(fc.write("side.jpg", source), 0);
    WatermarkOp op = TextOp(L"HH", 30, 1, 1);
    op.apply(file);
    const QImage out = Upright(Contents(file));
    ASSERT_EQ(out.size(), QSize(120, 240)); // as the user sees it
    const QRect box = ChangedBox(out, Upright(source), 40);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GE(box.right(), 119 - 3);
    EXPECT_GE(box.bottom(), 239 - 3);
    EXPECT_GT(box.top(), 150);
    EXPECT_EQ(rxtest::Inspect(Contents(file)).orientation, 1);
}

TEST_F(WatermarkRender, JpegKeepsExifXmpAndIcc) {
    rx::EnsureImagingStarted();
    const rx::Bytes plain = rxtest::MakeImage(
        rx::OutputFormat::Jpeg,
        {.width = 120, .height = 80, .dateTime = "2014:05:06 12:34:56", .model = "Rexmill Cam"});
    vips::VImage img = vips::VImage::new_from_buffer(plain.data(), plain.size(), "");
    img = img.copy();
    const std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
                            "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'/></x:xmpmeta>";
    img.set(VIPS_META_XMP_NAME, nullptr, const_cast<char*>(xmp.data()), xmp.size());
    VipsBlob* icc = nullptr;
    ASSERT_EQ(vips_profile_load("srgb", &icc, nullptr), 0);
    size_t iccSize = 0;
    const void* iccData = vips_blob_get(icc, &iccSize);
    vips_image_set_blob_copy(img.get_image(), VIPS_META_ICC_NAME, iccData, iccSize);
    void* buf = nullptr;
    size_t len = 0;
    img.write_to_buffer(".jpg", &buf, &len);
    const rx::Bytes source(static_cast<uint8_t*>(buf), static_cast<uint8_t*>(buf) + len);
    g_free(buf);

    FileCase fc;
    rx::ImageFile file(fc.write("camera.jpg", source), 0);
    TextOp(L"HH", 20, 0.5f, 0.5f).apply(file);
    const rx::Bytes out = Contents(file);
    ASSERT_NE(out, source);
    vips::VImage back = vips::VImage::new_from_buffer(out.data(), out.size(), "");
    EXPECT_EQ(std::string(back.get_string("exif-ifd0-Model")).rfind("Rexmill Cam", 0), 0u);
    EXPECT_EQ(rx::Bitmap::FromData(std::make_shared<rx::Bytes>(out))->DateTime(),
              "2014:05:06 12:34:56");
    const auto blob = [&](const char* name) {
        size_t n = 0;
        const void* p = back.get_blob(name, &n);
        return std::string(static_cast<const char*>(p), n);
    };
    EXPECT_EQ(blob(VIPS_META_XMP_NAME), xmp);
    EXPECT_EQ(blob(VIPS_META_ICC_NAME), std::string(static_cast<const char*>(iccData), iccSize));
    vips_area_unref(VIPS_AREA(icc));
}

TEST_F(WatermarkRender, DatestampShowsTheExifDateElseTheModificationDay) {
    const auto stamped = [](const rx::Bytes& bytes, std::time_t mtime, const std::wstring& text) {
        FileCase fc;
        const auto path = fc.write("d.png", bytes);
        boost::filesystem::last_write_time(path, mtime);
        WatermarkOp stamp;
        stamp.mode = static_cast<int>(WatermarkKind::Datestamp);
        stamp.fontSize = 20;
        rx::ImageFile a(path, 0);
        stamp.apply(a);
        WatermarkOp plain = TextOp(text.c_str(), 20, 0, 0);
        rx::ImageFile b(path, 0);
        plain.apply(b);
        return Contents(a) == Contents(b);
    };
    const rx::Bytes withDate = rxtest::MakeImage(
        rx::OutputFormat::Jpeg, {.width = 200, .height = 60, .dateTime = "2014:05:06 12:34:56"});
    EXPECT_TRUE(
        stamped(withDate, 1000000000, rx::FormatDate({2014, 5, 6}, WatermarkOp::ShortDate)));
    const rx::Bytes zeros = rxtest::MakeImage(
        rx::OutputFormat::Jpeg, {.width = 200, .height = 60, .dateTime = "0000:00:00 00:00:00"});
    EXPECT_TRUE(stamped(zeros, 1000000000, rx::FormatDate({2001, 9, 9}, WatermarkOp::ShortDate)));
    EXPECT_FALSE(stamped(zeros, 1000000000, rx::FormatDate({2014, 5, 6}, WatermarkOp::ShortDate)));
}

TEST_F(WatermarkRender, AnUndecodableImageFailsAndKeepsItsBytes) {
    FileCase fc;
    rx::Bytes truncated = rxtest::MakeImage(rx::OutputFormat::Jpeg, {.width = 300, .height = 200});
    truncated.resize(truncated.size() / 2);
    for (const rx::Bytes& bytes :
         {rx::Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'g'}, truncated}) {
        rx::ImageFile file(fc.write("bad.jpg", bytes), 0);
        const rx::StreamPtr before = file.data();
        TextOp(L"HH", 20, 0, 0).apply(file);
        EXPECT_FALSE(file.failure().empty()) << bytes.size() << " bytes";
        EXPECT_EQ(file.data(), before);
        EXPECT_EQ(Contents(file), bytes);
    }
}

TEST_F(WatermarkRender, MissingOrBrokenPictureDrawsNothingButReencodes) {
    FileCase fc;
    const rx::Bytes source = rxtest::MakeImage(rx::OutputFormat::Png, {.width = 100, .height = 80});
    const auto broken = fc.write("logo.png", {'x', 'y', 'z'});
    for (const auto& picture : {fc.dir / "absent.png", broken}) {
        rx::ImageFile file(fc.write("photo.png", source), 0);
        const rx::StreamPtr before = file.data();
        WatermarkOp op;
        op.mode = static_cast<int>(WatermarkKind::Image);
        op.imagePath = picture;
        op.imageWidth = op.imageHeight = 50;
        op.apply(file);
        EXPECT_NE(file.data(), before); // re-encoded
        EXPECT_EQ(Upright(Contents(file)), Upright(source));
        boost::filesystem::remove(fc.dir / "photo.png");
    }
}

TEST_F(WatermarkRender, PictureFileIsReadThroughTheImagingLayer) {
    FileCase fc;
    const auto logoPath =
        fc.write("logo.png", rxtest::MakeImage(rx::OutputFormat::Png,
                                               {.width = 60, .height = 30, .pattern = false}));
    const rx::Bytes photo = rxtest::MakeImage(rx::OutputFormat::Png, {.width = 200, .height = 100});
    rx::ImageFile file(fc.write("photo.png", photo), 0);
    WatermarkOp op;
    op.mode = static_cast<int>(WatermarkKind::Image);
    op.imagePath = logoPath;
    op.imageWidth = 60;
    op.imageHeight = 30;
    op.positionX = op.positionY = 1;
    op.apply(file);
    const QImage out = Upright(Contents(file));
    EXPECT_EQ(out.pixel(199, 99), qRgb(128, 64, 32)); // the logo's flat colour
    EXPECT_EQ(out.pixel(150, 75), qRgb(128, 64, 32));
    EXPECT_EQ(ChangedBox(out, Upright(photo)), QRect(140, 70, 60, 30));
}

TEST_F(WatermarkRender, EveryDecodableFormatGetsItsWatermark) {
    FileCase fc;
    const struct {
        rx::OutputFormat format;
        int bands;
        const char* name;
    } cases[] = {
        {rx::OutputFormat::Gif, 3, "palette.gif"},    {rx::OutputFormat::Png, 1, "grey.png"},
        {rx::OutputFormat::Png, 2, "grey-alpha.png"}, {rx::OutputFormat::Bmp, 3, "plain.bmp"},
        {rx::OutputFormat::Tiff, 4, "rgba.tiff"},     {rx::OutputFormat::Jpeg, 1, "grey.jpg"}};
    for (const auto& c : cases) {
        const rx::Bytes source = rxtest::MakeImage(
            c.format, {.width = 160, .height = 80, .bands = c.bands, .pattern = false});
        rx::ImageFile file(fc.write(c.name, source), 0);
        WatermarkOp op = TextOp(L"HH", 40, 0.5f, 0.5f);
        op.fontColor = 0x0000FF;
        op.apply(file);
        EXPECT_EQ(file.format(), c.format) << c.name;
        const rx::Bytes out = Contents(file);
        EXPECT_EQ(rx::SniffFormat(out.data(), out.size()), c.format) << c.name;
        EXPECT_FALSE(ChangedBox(Upright(out), Upright(source), 40).isEmpty()) << c.name;
    }
}

} // namespace

TEST_F(WatermarkRender, LineBreaksStackLinesCentredOnTheWidest) {
    QImage probe = Black(10, 10);
    const WatermarkOp measure = TextOp(L"", 30, 0.5f, 0.5f);
    WatermarkRenderer renderer(measure, probe);
    const auto one = renderer.MeasureText(QStringLiteral("HHHH"), 30);
    const auto two = renderer.MeasureText(QStringLiteral("HH\nHHHH"), 30);
    const auto crlf = renderer.MeasureText(QStringLiteral("HH\r\nHHHH"), 30);
    EXPECT_NEAR(two.width(), one.width(), 1.0);
    EXPECT_GT(two.height(), 1.8 * one.height());
    EXPECT_EQ(crlf.ink, two.ink);

    const WatermarkOp op = TextOp(L"HH\nHHHH", 30, 0.5f, 0.5f);
    QImage canvas = Black(400, 300);
    const QImage before = canvas;
    WatermarkRenderer(op, canvas).DrawText(QString::fromStdWString(op.text));
    const QRect all = ChangedBox(canvas, before);
    EXPECT_NEAR(all.height(), two.height(), kSlack);
    const int middle = all.top() + all.height() / 2;
    const QRect upper = ChangedBox(canvas.copy(0, 0, 400, middle), before.copy(0, 0, 400, middle));
    const QRect lower = ChangedBox(canvas.copy(0, middle, 400, 300 - middle),
                                   before.copy(0, middle, 400, 300 - middle));
    EXPECT_LT(upper.width(), lower.width() * 3 / 4);
    EXPECT_NEAR(upper.center().x(), lower.center().x(), kSlack);
}
