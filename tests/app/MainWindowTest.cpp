// The real main window offscreen: size, mask, menu, dragging, painting and the stored position.
#include "tests/app/MainWindowHarness.h"

#include <QMenu>
#include <QMouseEvent>

using namespace rx;
using namespace rxtest;

namespace {

TEST_F(MainWindowTest, FirstStartOpensAt200x200WithTheFixedSizeAndRoundedCorners) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(window->pos(), QPoint(200, 200));
    EXPECT_EQ(window->size(), QSize(395, 260));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->windowTitle(), "Rexmill");
    const QRegion mask = window->mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(394, 259)));
    EXPECT_TRUE(mask.contains(QPoint(1, 0)));
    EXPECT_TRUE(mask.contains(QPoint(197, 130)));
    EXPECT_EQ(window->State(), MainWindowState::Empty);
    EXPECT_EQ(window->ZoneTexts(), QStringList{"Drop images here"});
    EXPECT_EQ(window->DropZone(), QRect(0, 38, 395, 177));
    // Nothing is written until the window closes.
    EXPECT_TRUE(settings->presetNames().isEmpty());
}

TEST_F(MainWindowTest, StoredPositionIsRestoredAndTheCloseStoresTheNewOne) {
    settings->setMainWindowPosition(40, 70);
    ASSERT_TRUE(Open());
    EXPECT_EQ(window->pos(), QPoint(40, 70));
    window->move(123, 321);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(settings->mainWindowX(), 123);
    EXPECT_EQ(settings->mainWindowY(), 321);
}

TEST_F(MainWindowTest, TheMenuHoldsTheEntriesInOrderWithTheirCommands) {
    ASSERT_TRUE(Open());
    QStringList texts;
    QList<int> ids;
    for (QAction* a : window->Menu().Popup()->actions()) {
        texts << (a->isSeparator() ? QString("-") : a->text());
        ids << (a->menu() || a->isSeparator() ? 0 : a->data().toInt());
    }
    const QStringList expectedTexts = {
        "&Import images", "&Start processing", "-", "&Presets", "-", "Check for &updates",
        "&Help",          "&About Rexmill",    "-", "E&xit"};
    EXPECT_EQ(texts, expectedTexts);
    EXPECT_EQ(ids, (QList<int>{57601, 1502, 0, 0, 0, 1501, 57670, 57664, 0, 57665}));
    // Nothing can be started from an empty list.
    EXPECT_FALSE(window->Menu().Action(cmd::Start)->isEnabled());
}

TEST_F(MainWindowTest, PressingTheMenuButtonPopsUpTheMenuAndAChoiceRunsItsCommand) {
    ASSERT_TRUE(Open());
    QMenu* popup = window->Menu().Popup();
    QTest::mousePress(&window->MenuButton(), Qt::LeftButton, {}, QPoint(20, 18));
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->pos(), window->MenuButton().mapToGlobal(QPoint(0, 36)));
    QTest::mouseRelease(&window->MenuButton(), Qt::LeftButton, {}, QPoint(20, 18));
    importAnswer = {};
    window->Menu().Action(cmd::ImportImages)->trigger();
    popup->hide();
    // The choice runs after the pop-up has gone, like a posted command.
    EXPECT_EQ(importAsked, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return importAsked == 1; }, 2000));
}

