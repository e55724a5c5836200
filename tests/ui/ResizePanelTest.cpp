#include "PanelTestSupport.h"
#include "ui/CRXResizeWnd.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTimerEvent>

using namespace rx;

namespace {

class ResizePanelTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        host = std::make_unique<QWidget>();
        host->resize(395, 80);
        ASSERT_TRUE(panel.CreatePanel(host.get()));
        panel.show();
        FireReportTimer(); // the report of the creation's own box writes
    }
    void TearDown() override {
        panel.setParent(nullptr);
        host.reset();
        PanelTest::TearDown();
    }
    void Choose(int mode) {
        Focus(*host, *panel.ModeList());
        QTest::keyClick(panel.ModeList(), Qt::Key_Home);
        for (int i = 0; i < mode; ++i)
            QTest::keyClick(panel.ModeList(), Qt::Key_Down);
        ASSERT_EQ(panel.Op().mode, mode);
    }
    // Delivers the report timer's event, as the event loop does when the second is over.
    void FireReportTimer() {
        if (!panel.ReportTimer().isActive())
            return;
        QTimerEvent fired(panel.ReportTimer().timerId());
        QCoreApplication::sendEvent(&panel.ReportTimer(), &fired);
    }
    int Row(QWidget* w) const { return w->y(); }

    TestAppGuard app;
    CRXResizeWnd panel;
    std::unique_ptr<QWidget> host;
};

TEST_F(ResizePanelTest, ModesShowTheirBoxesOnTheirRows) {
    const int h = ui::StandardControlHeight();
    ASSERT_GT(h, 0);
    const int a = (80 - h) / 2;
    EXPECT_EQ(panel.ModeList()->pos(), QPoint(20, a));
    Choose(ResizeOp::Width);
    EXPECT_FALSE(panel.WidthBox()->isHidden());
    EXPECT_TRUE(panel.HeightBox()->isHidden());
    EXPECT_TRUE(panel.PercentBox()->isHidden());
    EXPECT_EQ(panel.WidthBox()->pos(), QPoint(175, a));

    Choose(ResizeOp::MaxSize);
    EXPECT_FALSE(panel.WidthBox()->isHidden());
    EXPECT_FALSE(panel.HeightBox()->isHidden());
    EXPECT_TRUE(panel.PercentBox()->isHidden());
    EXPECT_EQ(panel.WidthBox()->pos(), QPoint(175, a - (h / 2 + 5)));
    EXPECT_EQ(panel.HeightBox()->pos(), QPoint(175, a + (h / 2 + 5)));
    int labels = 0;
    for (QLabel* l : panel.findChildren<QLabel*>()) {
        if (l->isHidden())
            continue;
        if (l->text() == QLatin1String("w")) {
            EXPECT_EQ(l->geometry(), QRect(155, a - (h / 2 + 5), 20, h));
            ++labels;
        }
        if (l->text() == QLatin1String("h")) {
            EXPECT_EQ(l->geometry(), QRect(155, a + (h / 2 + 5), 20, h));
            ++labels;
        }
    }
    EXPECT_EQ(labels, 2);

    Choose(ResizeOp::Percentage);
    EXPECT_FALSE(panel.PercentBox()->isHidden());
    EXPECT_TRUE(panel.WidthBox()->isHidden());
    EXPECT_EQ(panel.PercentBox()->pos(), QPoint(175, a));
}

TEST_F(ResizePanelTest, ModeChangeReportsAtOnce) {
    QSignalSpy spy(&panel, &CRXOperationWnd::SettingsChanged);
    Focus(*host, *panel.ModeList());
    QTest::keyClick(panel.ModeList(), Qt::Key_Down);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy[0][0].toBool());
}

TEST_F(ResizePanelTest, TypedZeroClearsTheBoxWithABeep) {
    TypeInto(*host, *panel.WidthBox(), QStringLiteral("640"));
    EXPECT_EQ(panel.Op().width, 640u);
    beeps = 0;
    TypeInto(*host, *panel.WidthBox(), QStringLiteral("0"));
    EXPECT_EQ(panel.WidthBox()->text(), QString());
    EXPECT_EQ(panel.Op().width, 0u);
    EXPECT_EQ(beeps, 1);
}

TEST_F(ResizePanelTest, LoadedSizesOverTheMaximumAreCappedWithABeep) {
    panel.Op().mode = ResizeOp::MaxSize;
    panel.Op().width = 25000;
    panel.Op().height = 300;
    panel.Op().percent = 5000;
    beeps = 0;
    panel.LoadSettings();
    EXPECT_EQ(panel.WidthBox()->text(), QStringLiteral("20000"));
    EXPECT_EQ(panel.Op().width, 20000u);
    EXPECT_EQ(panel.Op().height, 300u);
    EXPECT_EQ(panel.PercentBox()->text(), QStringLiteral("1000"));
    EXPECT_EQ(panel.Op().percent, 1000u);
    EXPECT_EQ(beeps, 2);
    // Zeros load as empty boxes, silently.
    panel.Op().width = 0;
    beeps = 0;
    panel.LoadSettings();
    EXPECT_EQ(panel.WidthBox()->text(), QString());
    EXPECT_EQ(beeps, 0);
}

TEST_F(ResizePanelTest, ABurstOfTypingIsReportedOnceAfterTheLastKey) {
    Choose(ResizeOp::Width);
    FireReportTimer();
    QSignalSpy spy(&panel, &CRXOperationWnd::SettingsChanged);
    Focus(*host, *panel.WidthBox());
    panel.WidthBox()->clear();
    FireReportTimer();
    spy.clear();
    const char* keys = "1200";
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(panel.WidthBox(), keys[i]);
        EXPECT_EQ(spy.count(), 0) << "reported before the burst ended";
        // Each key starts the full second again.
        ASSERT_TRUE(panel.ReportTimer().isActive());
        EXPECT_EQ(panel.ReportTimer().interval(), 1000);
        EXPECT_GT(panel.ReportTimer().remainingTime(), 900);
    }
    EXPECT_EQ(panel.Op().width, 1200u); // the record is current before the report
    FireReportTimer();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy[0][0].toBool());
    EXPECT_FALSE(panel.ReportTimer().isActive());
    FireReportTimer();
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(ResizePanelTest, TypingStopsAtFourDigits) {
    TypeInto(*host, *panel.WidthBox(), QStringLiteral("123456"));
    EXPECT_EQ(panel.WidthBox()->text(), QStringLiteral("1234"));
    TypeInto(*host, *panel.WidthBox(), QStringLiteral("9a"));
    EXPECT_EQ(panel.WidthBox()->text(), QStringLiteral("9"));
}

} // namespace
