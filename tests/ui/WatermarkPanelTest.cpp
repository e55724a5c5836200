#include "PanelTestSupport.h"
#include "ui/CColorButton.h"
#include "ui/CImagePicker.h"
#include "ui/CRXAngleCtrl.h"
#include "ui/CRXPositionCtrl.h"
#include "ui/CRXSliderCtrl.h"
#include "ui/CRXWatermarkWnd.h"
#include "ui/CToggleButton.h"
#include "ui/FrameworkIconButton.h"
#include "ui/OperationPanelSet.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimerEvent>
#include <QToolButton>

using namespace rx;

namespace {

class WatermarkPanelTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        host = std::make_unique<QWidget>();
        host->resize(395, 205);
        ASSERT_TRUE(panel.CreatePanel(host.get()));
        panel.show();
    }
    void TearDown() override {
        panel.setParent(nullptr); // the panel is the fixture's, not the host's
        host.reset();
        PanelTest::TearDown();
    }
    // Chooses a list entry with the keyboard, as a user does on a closed list.
    void Choose(QComboBox& list, int index) {
        Focus(*host, list);
        QTest::keyClick(&list, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(&list, Qt::Key_Down);
        ASSERT_EQ(list.currentIndex(), index);
    }
    void Settle(CToggleButton& sw) {
        for (int i = 0; i < 100 && sw.IsAnimating(); ++i) {
            QTimerEvent tick(sw.AnimationTimer());
            QCoreApplication::sendEvent(&sw, &tick);
        }
    }
    bool Shown(QWidget* w) const { return !w->isHidden(); }

    TestAppGuard app;
    CRXWatermarkWnd panel;
    std::unique_ptr<QWidget> host;
};

TEST_F(WatermarkPanelTest, EachKindShowsItsControls) {
    // Kind: text box, date list, font group, picker group, switch group, pad, dial.
    const bool table[4][7] = {
        {true, false, true, false, true, true, false},  // Text
        {false, false, false, true, true, true, false}, // Image
        {false, false, false, false, false, false, true},
        {false, true, true, false, true, true, false}, // Datestamp
    };
    for (int kind = 0; kind < 4; ++kind) {
        Choose(*panel.ModeList(), kind);
        EXPECT_EQ(panel.Op().mode, kind);
        const bool* row = table[kind];
        const bool text = kind == 0 || kind == 2;
        const bool fonts = kind != 1;
        EXPECT_EQ(Shown(panel.TextBox()), text) << kind;
        EXPECT_EQ(Shown(panel.DateList()), row[1]) << kind;
        for (QWidget* w :
             {static_cast<QWidget*>(panel.FamilyList()), static_cast<QWidget*>(panel.SizeBox()),
              static_cast<QWidget*>(panel.StyleList()), static_cast<QWidget*>(panel.ColorButton()),
              static_cast<QWidget*>(panel.UnderlineButton())})
            EXPECT_EQ(Shown(w), fonts) << kind;
        for (QWidget* w :
             {static_cast<QWidget*>(panel.Picker()), static_cast<QWidget*>(panel.WidthBox()),
              static_cast<QWidget*>(panel.HeightBox()), static_cast<QWidget*>(panel.Lock())})
            EXPECT_EQ(Shown(w), row[3]) << kind;
        EXPECT_EQ(Shown(panel.MoveRotateSwitch()), kind != 2) << kind;
        // Script: the dial even though the move/rotate switch is off.
        EXPECT_EQ(Shown(panel.PositionPad()), kind != 2) << kind;
        EXPECT_EQ(Shown(panel.AngleDial()), kind == 2) << kind;
        EXPECT_TRUE(Shown(panel.OpacityBox()) && Shown(panel.OpacitySlider()));
    }
    // The switch turns the pad into the dial for the other kinds.
    Choose(*panel.ModeList(), 0);
    QTest::mouseClick(panel.MoveRotateSwitch(), Qt::LeftButton, {}, QPoint(45, 9));
    Settle(*panel.MoveRotateSwitch());
    EXPECT_TRUE(Shown(panel.AngleDial()));
    EXPECT_FALSE(Shown(panel.PositionPad()));
}

