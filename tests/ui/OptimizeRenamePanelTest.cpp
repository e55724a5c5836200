#include "PanelTestSupport.h"
#include "ui/CRXOptimizeWnd.h"
#include "ui/CRXRenameWnd.h"
#include "ui/CRXSliderCtrl.h"
#include "ui/CToggleButton.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTimerEvent>

using namespace rx;

namespace {

template <class Panel> class PanelFixture : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        host = std::make_unique<QWidget>();
        host->resize(395, 100);
        ASSERT_TRUE(panel.CreatePanel(host.get()));
        panel.show();
    }
    void TearDown() override {
        panel.setParent(nullptr);
        host.reset();
        PanelTest::TearDown();
    }

    TestAppGuard app;
    Panel panel;
    std::unique_ptr<QWidget> host;
};

using OptimizePanelTest = PanelFixture<CRXOptimizeWnd>;
using RenamePanelTest = PanelFixture<CRXRenameWnd>;

TEST_F(OptimizePanelTest, SliderEndsAndLabelsUnderTheTicks) {
    CRXSliderCtrl& slider = *panel.Slider();
    EXPECT_EQ(slider.geometry(), QRect(20, 45, 355, 30));
    QSignalSpy spy(&panel, &CRXOperationWnd::SettingsChanged);
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(slider.width() - 2, 10));
    EXPECT_EQ(panel.Op().quality, 5u);
    ASSERT_GT(spy.count(), 0);
    EXPECT_TRUE(spy.last()[0].toBool());

    panel.Op().quality = 3;
    panel.LoadSettings();
    // Centres in panel coordinates (a 60-px label centres at left + 30).
    const auto centre = [](const QRect& r) { return r.left() + r.width() / 2; };
    const int thumbCentre = slider.x() + centre(slider.ThumbRect());
    ASSERT_NE(panel.TickLabel(1), nullptr);
    EXPECT_EQ(panel.TickLabel(1)->text(), QStringLiteral("opt"));
    EXPECT_LE(std::abs(centre(panel.TickLabel(1)->geometry()) - thumbCentre), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(panel.TickLabel(i)->width(), 60);
        EXPECT_EQ(centre(panel.TickLabel(i)->geometry()), slider.x() + slider.GetTicPos(1 + 2 * i));
    }
}

void Settle(CToggleButton& sw) {
    for (int i = 0; i < 100 && sw.IsAnimating(); ++i) {
        QTimerEvent tick(sw.AnimationTimer());
        QCoreApplication::sendEvent(&sw, &tick);
    }
}

TEST_F(RenamePanelTest, ForbiddenCharactersGoAtOnceWithABeep) {
    QSignalSpy spy(&panel, &CRXOperationWnd::SettingsChanged);
    TypeInto(*host, *panel.TextBox(), QStringLiteral("Hol:iday"));
    EXPECT_EQ(panel.TextBox()->text(), QStringLiteral("Holiday"));
    EXPECT_EQ(panel.Op().common, L"Holiday");
    EXPECT_EQ(beeps, 1);
    ASSERT_GT(spy.count(), 0);
    for (const auto& report : spy)
        EXPECT_FALSE(report[0].toBool());
    // The caret stays where the typing was.
    panel.TextBox()->setCursorPosition(3);
    QTest::keyClicks(panel.TextBox(), QStringLiteral("|"));
    EXPECT_EQ(panel.TextBox()->text(), QStringLiteral("Holiday"));
    EXPECT_EQ(panel.TextBox()->cursorPosition(), 3);
    EXPECT_EQ(beeps, 2);
}

TEST_F(RenamePanelTest, WhiteSpaceGoesOnlyAtTheOpenEnd) {
    // Prefix: a leading space goes, a trailing one stays.
    TypeInto(*host, *panel.TextBox(), QStringLiteral(" a "));
    EXPECT_EQ(panel.Op().common, L"a ");
    EXPECT_EQ(beeps, 1);
    // Suffix: a space typed after the text goes at once.
    QTest::mouseClick(panel.SideSwitch(), Qt::LeftButton, {}, QPoint(45, 9));
    Settle(*panel.SideSwitch());
    ASSERT_EQ(panel.Op().mode, RenameOp::Suffix);
    EXPECT_EQ(panel.Op().common, L"a"); // the mode change cleans the text for its side
    EXPECT_EQ(beeps, 2);
    TypeInto(*host, *panel.TextBox(), QStringLiteral("_bc"));
    EXPECT_EQ(beeps, 2);
    QTest::keyClick(panel.TextBox(), Qt::Key_Space);
    EXPECT_EQ(panel.TextBox()->text(), QStringLiteral("_bc"));
    EXPECT_EQ(beeps, 3);
    // A space inside the text stays.
    panel.TextBox()->setCursorPosition(2);
    QTest::keyClick(panel.TextBox(), Qt::Key_Space);
    EXPECT_EQ(panel.TextBox()->text(), QStringLiteral("_b c"));
    EXPECT_EQ(panel.Op().common, L"_b c");
    EXPECT_EQ(beeps, 3);
}

