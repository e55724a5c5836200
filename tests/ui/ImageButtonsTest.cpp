#include "QtTestApp.h"
#include "ui/CColorButton.h"
#include "ui/CImageCheckbox.h"
#include "ui/CImageMenuButton.h"
#include "ui/CImageStatic.h"
#include "ui/CSimpleImageButton.h"
#include "ui/RXLinkCtrl.h"
#include "ui/UiHooks.h"

#include <QGridLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace rx;

namespace {

class ImageButtonsTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

// What the widget paints, without any window background behind it.
QImage Shown(QWidget& w) {
    QImage out(w.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    w.render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
    return out.convertToFormat(QImage::Format_ARGB32);
}

// The image drawn on a transparent field of the widget's size, to compare with a grab.
QImage Expected(const QImage& image, QSize size) {
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter g(&out);
    g.drawImage(0, 0, image);
    g.end();
    return out.convertToFormat(QImage::Format_ARGB32);
}

TEST_F(ImageButtonsTest, ButtonWithoutADownImageShowsItsUpImageWhilePressed) {
    QWidget parent;
    CSimpleImageButton button;
    ASSERT_TRUE(button.CreateSimpleImageButton("", &parent, QPoint(350, 12), "PLAIN", true, 1130));
    EXPECT_TRUE(button.Down().isNull());
    EXPECT_EQ(button.size(), QSize(16, 16));
    const QImage up = Expected(button.Up(), button.size());
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(8, 8));
    ASSERT_TRUE(button.isDown());
    EXPECT_EQ(Shown(button), up);
    QSignalSpy spy(&button, &CommandButton::Command);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(8, 8));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 1130);
}

TEST_F(ImageButtonsTest, PressedButtonWithADownImageShowsIt) {
    QWidget parent;
    CSimpleImageButton button;
    ASSERT_TRUE(button.CreateSimpleImageButton("", &parent, QPoint(370, 12), "CLOSE", true, 57665));
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(Shown(button), Expected(button.Down(), button.size()));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(Shown(button), Expected(button.Up(), button.size()));
    {
        CSimpleImageButton red;
        ASSERT_TRUE(red.CreateSimpleImageButton("", &parent, QPoint(0, 0), "RED", true, 1121));
        red.setEnabled(false); // no REDX: the up image
        EXPECT_EQ(Shown(red), Expected(red.Up(), red.size()));
    }
}

TEST_F(ImageButtonsTest, CheckboxShowsDownWhenCheckedAndDisabledImageWhenDisabled) {
    QWidget parent;
    CImageCheckbox toggle;
    ASSERT_TRUE(toggle.CreateImageCheckbox(&parent, QPoint(12, 221), "WATERMARK", 1110));
    EXPECT_EQ(toggle.size(), QSize(76, 24));
    QSignalSpy spy(&toggle, &CommandButton::Command);
    QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(30, 12));
    EXPECT_TRUE(toggle.isChecked());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 1110);
    EXPECT_EQ(Shown(toggle), Expected(toggle.Down(), toggle.size()));
    toggle.setEnabled(false);
    EXPECT_EQ(Shown(toggle), Expected(toggle.Disabled(), toggle.size()));
    QTest::keyClick(&toggle, Qt::Key_Space);
    EXPECT_TRUE(toggle.isChecked());
}

TEST_F(ImageButtonsTest, MenuButtonReportsTheChosenCommand) {
    QWidget parent;
    parent.resize(395, 260);
    CImageMenuButton menuButton;
    ASSERT_TRUE(menuButton.CreateMenuButton(&parent, QPoint(0, 1)));
    EXPECT_EQ(menuButton.size(), QSize(115, 36));
    QMenu menu;
    menu.addAction("&Import images")->setData(57601);
    QAction* about = menu.addAction("&About Rexmill");
    about->setData(57664);
    menuButton.SetMenu(&menu);
    parent.show();
    QSignalSpy spy(&menuButton, &CommandButton::Command);
    QTest::mousePress(&menuButton, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_TRUE(menu.isVisible());
    EXPECT_TRUE(menuButton.isDown());
    about->trigger();
    menu.hide();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), CImageMenuButton::kControlId);
    EXPECT_EQ(menuButton.MenuResult(), 57664);
    EXPECT_FALSE(menuButton.isDown());
}

TEST_F(ImageButtonsTest, ImageStaticDrawsItsImage) {
    QWidget parent;
    CImageStatic icon;
    ASSERT_TRUE(icon.Create("MOVE", QRect(280, 170, 13, 13), &parent));
    EXPECT_EQ(Shown(icon), Expected(icon.Image(), icon.size()));
    CImageStatic missing;
    EXPECT_FALSE(missing.Create("NOSUCHIMAGE", QRect(0, 0, 5, 5), &parent));
}

TEST_F(ImageButtonsTest, ColourButtonOffersTenColumnsAndOther) {
    QWidget parent;
    parent.resize(300, 200);
    CColorButton button;
    button.setParent(&parent);
    button.setGeometry(175, 100, 35, 20);
    button.SetControlId(1205);
    button.EnableOtherButton("Other");
    button.SetColumnsNumber(10);
    button.SetColor(QColor(0x12, 0x34, 0x56));
    parent.show();
    EXPECT_EQ(Shown(button).pixelColor(10, 10), QColor(0x12, 0x34, 0x56));

    QSignalSpy spy(&button, &CommandButton::Command);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_NE(button.Popup(), nullptr);
    auto* grid = button.Popup()->findChild<QGridLayout*>();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->columnCount(), 10);
    auto swatches = button.Popup()->findChildren<QToolButton*>();
    ASSERT_EQ(swatches.size(), CColorButton::Palette().size());
    QTest::mouseClick(swatches[2], Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(button.GetColor(), CColorButton::Palette()[2]);

    auto previous = ui::SetChooseColorHook([](QWidget*, const QColor&) { return QColor(1, 2, 3); });
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
    auto* other = button.Popup()->findChild<QPushButton*>("other");
    ASSERT_NE(other, nullptr);
    QTest::mouseClick(other, Qt::LeftButton);
    ui::SetChooseColorHook(previous);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(button.GetColor(), QColor(1, 2, 3));
}

TEST_F(ImageButtonsTest, LinkOpensItsFolderWithThePrefix) {
    QWidget parent;
    RXLinkCtrl link;
    link.setParent(&parent);
    link.setText("Show in Folder");
    link.SetURLPrefix("file:");
    link.SetURL("/tmp/out/[resize] 1");
    link.SizeToContent(QRect(100, 125, 195, 25));
    EXPECT_NEAR(link.geometry().center().x(), 197, 1);
    QUrl opened;
    auto previous = ui::SetOpenUrlHook([&](const QUrl& url) {
        opened = url;
        return true;
    });
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(3, 3));
    ui::SetOpenUrlHook(previous);
    EXPECT_EQ(opened.toLocalFile(), "/tmp/out/[resize] 1");
}

} // namespace
