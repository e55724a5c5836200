// The main window with its preview: the proportions lock that the Watermark panel owns, its
// visibility, the renders a settings change asks for, and minimizing and restoring in step.
#include "tests/app/MainWindowHarness.h"

#include <QLineEdit>
#include <QPointer>

#include "ui/CRXRenameWnd.h"
#include "ui/CRXWatermarkWnd.h"

using namespace rx;
using namespace rxtest;

namespace {

class MainWindowPreviewTest : public MainWindowTest {
protected:
    // The main window with a date stamp switched on, `files` files and the preview open.
    void OpenWithPreview(int files) {
        settings->setWorkingPreset(R"({"Watermark":{"mode":"3"}})");
        ASSERT_TRUE(Open());
        for (int i = 0; i < files; ++i)
            ASSERT_TRUE(Drop({Folder("in" + std::to_string(i), 1)}));
        Click(window->PreviewToggle());
        ASSERT_NE(window->Preview(), nullptr);
        ASSERT_TRUE(WaitIdle());
    }
    // Until every render asked for has been delivered and the spinner has stopped.
    bool WaitIdle() {
        return QTest::qWaitFor(
            [&] {
                CRXPreviewWnd* p = window->Preview();
                return p && p->Renderer()->idle() && !p->SpinnerRunning() &&
                       p->ImageSize() != QSize();
            },
            20000);
    }
    CImageCheckbox& Lock() { return window->Panels().Watermark().PreviewLock(); }
    void ClickLock() { QTest::mouseClick(&Lock(), Qt::LeftButton, {}, Lock().rect().center()); }
    void ClosePreview() {
        Click(window->PreviewToggle());
        ASSERT_EQ(window->Preview(), nullptr);
        // The window goes by deleteLater.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(MainWindowPreviewTest, TheLockOutlivesThePreviewAndAPanelEditUnchecksIt) {
    OpenWithPreview(2);
    const QPointer<CImageCheckbox> lock(&Lock());
    EXPECT_EQ(window->Preview()->ProportionsLock(), lock.data());
    ASSERT_TRUE(lock->isVisible());
    const QSize shown = window->Preview()->ImageSize();
    ClickLock();
    ASSERT_TRUE(lock->isChecked());
    WatermarkOp& op = window->Panels().Watermark().Op();
    EXPECT_EQ(QSize(op.referenceWidth, op.referenceHeight), shown);

    // Closing and opening again keeps the check box and its state.
    ClosePreview();
    ASSERT_FALSE(lock.isNull()) << "closing the preview deleted the lock";
    EXPECT_TRUE(lock->isChecked());
    EXPECT_FALSE(lock->isVisible());
    Click(window->PreviewToggle());
    ASSERT_NE(window->Preview(), nullptr);
    EXPECT_EQ(window->Preview()->ProportionsLock(), lock.data());
    EXPECT_TRUE(lock->isChecked());
    EXPECT_TRUE(lock->isVisible());
    EXPECT_EQ(QSize(op.referenceWidth, op.referenceHeight), shown);

    // Any edit in the panel unchecks it and forgets the proportions, preview open or not.
    window->Panels().Watermark().TextBox()->setText(QStringLiteral("x"));
    EXPECT_FALSE(lock->isChecked());
    EXPECT_EQ(op.referenceWidth, 0);
    EXPECT_EQ(op.referenceHeight, 0);
    ASSERT_TRUE(WaitIdle());
    ClickLock();
    ASSERT_TRUE(lock->isChecked());
    ClosePreview();
    window->Panels().Watermark().TextBox()->setText(QStringLiteral("y"));
    EXPECT_FALSE(lock->isChecked());
    EXPECT_EQ(op.referenceWidth, 0);
}

TEST_F(MainWindowPreviewTest, TheLockShowsOnlyWithTwoFilesOrMoreAndWatermarkOn) {
    OpenWithPreview(1);
    EXPECT_FALSE(Lock().isVisible());
    ASSERT_TRUE(Drop({Folder("second", 1)}));
    EXPECT_TRUE(Lock().isVisible());
    CImageCheckbox* watermarkToggle = window->Panels().Toggle(0);
    ASSERT_NE(watermarkToggle, nullptr);
    Click(*watermarkToggle);
    ASSERT_FALSE(window->Panels().IsSwitchedOn(0));
    EXPECT_FALSE(Lock().isVisible());
    Click(*watermarkToggle);
    EXPECT_TRUE(Lock().isVisible());
    // Clear closes the preview; the lock goes back to the panel, hidden.
    Click(window->Button(cmd::Clear));
    EXPECT_EQ(window->Preview(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Lock().parentWidget(), nullptr);
    EXPECT_FALSE(Lock().isVisible());
}

TEST_F(MainWindowPreviewTest, ASettingsChangeOfThePictureAsksForExactlyOneRender) {
    OpenWithPreview(1);
    PreviewRenderer& renderer = *window->Preview()->Renderer();
    const long requested = renderer.requested(), completed = renderer.completed();
    const int delivered = window->Preview()->Deliveries();
    window->Panels().Watermark().TextBox()->setText(QStringLiteral("changed"));
    EXPECT_EQ(renderer.requested(), requested + 1);
    ASSERT_TRUE(WaitIdle());
    QTest::qWait(50);
    EXPECT_EQ(renderer.completed(), completed + 1);
    EXPECT_EQ(window->Preview()->Deliveries(), delivered + 1);

    // A change that leaves the picture as it is (renaming) asks for none.
    Click(*window->Panels().Toggle(3));
    ASSERT_TRUE(WaitIdle());
    const long before = renderer.requested();
    window->Panels().Rename().TextBox()->setText(QStringLiteral("holiday"));
    EXPECT_EQ(renderer.requested(), before);
}

TEST_F(MainWindowPreviewTest, MinimizingAndRestoringKeepBothWindowsInStep) {
    OpenWithPreview(1);
    CRXPreviewWnd* preview = window->Preview();
    window->showMinimized();
    EXPECT_TRUE(preview->isMinimized());
    window->showNormal();
    EXPECT_FALSE(preview->isMinimized());
    EXPECT_TRUE(preview->isVisible());

    // A maximized preview comes back maximized.
    preview->showMaximized();
    window->showMinimized();
    EXPECT_TRUE(preview->isMinimized());
    window->showNormal();
    EXPECT_TRUE(preview->isMaximized());
    EXPECT_FALSE(preview->isMinimized());

    // The other way: restoring the preview while the main window is minimized shows both.
    preview->showNormal();
    window->showMinimized();
    ASSERT_TRUE(preview->isMinimized());
    preview->showNormal();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
    preview->showMinimized();
    window->showMinimized();
    preview->showMaximized();
    EXPECT_FALSE(window->isMinimized());
}

} // namespace
