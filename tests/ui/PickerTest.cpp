#include "QtTestApp.h"
#include "ui/CImagePicker.h"
#include "ui/UiHooks.h"

#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <malloc.h>
#include <zlib.h>

#include "engine/Imaging.h"
#include "tests/support/TestImages.h"

using namespace rx;

namespace {

void PutChunk(rx::Bytes& out, const char* type, const rx::Bytes& body) {
    const uint32_t len = uint32_t(body.size());
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(len >> s));
    rx::Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    const uint32_t crc = uint32_t(crc32(0, typed.data(), uInt(typed.size())));
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(crc >> s));
}

// A small PNG file whose header announces w x h RGB pixels.
rx::Bytes PngAnnouncing(uint32_t w, uint32_t h) {
    rx::Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    rx::Bytes ihdr;
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8)
            ihdr.push_back(uint8_t(v >> s));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    PutChunk(out, "IHDR", ihdr);
    rx::Bytes raw(4096, 0), z(8192);
    uLongf zlen = z.size();
    compress(z.data(), &zlen, raw.data(), raw.size());
    z.resize(zlen);
    PutChunk(out, "IDAT", z);
    PutChunk(out, "IEND", {});
    return out;
}

size_t HeapInUse() {
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

class PickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_TRUE(m_dir.isValid());
        m_previous = SetMessageBoxHandler(
            [this](const std::wstring& text, const std::wstring& caption, unsigned style) {
                m_messages.append(QString::fromStdWString(caption) + "|" +
                                  QString::fromStdWString(text) + "|" + QString::number(style));
                return IDOK;
            });
        ASSERT_TRUE(m_picker.CreatePicker(QRect(20, 55, 113, 95), &m_panel));
    }
    void TearDown() override { SetMessageBoxHandler(m_previous); }

    QString MakeImage(const QString& name, int w, int h, QColor colour) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(colour);
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(img.save(path));
        return path;
    }

    TestAppGuard m_app;
    QTemporaryDir m_dir;
    QWidget m_panel;
    CImagePicker m_picker;
    QStringList m_messages;
    MessageBoxHandler m_previous;
};

TEST_F(PickerTest, WideImageIsFittedToTheFrameWidthAndCentredVertically) {
    const QRectF fit = CImagePicker::FitRect(QSizeF(200, 100), QSizeF(113, 95));
    EXPECT_DOUBLE_EQ(fit.width(), 113);
    EXPECT_DOUBLE_EQ(fit.height(), 56.5);
    EXPECT_DOUBLE_EQ(fit.top(), 19.25);
    EXPECT_DOUBLE_EQ(fit.left(), 0);
    const QRectF tall = CImagePicker::FitRect(QSizeF(50, 190), QSizeF(113, 95));
    EXPECT_DOUBLE_EQ(tall.width(), 25);
    EXPECT_DOUBLE_EQ(tall.left(), 44);

    QSignalSpy spy(&m_picker, &CommandButton::Command);
    ASSERT_TRUE(m_picker.LoadImageFile(MakeImage("wide.png", 200, 100, Qt::red), true));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(m_picker.NaturalWidth(), 200);
    EXPECT_EQ(m_picker.NaturalHeight(), 100);
    const QImage thumb = m_picker.Thumbnail().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(thumb.size(), QSize(113, 95));
    EXPECT_EQ(thumb.pixelColor(56, 47), QColor(Qt::red));
    EXPECT_EQ(thumb.pixelColor(56, 21), QColor(Qt::red));
    EXPECT_NE(thumb.pixelColor(56, 17), QColor(Qt::red)); // the frame shows above
    EXPECT_NE(thumb.pixelColor(56, 77), QColor(Qt::red)); // and below
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(PickerTest, UndecodableFileChangesNothing) {
    const QString good = MakeImage("good.png", 40, 40, Qt::blue);
    ASSERT_TRUE(m_picker.LoadImageFile(good, false));
    QFile bad(m_dir.filePath("bad.png"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not an image");
    bad.close();
    EXPECT_FALSE(m_picker.LoadImageFile(bad.fileName(), true));
    EXPECT_EQ(m_picker.Path(), good);
    EXPECT_EQ(m_picker.NaturalWidth(), 40);
}

TEST_F(PickerTest, VectorAndScriptFormatsAreNotImages) {
    QFile svg(m_dir.filePath("logo.png"));
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write("<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
              "<rect width='10' height='10'/></svg>");
    svg.close();
    EXPECT_FALSE(m_picker.LoadImageFile(svg.fileName(), true));
    EXPECT_TRUE(m_picker.Path().isEmpty());
}

TEST_F(PickerTest, ChooserShowsWhenEmptyHoveredOrFocused) {
    EXPECT_TRUE(m_picker.ShowsChooser());
    ASSERT_TRUE(m_picker.LoadImageFile(MakeImage("a.png", 30, 30, Qt::green), false));
    EXPECT_FALSE(m_picker.ShowsChooser());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&m_picker, &enter);
    EXPECT_TRUE(m_picker.ShowsChooser());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&m_picker, &leave);
    EXPECT_FALSE(m_picker.ShowsChooser());
}

TEST_F(PickerTest, BrowseClickLoadsTheChosenFile) {
    const QString path = MakeImage("chosen.png", 64, 32, Qt::yellow);
    QString initial = "unset";
    auto previous = ui::SetOpenFileHook([&](QWidget*, const QString& filter, const QString& start) {
        initial = start;
        EXPECT_TRUE(filter.contains("*.tiff"));
        return path;
    });
    QSignalSpy spy(&m_picker, &CommandButton::Command);
    QTest::mouseClick(&m_picker, Qt::LeftButton, {}, QPoint(50, 50));
    ui::SetOpenFileHook(previous);
    EXPECT_EQ(initial, "");
    EXPECT_EQ(m_picker.Path(), path);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), CImagePicker::kControlId);
}

