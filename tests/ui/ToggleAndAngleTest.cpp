#include "QtTestApp.h"
#include "ui/CRXAngleCtrl.h"
#include "ui/CToggleButton.h"
#include "ui/UiHooks.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimerEvent>
#include <gtest/gtest.h>

using namespace rx;

namespace {

class ToggleAndAngleTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        m_previous = ui::SetBeepHook([this] { ++m_beeps; });
    }
    void TearDown() override { ui::SetBeepHook(m_previous); }

    int m_beeps = 0;
    ui::BeepHook m_previous;
};

void Tick(CToggleButton& sw) {
    QTimerEvent tick(sw.AnimationTimer());
    QCoreApplication::sendEvent(&sw, &tick);
}

TEST_F(ToggleAndAngleTest, SwitchSlidesTwoPixelsPerTickAndNotifiesOnceWhenItStops) {
    QWidget panel;
    CToggleButton sw;
    sw.CreateSwitch(QRect(65, 15, 51, 18), &panel, 1230);
    QSignalSpy spy(&sw, &CommandButton::Command);
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(45, 9)); // right half, off the knob
    EXPECT_TRUE(sw.State());
    ASSERT_TRUE(sw.IsAnimating());
    int ticks = 0;
    while (sw.IsAnimating() && ticks < 100) {
        const int before = sw.KnobX();
        Tick(sw);
        ++ticks;
        if (sw.IsAnimating()) {
            EXPECT_EQ(sw.KnobX(), before + 2);
            EXPECT_EQ(spy.count(), 0);
        }
    }
    EXPECT_EQ(sw.KnobX(), 51 - 24);
    EXPECT_EQ(ticks, 14);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 1230);
}

TEST_F(ToggleAndAngleTest, SwitchRunsOnItsTwentyMillisecondTimer) {
    QWidget panel;
    CToggleButton sw;
    sw.CreateSwitch(QRect(0, 0, 51, 18), &panel, 1209);
    QSignalSpy spy(&sw, &CommandButton::Command);
    sw.LoadState(true); // knob parked far right: the first tick clamps and notifies
    EXPECT_TRUE(spy.wait(2000));
    EXPECT_EQ(sw.KnobX(), 27);
    EXPECT_FALSE(sw.IsAnimating());
    QTest::keyClick(&sw, Qt::Key_Space);
    EXPECT_FALSE(sw.State());
    EXPECT_TRUE(spy.wait(3000));
    EXPECT_EQ(sw.KnobX(), 0);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(ToggleAndAngleTest, SwitchKnobDraggedPastTheMiddleEndsOn) {
    QWidget panel;
    CToggleButton sw;
    sw.CreateSwitch(QRect(0, 0, 51, 18), &panel, 1209);
    QTest::mousePress(&sw, Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_FALSE(sw.IsAnimating());
    QTest::mouseMove(&sw, QPoint(25, 9));
    EXPECT_EQ(sw.KnobX(), 20);
    QTest::mouseMove(&sw, QPoint(80, 9));
    EXPECT_EQ(sw.KnobX(), 27);
    QTest::mouseRelease(&sw, Qt::LeftButton, {}, QPoint(80, 9));
    EXPECT_TRUE(sw.State());
    EXPECT_TRUE(sw.IsAnimating());
}

TEST_F(ToggleAndAngleTest, DialPointerAboveTheCentreGivesNinety) {
    QWidget panel;
    CRXAngleCtrl dial;
    ASSERT_TRUE(dial.CreateAngle(QRect(280, 55, 95, 95), &panel));
    QSignalSpy spy(&dial, &CommandButton::Command);
    QTest::mousePress(&dial, Qt::LeftButton, {}, QPoint(dial.CenterX(), dial.CenterY() - 30));
    EXPECT_EQ(dial.Angle(), 90);
    QTest::mouseMove(&dial, QPoint(dial.CenterX() + 30, dial.CenterY()));
    EXPECT_EQ(dial.Angle(), 180);
    QTest::mouseMove(&dial, QPoint(dial.CenterX() - 30, dial.CenterY() + 1));
    EXPECT_EQ(dial.Angle(), 358); // just below the left: almost a full turn
    QTest::mouseRelease(&dial, Qt::LeftButton, {}, QPoint(0, 0));
    EXPECT_EQ(spy.count(), 3);
    EXPECT_EQ(spy[0][0].toInt(), CRXAngleCtrl::kControlId);
}

TEST_F(ToggleAndAngleTest, DialKeysStepAndWrap) {
    QWidget panel;
    CRXAngleCtrl dial;
    ASSERT_TRUE(dial.CreateAngle(QRect(0, 0, 95, 95), &panel));
    dial.SetAngle(45);
    QTest::keyClick(&dial.Edit(), Qt::Key_PageUp);
    EXPECT_EQ(dial.Angle(), 90);
    dial.SetAngle(0);
    QTest::keyClick(&dial.Edit(), Qt::Key_PageDown);
    EXPECT_EQ(dial.Angle(), 315);
    dial.SetAngle(0);
    QTest::keyClick(&dial.Edit(), Qt::Key_Down);
    EXPECT_EQ(dial.Angle(), 359);
    QTest::keyClick(&dial.Edit(), Qt::Key_Up);
    EXPECT_EQ(dial.Angle(), 0);
    dial.SetAngle(400);
    EXPECT_EQ(dial.Edit().text(), "40");
    EXPECT_EQ(dial.Angle(), 40);
}

TEST_F(ToggleAndAngleTest, DialRefusesALeadingZeroWithABeep) {
    QWidget panel;
    CRXAngleCtrl dial;
    ASSERT_TRUE(dial.CreateAngle(QRect(0, 0, 95, 95), &panel));
    ASSERT_EQ(dial.Edit().text(), "0");
    dial.Edit().setCursorPosition(1);
    QTest::keyClick(&dial.Edit(), Qt::Key_5);
    EXPECT_EQ(dial.Edit().text(), "0");
    EXPECT_EQ(dial.Edit().cursorPosition(), 1);
    EXPECT_EQ(dial.Angle(), 0);
    EXPECT_EQ(m_beeps, 1);
    // Typed values are stored as typed, up to three digits.
    dial.Edit().clear();
    QTest::keyClicks(&dial.Edit(), "4567");
    EXPECT_EQ(dial.Edit().text(), "456");
    EXPECT_EQ(dial.Angle(), 456);
    EXPECT_EQ(m_beeps, 1);
}

} // namespace
