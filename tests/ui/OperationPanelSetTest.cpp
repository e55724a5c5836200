#include "ui/OperationPanelSet.h"
#include "PanelTestSupport.h"
#include "ui/CRXOptimizeWnd.h"
#include "ui/CRXRenameWnd.h"
#include "ui/CRXResizeWnd.h"
#include "ui/CRXWatermarkWnd.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimerEvent>

#include "ui/CImagePicker.h"
#include "ui/CRXAngleCtrl.h"
#include "ui/CRXPositionCtrl.h"
#include "ui/CRXSliderCtrl.h"
#include "ui/CToggleButton.h"
#include "ui/FrameworkIconButton.h"

using namespace rx;

namespace {

class OperationPanelSetTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        host = std::make_unique<QWidget>();
        host->resize(395, 700);
        set = std::make_unique<OperationPanelSet>();
        ASSERT_TRUE(set->CreateAll(host.get(), 10, 20));
    }
    void TearDown() override {
        set.reset();
        host.reset();
        PanelTest::TearDown();
    }
    void Click(int index) { QTest::mouseClick(set->Toggle(index), Qt::LeftButton); }

    std::unique_ptr<QWidget> host;
    std::unique_ptr<OperationPanelSet> set;
};

TEST_F(OperationPanelSetTest, TogglesSitSideBySideWithTheirIdsAndTitles) {
    int x = 10;
    const char* titles[] = {"Add Watermark", "Resize", "Optimize", "Bulk Rename"};
    for (int i = 0; i < 4; ++i) {
        CImageCheckbox* t = set->Toggle(i);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->ControlId(), 1110 + i);
        EXPECT_EQ(t->pos(), QPoint(x, 20));
        EXPECT_EQ(t->toolTip(), QString::fromLatin1(titles[i]));
        EXPECT_TRUE(t->IsTransparent());
        x += t->Up().width() + 2;
    }
}

TEST_F(OperationPanelSetTest, LayoutStacksOnlyEnabledCheckedPanels) {
    EXPECT_EQ(set->Layout(100), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(set->Panel(i).isHidden());

    QSignalSpy clicked(set.get(), &OperationPanelSet::ToggleClicked);
    Click(KindWatermark);
    Click(KindOptimize);
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked[1][0].toInt(), KindOptimize);
    EXPECT_EQ(set->Layout(100), 301);
    EXPECT_EQ(set->Watermark().pos(), QPoint(0, 100));
    EXPECT_EQ(set->Optimize().pos(), QPoint(0, 305));
    EXPECT_FALSE(set->Watermark().isHidden());
    EXPECT_TRUE(set->Resize().isHidden());
    EXPECT_EQ(set->Watermark().size(), QSize(395, 205));

    set->Toggle(KindWatermark)->setEnabled(false); // checked but disabled: not shown
    EXPECT_EQ(set->Layout(100), 96);
    EXPECT_TRUE(set->Watermark().isHidden());
    EXPECT_EQ(set->Optimize().pos(), QPoint(0, 100));
}

TEST_F(OperationPanelSetTest, OnlyCheckedReadyPanelsGoIntoTheJobAndUnreadyOnesAreUnchecked) {
    for (int i = 0; i < 4; ++i)
        Click(i);
    // Fresh records: Watermark has no text and Resize no width; Optimize and Rename are ready.
    EXPECT_EQ(set->ReadyOperation(KindWatermark), nullptr);
    EXPECT_EQ(set->ReadyOperation(KindResize), nullptr);
    EXPECT_EQ(set->ReadyOperation(KindOptimize), &set->Optimize().Op());
    EXPECT_EQ(set->ReadyOperation(KindRename), &set->Rename().Op());

    // An empty start box: the record would run, the panel is not ready.
    PanelTest::TypeInto(*host, *set->Rename().StartBox(), QString());
    EXPECT_TRUE(set->Rename().Op().isReady());
    EXPECT_FALSE(set->Rename().IsReady());
    EXPECT_EQ(set->ReadyOperation(KindRename), nullptr);
    const OperationSnapshot copies(*set);
    EXPECT_EQ(copies[KindRename], nullptr);
    ASSERT_NE(copies[KindOptimize], nullptr);
    EXPECT_NE(copies[KindOptimize], &set->Optimize().Op()) << "a job works on a copy";
    EXPECT_EQ(copies[KindOptimize]->type(), KindOptimize);

    EXPECT_TRUE(set->UncheckUnready());
    EXPECT_FALSE(set->IsSwitchedOn(KindWatermark));
    EXPECT_FALSE(set->IsSwitchedOn(KindResize));
    EXPECT_TRUE(set->IsSwitchedOn(KindOptimize));
    EXPECT_FALSE(set->IsSwitchedOn(KindRename));
    EXPECT_FALSE(set->UncheckUnready());
}