TEST_F(WatermarkPanelTest, OpacityBoxCapsAtOneHundredAndFollowsTheSlider) {
    QSignalSpy spy(&panel, &CRXOperationWnd::SettingsChanged);
    TypeInto(*host, *panel.OpacityBox(), QStringLiteral("37"));
    EXPECT_EQ(panel.Op().alpha, 37u);
    EXPECT_EQ(panel.OpacitySlider()->value(), 37);
    TypeInto(*host, *panel.OpacityBox(), QStringLiteral("150"));
    EXPECT_EQ(panel.OpacityBox()->text(), QStringLiteral("100"));
    EXPECT_EQ(panel.Op().alpha, 100u);
    EXPECT_EQ(panel.OpacitySlider()->value(), 100);
    ASSERT_GT(spy.count(), 0);
    EXPECT_TRUE(spy.last()[0].toBool());

    // A click on the slider's channel where 37 lies.
    CRXSliderCtrl& slider = *panel.OpacitySlider();
    const QRect channel = slider.ChannelRect();
    const int span = channel.width() - slider.ThumbLength() / 2;
    const int x = channel.left() + (37 * span + 99) / 100;
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(x, slider.height() / 2));
    EXPECT_EQ(slider.value(), 37);
    EXPECT_EQ(panel.OpacityBox()->text(), QStringLiteral("37"));
    EXPECT_EQ(panel.Op().alpha, 37u);
}

TEST_F(WatermarkPanelTest, LoadedAngleAndPositionLandOnTheDialAndThePadGrid) {
    panel.Op().angle = 400;
    panel.Op().positionX = 0.5f;
    panel.Op().positionY = 1.0f;
    panel.LoadSettings();
    EXPECT_EQ(panel.AngleDial()->Edit().text(), QStringLiteral("40"));
    EXPECT_EQ(panel.Op().angle, 40u);
    EXPECT_EQ(panel.PositionPad()->X(), 47); // 0.5 x 73 + 11 = 47.5, truncated
    EXPECT_EQ(panel.PositionPad()->Y(), 84);
    EXPECT_FLOAT_EQ(panel.Op().positionX, 36.0f / 73.0f);
    EXPECT_FLOAT_EQ(panel.Op().positionY, 1.0f);

    // The pad under the pointer writes the fraction of its point.
    QTest::mouseClick(panel.PositionPad(), Qt::LeftButton, {}, QPoint(84, 11));
    EXPECT_FLOAT_EQ(panel.Op().positionX, 1.0f);
    EXPECT_FLOAT_EQ(panel.Op().positionY, 0.0f);
}

TEST_F(WatermarkPanelTest, LockedProportionsFollowTheTypedWidth) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/mark.png");
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(path));
    Choose(*panel.ModeList(), 1);
    EXPECT_FALSE(panel.WidthBox()->isEnabled());            // no picture yet
    ASSERT_TRUE(panel.Picker()->LoadImageFile(path, true)); // as a drop does
    EXPECT_TRUE(panel.WidthBox()->isEnabled() && panel.Lock()->isEnabled());
    EXPECT_EQ(panel.WidthBox()->text(), QStringLiteral("400"));
    EXPECT_EQ(panel.Op().imageHeight, 300);
    EXPECT_EQ(QString::fromStdWString(panel.Op().imagePath.wstring()), path);
    EXPECT_TRUE(panel.Lock()->isChecked());

    TypeInto(*host, *panel.WidthBox(), QStringLiteral("200"));
    EXPECT_EQ(panel.HeightBox()->text(), QStringLiteral("150"));
    EXPECT_EQ(panel.Op().imageWidth, 200);
    EXPECT_EQ(panel.Op().imageHeight, 150);
    TypeInto(*host, *panel.HeightBox(), QStringLiteral("30"));
    EXPECT_EQ(panel.WidthBox()->text(), QStringLiteral("40"));

    // Unlocked, a typed width leaves the height; locking again restores the natural size.
    QTest::mouseClick(panel.Lock(), Qt::LeftButton);
    EXPECT_FALSE(panel.Lock()->isChecked());
    TypeInto(*host, *panel.WidthBox(), QStringLiteral("123"));
    EXPECT_EQ(panel.Op().imageWidth, 123);
    EXPECT_EQ(panel.Op().imageHeight, 30);
    QTest::mouseClick(panel.Lock(), Qt::LeftButton);
    EXPECT_EQ(panel.Op().imageWidth, 400);
    EXPECT_EQ(panel.Op().imageHeight, 300);
    // An empty box is ignored: the field keeps its value.
    TypeInto(*host, *panel.WidthBox(), QString());
    EXPECT_EQ(panel.Op().imageWidth, 400);
}