TEST_F(MainWindowTest, DraggingAnyFreePointMovesTheWindow) {
    ASSERT_TRUE(Open());
    const QPoint start = window->pos();
    // A free point of the drop zone, away from every control.
    const QPoint at(60, 100);
    ASSERT_EQ(window->childAt(at), nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(window->mapToGlobal(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &press);
    const QPoint to = at + QPoint(35, -20);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(window->mapToGlobal(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), QPointF(window->mapToGlobal(to)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &release);
    EXPECT_EQ(window->pos(), start + QPoint(35, -20));
    // After the release, moving the mouse no longer drags.
    QMouseEvent after(QEvent::MouseMove, QPointF(at), QPointF(window->mapToGlobal(at)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &after);
    EXPECT_EQ(window->pos(), start + QPoint(35, -20));
}

TEST_F(MainWindowTest, TitleButtonsSitAtTheirPlacesAndCloseClosesTheWindow) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(window->Button(cmd::Minimize).geometry(), QRect(350, 12, 16, 16));
    EXPECT_EQ(window->Button(cmd::Exit).geometry(), QRect(370, 12, 16, 16));
    EXPECT_EQ(window->MenuButton().geometry(), QRect(0, 1, 115, 36));
    EXPECT_EQ(window->PreviewToggle().geometry(), QRect(351, 220, 35, 26));
    Click(window->Button(cmd::Exit));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, TheDropZoneLetteringIsPaintedInTheBand) {
    ASSERT_TRUE(Open());
    const QImage empty = window->grab().toImage();
    ASSERT_TRUE(Drop({Folder("paint", 4)}));
    const QImage added = window->grab().toImage();
    ASSERT_EQ(empty.size(), QSize(395, 260));
    // The basket gives way to the plain centre and the count; the strips above and below stay.
    EXPECT_NE(empty.copy(0, 38, 395, 177), added.copy(0, 38, 395, 177));
    EXPECT_EQ(empty.copy(0, 0, 340, 38), added.copy(0, 0, 340, 38));
    EXPECT_EQ(empty.copy(0, 252, 395, 8), added.copy(0, 252, 395, 8));
    // "4 files added" in white around y 103.
    int white = 0;
    for (int y = 80; y < 125; ++y)
        for (int x = 0; x < 395; ++x)
            white += qGray(added.pixel(x, y)) > 240;
    EXPECT_GT(white, 150);
}

} // namespace

namespace {

TEST_F(MainWindowTest, SwitchingWatermarkOnGrowsTheWindowTo465AndOffShrinksItBack) {
    ASSERT_TRUE(Open());
    CImageCheckbox* watermark = window->Panels().Toggle(0);
    ASSERT_NE(watermark, nullptr);
    EXPECT_EQ(watermark->pos(), QPoint(12, 221));
    EXPECT_EQ(window->Panels().Toggle(1)->pos(), QPoint(12 + 76 + 2, 221));
    Click(*watermark);
    EXPECT_TRUE(watermark->isChecked());
    EXPECT_EQ(window->size(), QSize(395, 465));
    EXPECT_TRUE(window->Panels().Panel(0).isVisible());
    EXPECT_EQ(window->Panels().Panel(0).geometry(), QRect(0, 252, 395, 205));
    // The bottom edge and the rounded corners follow the new height.
    EXPECT_FALSE(window->mask().contains(QPoint(394, 464)));
    EXPECT_TRUE(window->mask().contains(QPoint(393, 464)));
    Click(*watermark);
    EXPECT_EQ(window->size(), QSize(395, 260));
    EXPECT_FALSE(window->Panels().Panel(0).isVisible());
}

TEST_F(MainWindowTest, TheSettingsInUseComeBackAtTheNextStartWithTheirPanels) {
    settings->setWorkingPreset(
        R"({"Optimize":{"mode":"2","level":"3"},"Rename":{"mode":"1","common":"x"}})");
    ASSERT_TRUE(Open());
    EXPECT_TRUE(window->Panels().IsSwitchedOn(2));
    EXPECT_TRUE(window->Panels().IsSwitchedOn(3));
    EXPECT_EQ(window->size(), QSize(395, 260 + 96 + 87));
    EXPECT_EQ(window->Panels().Panel(3).pos(), QPoint(0, 252 + 96));
    // The file list is empty, so neither START nor "Start processing" can run yet.
    EXPECT_FALSE(window->Button(cmd::Start).isVisible());
    EXPECT_FALSE(window->Menu().Action(cmd::Start)->isEnabled());
    Click(*window->Panels().Toggle(2));
    EXPECT_TRUE(window->close());
    EXPECT_EQ(settings->workingPreset().toStdWString(), window->Panels().SavePreset());
    EXPECT_EQ(settings->workingPreset().indexOf("Optimize"), -1);
    EXPECT_NE(settings->workingPreset().indexOf("Rename"), -1);
}

} // namespace

namespace {

TEST_F(MainWindowTest, ThePreviewToggleOpensThePreviewOnlyWithFilesAndLeavingFilesAddedClosesIt) {
    settings->setWorkingPreset(R"({"Watermark":{"mode":"3"}})");
    ASSERT_TRUE(Open());
    EXPECT_FALSE(window->PreviewToggle().isEnabled());
    ASSERT_TRUE(Drop({Folder("preview", 1)}));
    Click(window->PreviewToggle());
    ASSERT_NE(window->Preview(), nullptr);
    EXPECT_TRUE(window->Preview()->isVisible());
    EXPECT_TRUE(window->PreviewToggle().isChecked());
    // One file: no proportions lock; a second file with Watermark on shows it.
    EXPECT_FALSE(window->Preview()->ProportionsLock()->isVisible());
    ASSERT_TRUE(Drop({Folder("preview2", 1)}));
    EXPECT_TRUE(window->Preview()->ProportionsLock()->isVisible());
    // The toggle closes it again.
    Click(window->PreviewToggle());
    EXPECT_EQ(window->Preview(), nullptr);
    EXPECT_FALSE(window->PreviewToggle().isChecked());
    // Clear leaves FilesAdded: the preview goes and the toggle is off and disabled.
    Click(window->PreviewToggle());
    ASSERT_NE(window->Preview(), nullptr);
    Click(window->Button(cmd::Clear));
    EXPECT_EQ(window->Preview(), nullptr);
    EXPECT_FALSE(window->PreviewToggle().isChecked());
    EXPECT_FALSE(window->PreviewToggle().isEnabled());
}

} // namespace