TEST_F(OperationPanelSetTest, ReportsCarryThePreviewFlagOfTheirPanel) {
    QSignalSpy all(set.get(), &OperationPanelSet::SettingsChanged);
    QSignalSpy watermark(&set->Watermark(), &CRXOperationWnd::SettingsChanged);
    QSignalSpy optimize(&set->Optimize(), &CRXOperationWnd::SettingsChanged);
    QSignalSpy rename(&set->Rename(), &CRXOperationWnd::SettingsChanged);
    // Arrow keys on a closed list choose the next entry, as a user does.
    PanelTest::Focus(*host, *set->Watermark().ModeList());
    QTest::keyClick(set->Watermark().ModeList(), Qt::Key_Down);
    QTest::keyClick(set->Watermark().ModeList(), Qt::Key_Down);
    PanelTest::Focus(*host, *set->Optimize().ModeList());
    QTest::keyClick(set->Optimize().ModeList(), Qt::Key_Down);
    PanelTest::TypeInto(*host, *set->Rename().TextBox(), QStringLiteral("a"));
    EXPECT_EQ(set->Watermark().Op().mode, 2);
    EXPECT_EQ(set->Optimize().Op().mode, 1);
    ASSERT_GE(watermark.count(), 2);
    ASSERT_EQ(optimize.count(), 1);
    ASSERT_GE(rename.count(), 1);
    for (const auto& report : watermark)
        EXPECT_TRUE(report[0].toBool());
    EXPECT_TRUE(optimize[0][0].toBool());
    for (const auto& report : rename)
        EXPECT_FALSE(report[0].toBool());
    // The set passes every report on with its flag.
    EXPECT_GE(all.count(), watermark.count() + optimize.count() + rename.count());
}

TEST_F(OperationPanelSetTest, JobRunningDisablesTogglesAndPanels) {
    set->SetJobRunning(true);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(set->Toggle(i)->isEnabled());
        EXPECT_FALSE(set->Panel(i).isEnabled());
    }
    set->SetJobRunning(false);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(set->Toggle(i)->isEnabled() && set->Panel(i).isEnabled());
}

TEST_F(OperationPanelSetTest, TextThatDoesNotParseChangesNoPanel) {
    ASSERT_TRUE(set->ApplyPreset(L"{\"Optimize\":{\"mode\":\"2\",\"quality\":\"4\"}}"));
    EXPECT_TRUE(set->IsSwitchedOn(KindOptimize));
    const std::wstring before = set->SavePreset();
    EXPECT_FALSE(set->ApplyPreset(L"{\"Optimize\":{\"mode\":\"0\""));
    EXPECT_FALSE(set->ApplyPreset(L"not a preset"));
    EXPECT_EQ(set->SavePreset(), before);
    EXPECT_EQ(set->Optimize().ModeList()->currentIndex(), 2);
    EXPECT_EQ(set->Optimize().Op().quality, 4u);
}

} // namespace

