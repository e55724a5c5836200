#include "QtTestApp.h"
#include "ui/CLabel.h"
#include "ui/CRXPositionCtrl.h"
#include "ui/CRXProgressCtrl.h"
#include "ui/CRXSliderCtrl.h"
#include "ui/NumberMixin.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace rx;

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(ControlsTest, SliderClickAtTheFarRightOfOneToFiveGivesFive) {
    QWidget panel;
    CRXSliderCtrl slider(&panel);
    slider.setGeometry(20, 45, 355, 30);
    slider.setRange(1, 5);
    slider.setValue(1);
    QSignalSpy spy(&slider, &CRXSliderCtrl::HScroll);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(354, 10));
    EXPECT_EQ(slider.value(), 5);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), TB_THUMBPOSITION);
    EXPECT_EQ(spy[0][1].toInt(), 5);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(354, 10));
    EXPECT_EQ(spy.last()[0].toInt(), TB_ENDTRACK);
}

TEST_F(ControlsTest, SliderClickBesideTheThumbJumpsAndOnTheThumbDoesNot) {
    QWidget panel;
    CRXSliderCtrl slider(&panel);
    slider.setGeometry(0, 0, 355, 30);
    slider.setRange(1, 5);
    slider.setValue(3);
    QSignalSpy spy(&slider, &CRXSliderCtrl::HScroll);
    // The left edge of the thumb maps to 2 by the jump rule; on the thumb it must stay 3.
    const QRect thumb = slider.ThumbRect();
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(thumb.left() + 1, thumb.center().y()));
    EXPECT_EQ(slider.value(), 3);
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(thumb.left() + 1, 10));
    spy.clear();
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(12, 10));
    EXPECT_EQ(slider.value(), 1);
    ASSERT_GE(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), TB_THUMBPOSITION);
    // Dragging goes on from the jumped thumb.
    QTest::mouseMove(&slider, QPoint(slider.GetTicPos(4), 10));
    EXPECT_EQ(slider.value(), 4);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(slider.GetTicPos(4), 10));
}

TEST_F(ControlsTest, SliderKeysStepAndReport) {
    CRXSliderCtrl slider;
    slider.resize(200, 30);
    slider.setRange(0, 100);
    slider.setPageStep(10);
    slider.setValue(50);
    QSignalSpy spy(&slider, &CRXSliderCtrl::HScroll);
    QTest::keyClick(&slider, Qt::Key_PageDown);
    EXPECT_EQ(slider.value(), 60);
    EXPECT_EQ(spy[0][0].toInt(), TB_PAGEDOWN);
    EXPECT_EQ(spy[1][0].toInt(), TB_ENDTRACK);
    QTest::keyClick(&slider, Qt::Key_Home);
    EXPECT_EQ(slider.value(), 0);
}

TEST_F(ControlsTest, PositionPadClampsAndMovesByKeys) {
    QWidget panel;
    CRXPositionCtrl pad;
    ASSERT_TRUE(pad.CreatePad(QRect(280, 55, 95, 95), &panel));
    QSignalSpy spy(&pad, &CommandButton::Command);
    pad.SetPoint(100, 0);
    EXPECT_EQ(pad.X(), 84);
    EXPECT_EQ(pad.Y(), 11);
    pad.SetPoint(0, 50);
    EXPECT_EQ(pad.X(), 11);
    EXPECT_EQ(pad.Y(), 50);
    QTest::keyClick(&pad, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(pad.X(), 16);
    QTest::keyClick(&pad, Qt::Key_J);
    EXPECT_EQ(pad.Y(), 51);
    // The marker follows a press and a drag, held inside the pad.
    QTest::mousePress(&pad, Qt::LeftButton, {}, QPoint(90, 3));
    EXPECT_EQ(pad.X(), 84);
    EXPECT_EQ(pad.Y(), 11);
    QTest::mouseMove(&pad, QPoint(40, 60));
    EXPECT_EQ(pad.X(), 40);
    EXPECT_EQ(pad.Y(), 60);
    QTest::mouseRelease(&pad, Qt::LeftButton, {}, QPoint(40, 60));
    EXPECT_EQ(spy.count(), 6);
    EXPECT_EQ(spy[0][0].toInt(), CRXPositionCtrl::kControlId);
}

TEST_F(ControlsTest, ProgressDrawsNoBarAtZeroOrAnEmptyRange) {
    CRXProgressCtrl bar;
    bar.resize(355, 37);
    bar.setRange(0, 100);
    bar.setValue(0);
    EXPECT_TRUE(bar.BarRect().isEmpty());
    bar.setValue(100);
    EXPECT_DOUBLE_EQ(bar.BarRect().right(), 355 - 6);
    bar.setValue(50);
    EXPECT_DOUBLE_EQ(bar.BarRect().left(), 5);
    EXPECT_DOUBLE_EQ(bar.BarRect().top(), 6);
    EXPECT_DOUBLE_EQ(bar.BarRect().bottom(), 31);
    bar.setRange(7, 7);
    bar.setValue(7);
    EXPECT_TRUE(bar.BarRect().isEmpty());
}

TEST_F(ControlsTest, NumberFieldLeftEmptyShowsItsFallbackAfterLosingFocus) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    NumberMixin<QLineEdit> edit;
    NumberMixin<QComboBox> combo;
    combo.setEditable(true);
    QLineEdit other;
    layout->addWidget(&edit);
    layout->addWidget(&combo);
    layout->addWidget(&other);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    edit.SetFallback(37);
    edit.setFocus();
    edit.setText("12");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "");
    other.setFocus();
    EXPECT_EQ(edit.text(), "37");

    // A non-zero text stays; a zero becomes the fallback.
    edit.setFocus();
    edit.setText("8x");
    other.setFocus();
    EXPECT_EQ(edit.text(), "8x");

    combo.SetFallback(16);
    combo.setFocus();
    combo.setEditText("0");
    other.setFocus();
    EXPECT_EQ(combo.currentText(), "16");
    EXPECT_EQ(LeadingDecimal("007abc"), 7);
}

TEST_F(ControlsTest, LabelLayoutFollowsTheStaticStyle) {
    EXPECT_EQ(CLabel::TextFlags(SS_CENTER, "a"),
              Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap);
    EXPECT_EQ(CLabel::TextFlags(SS_CENTERIMAGE, "one line"), int(Qt::AlignCenter));
    EXPECT_EQ(CLabel::TextFlags(SS_CENTERIMAGE, "two\r\nlines"), Qt::AlignHCenter | Qt::AlignTop);
    EXPECT_TRUE(CLabel::TextFlags(SS_LEFT, "a\tb") & Qt::TextExpandTabs);
    CLabel label;
    CLabel& chained = label.UseTransparentBackground(true).UseBold(true).UseFontPoints(10);
    EXPECT_EQ(&chained, &label);
}

} // namespace