TEST_F(WatermarkPanelTest, FamilyWithoutTheShownStyleKeepsFontStyle) {
    QString full, plain;
    for (const QString& f : QFontDatabase::families()) {
        const QList<int> styles = CRXWatermarkWnd::StylesOf(f);
        if (full.isEmpty() && styles.size() == 4)
            full = f;
        if (plain.isEmpty() && !QFontDatabase::styles(f).isEmpty() && !styles.contains(3) &&
            !f.startsWith(full.left(3)))
            plain = f;
    }
    if (full.isEmpty() || plain.isEmpty())
        GTEST_SKIP() << "no installed family pair with and without Bold Italic";
    panel.Op().fontName = full.toStdWString();
    panel.Op().fontStyle = 3;
    panel.LoadSettings();
    ASSERT_EQ(panel.StyleList()->currentText(), QStringLiteral("Bold Italic"));
    const int index = panel.FamilyList()->findText(plain, Qt::MatchExactly);
    ASSERT_GE(index, 0);
    Choose(*panel.FamilyList(), index);
    EXPECT_EQ(QString::fromStdWString(panel.Op().fontName), plain);
    EXPECT_EQ(panel.Op().fontStyle, 3u);
    EXPECT_EQ(panel.StyleList()->currentIndex(), 0);
    EXPECT_EQ(panel.StyleList()->findText(QStringLiteral("Bold Italic")), -1);
}

TEST_F(WatermarkPanelTest, StyleUnderlineAndColourCombineIntoTheFontFields) {
    ASSERT_GE(panel.StyleList()->count(), 2);
    QTest::mouseClick(panel.UnderlineButton(), Qt::LeftButton);
    EXPECT_TRUE(panel.UnderlineButton()->ShowsPressed());
    EXPECT_EQ(panel.Op().fontStyle, 4u);
    const int bold = panel.StyleList()->findText(QStringLiteral("Bold"), Qt::MatchExactly);
    ASSERT_GE(bold, 0);
    Choose(*panel.StyleList(), bold);
    EXPECT_EQ(panel.Op().fontStyle, 5u);
    QTest::mouseClick(panel.UnderlineButton(), Qt::LeftButton);
    EXPECT_FALSE(panel.UnderlineButton()->ShowsPressed());
    EXPECT_EQ(panel.Op().fontStyle, 1u);

    QTest::mouseClick(panel.ColorButton(), Qt::LeftButton);
    ASSERT_NE(panel.ColorButton()->Popup(), nullptr);
    const auto swatches = panel.ColorButton()->Popup()->findChildren<QToolButton*>();
    const int red = int(CColorButton::Palette().indexOf(QColor(0xFF, 0, 0)));
    ASSERT_GE(red, 0);
    QTest::mouseClick(swatches[red], Qt::LeftButton);
    EXPECT_EQ(panel.Op().fontColor, 0x0000FFu); // COLORREF: red in the low byte
}

TEST_F(WatermarkPanelTest, SizeBoxIgnoresZeroAndShowsTheLastSizeWhenLeftEmpty) {
    NumberMixin<QComboBox>& box = *panel.SizeBox();
    Focus(*host, box);
    box.lineEdit()->selectAll();
    QTest::keyClicks(&box, QStringLiteral("48"));
    EXPECT_EQ(panel.Op().fontSize, 48u);
    panel.TextBox()->setFocus(); // leave the box
    QApplication::processEvents();
    EXPECT_EQ(box.currentText(), QStringLiteral("48"));
    Focus(*host, box);
    box.lineEdit()->selectAll();
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClicks(&box, QStringLiteral("0"));
    EXPECT_EQ(panel.Op().fontSize, 48u);
    panel.TextBox()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(box.currentText(), QStringLiteral("48"));
    // A listed size chosen from the list.
    Focus(*host, box);
    QTest::keyClick(&box, Qt::Key_Down);
    EXPECT_EQ(panel.Op().fontSize, 52u);
}

TEST_F(WatermarkPanelTest, EveryChangeClearsThePreviewLockAndTheReferenceSize) {
    // The preview's lock is the panel's own; no preview window is needed to clear it.
    CImageCheckbox& lock = panel.PreviewLock();
    lock.setChecked(true);
    ASSERT_TRUE(lock.isChecked());
    panel.Op().referenceWidth = 640;
    panel.Op().referenceHeight = 480;
    QSignalSpy spy(&panel, &CRXOperationWnd::SettingsChanged);
    TypeInto(*host, *panel.TextBox(), QStringLiteral("x"));
    EXPECT_EQ(panel.Op().text, L"x");
    EXPECT_FALSE(lock.isChecked());
    EXPECT_EQ(panel.Op().referenceWidth, 0);
    EXPECT_EQ(panel.Op().referenceHeight, 0);
    ASSERT_GT(spy.count(), 0);
    EXPECT_TRUE(spy.last()[0].toBool());
}

TEST_F(WatermarkPanelTest, TextBoxTakesAtMostOneHundredCharacters) {
    TypeInto(*host, *panel.TextBox(), QString(120, QLatin1Char('a')));
    EXPECT_EQ(panel.Op().text.size(), 100u);
}

} // namespace