namespace {

class PresetRoundTripTest : public OperationPanelSetTest {
protected:
    void Choose(QComboBox& list, int index) {
        PanelTest::Focus(*host, list);
        QTest::keyClick(&list, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(&list, Qt::Key_Down);
    }
    void Settle(CToggleButton& sw) {
        for (int i = 0; i < 100 && sw.IsAnimating(); ++i) {
            QTimerEvent tick(sw.AnimationTimer());
            QCoreApplication::sendEvent(&sw, &tick);
        }
    }
    // Saves, applies the document to a second set and to this one; both must save it again.
    void ExpectRoundTrip() {
        const std::wstring doc = set->SavePreset();
        QWidget otherHost;
        OperationPanelSet other;
        ASSERT_TRUE(other.CreateAll(&otherHost, 0, 0));
        ASSERT_TRUE(other.ApplyPreset(doc));
        EXPECT_EQ(other.SavePreset(), doc);
        ASSERT_TRUE(set->ApplyPreset(doc));
        EXPECT_EQ(set->SavePreset(), doc);
    }
};

TEST_F(PresetRoundTripTest, DocumentsThePanelsWroteComeBackUnchanged) {
    QTemporaryDir dir;
    const QString picture = dir.path() + QStringLiteral("/a & \"b\".png");
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture, "PNG"));
    for (int i = 0; i < 4; ++i)
        Click(i);
    CRXWatermarkWnd& wm = set->Watermark();
    TypeInto(*host, *wm.TextBox(), QStringLiteral("Mornsby \u00a9 2026"));
    TypeInto(*host, *wm.OpacityBox(), QStringLiteral("55"));
    QTest::mouseClick(wm.PositionPad(), Qt::LeftButton, {}, QPoint(30, 70));
    QTest::mouseClick(wm.UnderlineButton(), Qt::LeftButton);
    Choose(*wm.StyleList(), wm.StyleList()->count() - 1);
    ASSERT_TRUE(wm.Picker()->LoadImageFile(picture, true));
    TypeInto(*host, *wm.WidthBox(), QStringLiteral("60"));
    ASSERT_EQ(wm.Op().imageHeight, 40);
    Choose(*wm.DateList(), 1);
    CRXResizeWnd& rs = set->Resize();
    TypeInto(*host, *rs.WidthBox(), QStringLiteral("800"));
    TypeInto(*host, *rs.HeightBox(), QStringLiteral("600"));
    TypeInto(*host, *rs.PercentBox(), QStringLiteral("75"));
    QTest::mouseClick(set->Optimize().Slider(), Qt::LeftButton, {},
                      QPoint(set->Optimize().Slider()->width() / 2, 10));
    CRXRenameWnd& rn = set->Rename();
    TypeInto(*host, *rn.TextBox(), QStringLiteral("_final"));
    TypeInto(*host, *rn.StartBox(), QStringLiteral("10"));
    Choose(*rn.DigitsList(), 1);

    for (int kind = 0; kind < 4; ++kind) {
        Choose(*wm.ModeList(), kind);
        if (kind == 2) {
            PanelTest::TypeInto(*host, wm.AngleDial()->Edit(), QStringLiteral("123"));
            ASSERT_EQ(wm.Op().angle, 123u);
        }
        for (int mode = 0; mode < 5; mode += (kind == 0 ? 1 : 5)) {
            Choose(*rs.ModeList(), mode);
            Choose(*set->Optimize().ModeList(), mode % 3);
            ExpectRoundTrip();
        }
    }
    QTest::mouseClick(rn.SideSwitch(), Qt::LeftButton, {}, QPoint(45, 9));
    Settle(*rn.SideSwitch());
    ASSERT_EQ(rn.Op().mode, RenameOp::Suffix);
    ExpectRoundTrip();
    Settle(*rn.SideSwitch()); // the applied preset sets the switch again
    EXPECT_EQ(rn.Op().mode, RenameOp::Suffix);
    EXPECT_NE(set->SavePreset().find(L"\"common\":\"_final\""), std::wstring::npos);
}

