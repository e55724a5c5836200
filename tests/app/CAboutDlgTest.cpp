// The About box: its labels, its picture and its closing on the first click or key.
#include "app/CAboutDlg.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTest>
#include <QWindow>

#include "engine/Version.h"
#include "tests/ui/QtTestApp.h"
#include "ui/SkinResources.h"

using namespace rx;

namespace {

// Pixels in the rectangle whose every channel passes the test.
template <typename Test> int CountPixels(const QImage& image, const QRect& rect, Test test) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += test(QColor(image.pixel(x, y))) ? 1 : 0;
    return n;
}

class AboutBoxTest : public ::testing::Test {
protected:
    // Shows the box and waits until the window system has it.
    void Show(CAboutDlg& box) {
        box.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    }
    TestAppGuard app_;
};

TEST_F(AboutBoxTest, VersionLabelReadsVersionWithTheProgramVersion) {
    CAboutDlg box;
    EXPECT_EQ(box.versionLabel().text(),
              QStringLiteral("Version ") + QString::fromLatin1(kVersion));
    EXPECT_FALSE(box.versionLabel().text().contains('%'));
    EXPECT_FALSE(box.creditLabel().text().isEmpty());
    EXPECT_TRUE(box.creditLabel().text().contains("Mornsby"));
    // The credit is one line: at the label's face and size it fits the label's width.
    QFont face(QStringLiteral("Lucida Sans Unicode"));
    face.setPointSize(10);
    EXPECT_LE(QFontMetrics(face).horizontalAdvance(box.creditLabel().text()),
              box.creditLabel().width());
    EXPECT_EQ(box.findChild<CLabel*>("1001"), &box.versionLabel());
    EXPECT_EQ(box.findChild<CLabel*>("1007"), &box.creditLabel());
}

TEST_F(AboutBoxTest, IsABorderlessModalPictureWithTheLabelsAtTheTemplatePlaces) {
    // The template font maps 4 x 8 dialog units to 6 x 13 pixels, rounding halves up.
    EXPECT_EQ(CAboutDlg::DialogUnitsToPixels(QRect(0, 0, 333, 185)).size(), QSize(500, 301));
    EXPECT_EQ(CAboutDlg::DialogUnitsToPixels(QRect(183, 73, 90, 10)), QRect(275, 119, 135, 16));
    EXPECT_EQ(CAboutDlg::DialogUnitsToPixels(QRect(79, 171, 175, 10)), QRect(119, 278, 262, 16));

    CAboutDlg box;
    ASSERT_TRUE(box.backgroundLoaded());
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(box.isModal());
    // The picture, 500 x 300, inside a one-pixel frame.
    EXPECT_EQ(box.size(), QSize(502, 302));
    EXPECT_EQ(box.versionLabel().geometry(), QRect(276, 120, 135, 16));
    EXPECT_EQ(box.creditLabel().geometry(), QRect(120, 279, 262, 16));
    // Clicks on the labels reach the box.
    EXPECT_EQ(box.childAt(box.versionLabel().geometry().center()), nullptr);
}

TEST_F(AboutBoxTest, PaintsThePictureWithTheVersionInBlackAndTheCreditInGrey) {
    QImage picture;
    ASSERT_TRUE(LoadPngResource("ABOUTBG", picture));
    CAboutDlg box;
    const QImage shot = box.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(502, 302));

    // Away from the labels the box shows the picture pixel for pixel.
    for (QPoint p : {QPoint(30, 30), QPoint(140, 100), QPoint(400, 60), QPoint(480, 200)})
        EXPECT_EQ(shot.pixel(p + QPoint(1, 1)), picture.pixel(p)) << p.x() << "," << p.y();

    const QRect version = box.versionLabel().geometry();
    const auto dark = [](const QColor& c) {
        return c.red() < 90 && c.green() < 90 && c.blue() < 90;
    };
    EXPECT_EQ(CountPixels(picture, version.translated(-1, -1), dark), 0);
    EXPECT_GT(CountPixels(shot, version, dark), 20) << "black version text over the picture";

    const QRect credit = box.creditLabel().geometry();
    const auto grey = [](const QColor& c) {
        return c.red() > 140 && c.green() > 140 && c.blue() > 140;
    };
    EXPECT_GT(CountPixels(shot, credit, grey),
              CountPixels(picture, credit.translated(-1, -1), grey) + 20)
        << "grey credit text over the dark band";
}

TEST_F(AboutBoxTest, AClickAnywhereClosesIt) {
    for (QPoint at : {QPoint(5, 5), QPoint(250, 150), QPoint(-1, -1)}) {
        CAboutDlg box;
        Show(box);
        // (-1, -1) stands for the middle of the version text.
        const QPoint where = at.x() < 0 ? box.versionLabel().geometry().center() : at;
        QTest::mouseClick(box.windowHandle(), Qt::LeftButton, {}, where);
        EXPECT_FALSE(box.isVisible()) << where.x() << "," << where.y();
        EXPECT_EQ(box.result(), QDialog::Accepted);
    }
}

TEST_F(AboutBoxTest, AnyKeyClosesIt) {
    for (Qt::Key key : {Qt::Key_A, Qt::Key_Space, Qt::Key_Return, Qt::Key_F5, Qt::Key_Shift}) {
        CAboutDlg box;
        Show(box);
        QTest::keyClick(box.windowHandle(), key);
        EXPECT_FALSE(box.isVisible()) << key;
        EXPECT_EQ(box.result(), QDialog::Accepted) << key;
    }
    CAboutDlg box;
    Show(box);
    QTest::keyClick(box.windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(AboutBoxTest, WithoutItsPictureTheBoxStillShowsAndCloses) {
    CAboutDlg box(nullptr, "NOSUCHIMAGE");
    EXPECT_FALSE(box.backgroundLoaded());
    EXPECT_EQ(box.size(), QSize(502, 302));
    const QImage shot = box.grab().toImage();
    const QColor plain = box.palette().color(QPalette::Window);
    EXPECT_EQ(QColor(shot.pixel(30, 30)), plain);
    EXPECT_EQ(QColor(shot.pixel(480, 200)), plain);
    Show(box);
    QTest::mouseClick(box.windowHandle(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_FALSE(box.isVisible());
}

} // namespace