TEST_F(RenamePanelTest, SuffixLayoutMovesTheControlsAndBoldsItsLabel) {
    const int h = ui::StandardControlHeight();
    const int y = 87 - (h + 15);
    EXPECT_EQ(panel.TextBox()->pos(), QPoint(20, y));
    EXPECT_EQ(panel.DigitsList()->pos(), QPoint(260, y));
    EXPECT_EQ(panel.StartBox()->pos(), QPoint(335, y));
    EXPECT_TRUE(panel.PrefixLabel()->font().bold());
    EXPECT_FALSE(panel.SuffixLabel()->font().bold());

    QSignalSpy spy(&panel, &CRXOperationWnd::SettingsChanged);
    QTest::mouseClick(panel.SideSwitch(), Qt::LeftButton, {}, QPoint(45, 9));
    EXPECT_EQ(panel.Op().mode, RenameOp::Prefix); // applied when the knob comes to rest
    Settle(*panel.SideSwitch());
    EXPECT_EQ(panel.Op().mode, RenameOp::Suffix);
    EXPECT_EQ(panel.DigitsList()->pos(), QPoint(20, y));
    EXPECT_EQ(panel.StartBox()->pos(), QPoint(95, y));
    EXPECT_EQ(panel.TextBox()->pos(), QPoint(145, y));
    EXPECT_TRUE(panel.SuffixLabel()->font().bold());
    EXPECT_FALSE(panel.PrefixLabel()->font().bold());
    ASSERT_GT(spy.count(), 0);
    EXPECT_FALSE(spy.last()[0].toBool());
}

TEST_F(RenamePanelTest, DigitsAndStartNumber) {
    panel.Op().digits = 3;
    panel.Op().startWith = 10;
    panel.Op().mode = RenameOp::Suffix;
    panel.LoadSettings();
    EXPECT_EQ(panel.DigitsList()->currentText(), QStringLiteral("000"));
    EXPECT_EQ(panel.StartBox()->text(), QStringLiteral("10"));
    Settle(*panel.SideSwitch());
    EXPECT_EQ(panel.Op().mode, RenameOp::Suffix);
    Focus(*host, *panel.DigitsList());
    QTest::keyClick(panel.DigitsList(), Qt::Key_End);
    EXPECT_EQ(panel.DigitsList()->currentText(), QStringLiteral("0000"));
    EXPECT_EQ(panel.Op().digits, 4u);
    panel.Op().digits = 0;
    panel.LoadSettings();
    EXPECT_EQ(panel.DigitsList()->currentIndex(), 0);
    EXPECT_EQ(panel.Op().digits, 0u); // showing the first entry does not choose it

    TypeInto(*host, *panel.StartBox(), QStringLiteral("1234567"));
    EXPECT_EQ(panel.StartBox()->text(), QStringLiteral("123456"));
    EXPECT_EQ(panel.Op().startWith, 123456u);
    EXPECT_TRUE(panel.IsReady());
    TypeInto(*host, *panel.StartBox(), QString());
    EXPECT_EQ(panel.Op().startWith, 0u);
    EXPECT_TRUE(panel.Op().isReady());
    EXPECT_FALSE(panel.IsReady());
}

TEST_F(RenamePanelTest, TextBoxDoesNotScrollPastItsWidth) {
    TypeInto(*host, *panel.TextBox(), QString(200, QLatin1Char('W')));
    const QString kept = panel.TextBox()->text();
    EXPECT_GT(kept.size(), 5);
    EXPECT_LT(kept.size(), 200);
    EXPECT_LE(panel.TextBox()->fontMetrics().horizontalAdvance(kept), panel.TextBox()->width());
}

} // namespace