TEST_F(PresetRoundTripTest, LoadingCorrectsAngleGridAndSizeOnPurpose) {
    // Three values the panels show differently from the document, and then save as shown:
    // the angle modulo 360, the position on the pad's 1/73 grid, Resize's 20000 cap.
    ASSERT_TRUE(set->ApplyPreset(
        L"{\"Watermark\":{\"mode\":\"0\",\"text\":\"a\",\"angle\":\"400\",\"position\":{"
        L"\"x\":\"0.5\",\"y\":\"0.3\"}},\"Bulk Resize\":{\"mode\":\"0\",\"width\":\"25000\"}}"));
    const std::wstring doc = set->SavePreset();
    EXPECT_NE(doc.find(L"\"angle\":\"40\""), std::wstring::npos) << doc;
    EXPECT_NE(doc.find(L"\"x\":\"0.4931507\""), std::wstring::npos) << doc; // 36 / 73
    EXPECT_NE(doc.find(L"\"y\":\"0.2876712\""), std::wstring::npos) << doc; // 21 / 73
    EXPECT_NE(doc.find(L"\"width\":\"20000\""), std::wstring::npos) << doc;
    EXPECT_EQ(beeps, 1);
    ASSERT_TRUE(set->ApplyPreset(doc));
    EXPECT_EQ(set->SavePreset(), doc);
}

TEST_F(PresetRoundTripTest, PanelEditChangesOnlyItsOwnRecord) {
    for (int i = 0; i < 4; ++i)
        Click(i);
    const std::wstring before = set->SavePreset();
    TypeInto(*host, *set->Rename().TextBox(), QStringLiteral("x"));
    const std::wstring after = set->SavePreset();
    ASSERT_NE(before, after);
    set->Rename().Op().common.clear();
    EXPECT_EQ(set->SavePreset(), before);
}

} // namespace

namespace {

TEST_F(PresetRoundTripTest, EveryPadPointSurvivesSavingAndLoading) {
    Click(KindWatermark);
    CRXPositionCtrl& pad = *set->Watermark().PositionPad();
    for (int c = CRXPositionCtrl::kMin; c <= CRXPositionCtrl::kMax; ++c) {
        QTest::mouseClick(&pad, Qt::LeftButton, {}, QPoint(c, CRXPositionCtrl::kMax + 11 - c));
        const std::wstring doc = set->SavePreset();
        ASSERT_TRUE(set->ApplyPreset(doc));
        ASSERT_EQ(pad.X(), c);
        ASSERT_EQ(pad.Y(), CRXPositionCtrl::kMax + 11 - c);
        ASSERT_EQ(set->SavePreset(), doc);
    }
}

} // namespace

namespace {

// A panel whose controls cannot all be made.
class BrokenPanel : public CRXOperationWnd {
public:
    BrokenPanel() : CRXOperationWnd(m_op) {}
    int GetPanelHeight() const override { return 50; }
    QString GetIconName() const override { return QStringLiteral("RENAME"); }
    QString GetTitle() const override { return QStringLiteral("Broken"); }

protected:
    void CreateControls() override {
        CreateList(Edges(20, 15, 135, 35), {QStringLiteral("a")}, kModeListId);
        throw PanelCreationError("a control is missing");
    }

private:
    RenameOp m_op;
};

TEST_F(PanelTest, PanelWhoseControlsFailIsNotCreated) {
    TestAppGuard app;
    QWidget host;
    BrokenPanel panel;
    QSignalSpy spy(&panel, &CRXOperationWnd::SettingsChanged);
    EXPECT_FALSE(panel.CreatePanel(&host));
    EXPECT_EQ(panel.parentWidget(), nullptr);
    EXPECT_EQ(panel.ModeList(), nullptr);
    EXPECT_TRUE(panel.findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(spy.count(), 0); // settings are loaded only into a panel that was made
    EXPECT_EQ(panel.CaptionText(), QStringLiteral("Rename"));
}

} // namespace
