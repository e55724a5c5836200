#include "ui/OperationPanelSet.h"
#include "PanelTestSupport.h"
#include "ui/CRXOptimizeWnd.h"
#include "ui/CRXRenameWnd.h"
#include "ui/CRXResizeWnd.h"
#include "ui/CRXWatermarkWnd.h"

#include <QSignalSpy>

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
    QSignalSpy spy(set.get(), &OperationPanelSet::SettingsChanged);
    // Arrow keys on a closed list choose the next entry, as a user does.
    PanelTest::Focus(*host, *set->Watermark().ModeList());
    QTest::keyClick(set->Watermark().ModeList(), Qt::Key_Down);
    QTest::keyClick(set->Watermark().ModeList(), Qt::Key_Down);
    PanelTest::Focus(*host, *set->Optimize().ModeList());
    QTest::keyClick(set->Optimize().ModeList(), Qt::Key_Down);
    PanelTest::TypeInto(*host, *set->Rename().TextBox(), QStringLiteral("a"));
    ASSERT_GE(spy.count(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(spy[i][0].toBool());
    EXPECT_FALSE(spy.last()[0].toBool());
    EXPECT_EQ(set->Watermark().Op().mode, 2);
    EXPECT_EQ(set->Optimize().Op().mode, 1);
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
