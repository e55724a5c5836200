#include "QtTestApp.h"
#include "ui/CFileDropTarget.h"
#include "ui/CRXProgressCtrl.h"
#include "ui/CSimpleImageButton.h"
#include "ui/CToggleButton.h"
#include "ui/SkinResources.h"
#include "ui/TextPainter.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimerEvent>
#include <QUrl>
#include <gtest/gtest.h>

using namespace rx;

namespace {

class PaintingTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

QImage Render(QWidget& w) {
    QImage out(w.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    w.render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
    return out.convertToFormat(QImage::Format_ARGB32);
}

int CountPixels(const QImage& img, const std::function<bool(QColor)>& test, QRect area = {}) {
    if (area.isNull())
        area = img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(img.pixelColor(x, y)) ? 1 : 0;
    return n;
}

TEST_F(PaintingTest, FarAlignedTextEndsAtTheRightOfItsRectangle) {
    QImage img(300, 40, QImage::Format_ARGB32);
    img.fill(Qt::black);
    QPainter g(&img);
    TextPainter painter(0xFFFFFFFF);
    painter.SetHorizontalAlignment(StringAlignment::Far);
    painter.Draw(g, "Bulk Resize", 20, TextPainter::FromEdges(0, 0, 280, 40));
    g.end();
    auto ink = [](QColor c) { return c.red() > 128; };
    EXPECT_EQ(CountPixels(img, ink, QRect(0, 0, 140, 40)), 0);
    EXPECT_GT(CountPixels(img, ink, QRect(140, 0, 140, 40)), 20);
    EXPECT_EQ(CountPixels(img, ink, QRect(281, 0, 19, 40)), 0);
}

TEST_F(PaintingTest, CaptionIsWhiteAndGreyWhenDisabled) {
    QWidget parent;
    QFont font("Arial");
    font.setPixelSize(13);
    parent.setFont(font);
    CSimpleImageButton button;
    ASSERT_TRUE(
        button.CreateSimpleImageButton("START", &parent, QPoint(0, 0), "GREEN", true, 1502));
    auto white = [](QColor c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; };
    auto grey = [](QColor c) {
        return qAbs(c.red() - 0x80) < 12 && qAbs(c.green() - 0x80) < 12 &&
               qAbs(c.blue() - 0x80) < 12;
    };
    const QImage enabled = Render(button);
    EXPECT_GT(CountPixels(enabled, white), 15);
    button.setEnabled(false);
    const QImage disabled = Render(button);
    EXPECT_EQ(CountPixels(disabled, white), 0);
    EXPECT_GT(CountPixels(disabled, grey), 5);
}

TEST_F(PaintingTest, ProgressAtZeroShowsOnlyTheTrack) {
    QImage track;
    ASSERT_TRUE(LoadPngResource("PROGRESS", track));
    CRXProgressCtrl bar;
    bar.SetTrackImage(track);
    bar.resize(355, 37);
    bar.setRange(0, 100);
    bar.setValue(0);
    QImage expected(bar.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
        QPainter g(&expected);
        g.setRenderHint(QPainter::SmoothPixmapTransform, true);
        DrawImageIn(g, track, QRectF(0, 0, 355, 37));
    }
    EXPECT_EQ(Render(bar), expected.convertToFormat(QImage::Format_ARGB32));
    bar.setValue(50);
    const QImage half = Render(bar);
    // The bar's green shows left of the middle and not beyond it.
    auto lime = [](QColor c) { return c.green() > 200 && c.red() > 150 && c.blue() < 170; };
    EXPECT_GT(CountPixels(half, lime, QRect(10, 10, 100, 15)), 1000);
    EXPECT_EQ(CountPixels(half, lime, QRect(200, 10, 100, 15)), 0);
}

TEST_F(PaintingTest, SwitchLoadedOffNotifiesOnTheFirstTick) {
    QWidget panel;
    CToggleButton sw;
    sw.CreateSwitch(QRect(0, 0, 51, 18), &panel, 1230);
    QSignalSpy spy(&sw, &CommandButton::Command);
    sw.LoadState(false);
    QTimerEvent tick(sw.AnimationTimer());
    QCoreApplication::sendEvent(&sw, &tick);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(sw.KnobX(), 0);
    EXPECT_FALSE(sw.IsAnimating());
}

class RecordingTarget : public CFileDropTarget {
public:
    bool OnDropFile(QWidget*, const QString& path) override {
        seen.append(path);
        return path.endsWith(".ok");
    }
    QStringList seen;
};

TEST_F(PaintingTest, DropIsTakenWhenAnyFileIsTakenAndEveryPathIsOffered) {
    QWidget window;
    RecordingTarget target;
    ASSERT_TRUE(target.Register(&window));
    EXPECT_TRUE(window.acceptDrops());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/a/first.bad"), QUrl::fromLocalFile("/a/second.ok"),
                  QUrl::fromLocalFile("/a/third.bad")});
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(target.seen, QStringList({"/a/first.bad", "/a/second.ok", "/a/third.bad"}));

    QMimeData none;
    none.setUrls({QUrl::fromLocalFile("/a/only.bad")});
    QDragEnterEvent again(QPoint(1, 1), Qt::CopyAction, &none, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &again);
    QDropEvent refused(QPointF(1, 1), Qt::CopyAction, &none, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &refused);
    EXPECT_FALSE(refused.isAccepted());
    target.Revoke();
    EXPECT_FALSE(window.acceptDrops());
}

} // namespace