TEST_F(PickerTest, DropAcceptsLocalFileListsOnly) {
    const QString path = MakeImage("dropped.png", 20, 10, Qt::cyan);
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(&m_picker, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);

    QMimeData text;
    text.setText("hello");
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_picker, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData remote;
    remote.setUrls({QUrl("https://example.invalid/a.png")});
    QDragEnterEvent web(QPoint(10, 10), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_picker, &web);
    EXPECT_FALSE(web.isAccepted());

    QSignalSpy spy(&m_picker, &CommandButton::Command);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_picker, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(m_picker.Path(), path);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(PickerTest, AnimatedImageIsAcceptedWithItsMessageOnlyWhenChosen) {
    const QString convert = QStandardPaths::findExecutable("convert");
    if (convert.isEmpty())
        GTEST_SKIP() << "ImageMagick is needed to make an animated GIF";
    const QString gif = m_dir.filePath("anim.gif");
    QProcess p;
    p.start(convert, {"-size", "30x20", "xc:red", "xc:blue", "-loop", "0", gif});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0);

    QSignalSpy spy(&m_picker, &CommandButton::Command);
    ASSERT_TRUE(m_picker.LoadImageFile(gif, false)); // a stored path: silent
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(spy.count(), 0);
    ASSERT_TRUE(m_picker.LoadImageFile(gif, true));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], CImagePicker::kAnimatedCaption + "|" + CImagePicker::kAnimatedText +
                                 "|" + QString::number(MB_ICONINFORMATION));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(m_picker.Thumbnail().pixelColor(56, 47), QColor(Qt::red)); // the first frame
}

TEST_F(PickerTest, AnOrientedJpegShowsUpright) {
    // Stored 60 x 20 with EXIF orientation 6: seen 20 wide and 60 high.
    const QString path = m_dir.filePath("turned.jpg");
    rxtest::WriteFile(
        path.toStdString(),
        rxtest::MakeImage(OutputFormat::Jpeg,
                          {.width = 60, .height = 20, .orientation = 6, .pattern = false}));
    ASSERT_TRUE(m_picker.LoadImageFile(path, false));
    EXPECT_EQ(m_picker.NaturalWidth(), 20);
    EXPECT_EQ(m_picker.NaturalHeight(), 60);
    // A tall picture fills the frame's height and leaves the frame showing at the sides.
    const QImage thumb = m_picker.Thumbnail().convertToFormat(QImage::Format_ARGB32);
    const QColor centre = thumb.pixelColor(56, 47);
    const QColor side = thumb.pixelColor(8, 47);
    EXPECT_NE(centre, side);
    EXPECT_EQ(thumb.pixelColor(56, 3), centre) << "the picture reaches the top";
}

TEST_F(PickerTest, AHugePngIsRefusedFromItsHeader) {
    const QString good = MakeImage("good.png", 40, 40, Qt::blue);
    ASSERT_TRUE(m_picker.LoadImageFile(good, false));
    const QString path = m_dir.filePath("huge.png");
    rxtest::WriteFile(path.toStdString(), PngAnnouncing(40000, 40000));
    const std::uint64_t decodes = PixelDecodeCount();
    const size_t before = HeapInUse();
    EXPECT_FALSE(m_picker.LoadImageFile(path, true));
    EXPECT_EQ(PixelDecodeCount(), decodes) << "no pixels were decoded";
    EXPECT_LT(HeapInUse() - std::min(before, HeapInUse()), size_t(64) << 20);
    EXPECT_EQ(m_picker.Path(), good);
    EXPECT_EQ(m_picker.NaturalWidth(), 40);
    EXPECT_TRUE(m_messages.isEmpty());
}

} // namespace
