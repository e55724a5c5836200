// The main window's "Check for &updates" (1501) and "&About Rexmill" (57664) commands.
#include "app/CAboutDlg.h"
#include "app/MainMenu.h"
#include "app/UpdateComponent.h"
#include "tests/app/FakeAutoUpdateControl.h"
#include "tests/app/MainWindowHarness.h"

#include <QTimer>

#include "engine/Version.h"

namespace {

using namespace rxtest::fake_outcome;

class UpdateCommandTest : public rxtest::MainWindowTest {};

TEST_F(UpdateCommandTest, CheckForUpdatesWithoutTheLibraryDoesNothing) {
    ASSERT_TRUE(Open());
    window->OnCommand(rx::cmd::CheckForUpdates);
    rx::UpdateComponent absent(QStringLiteral("no-such-folder/AutoUpdate"));
    ASSERT_EQ(absent.Init(), rx::UpdateStart::Continue);
    absent.AttachMainWindow(window.get());
    window->SetUpdateComponent(&absent);
    window->OnCommand(rx::cmd::CheckForUpdates);
    QApplication::processEvents();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(UpdateCommandTest, CheckForUpdatesReportsNoUpdatesOnceOverTheWindow) {
    rxtest::Fake fake(QStringLiteral(RX_FAKE_AUTOUPDATE));
    ASSERT_TRUE(Open());
    rx::UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    ASSERT_EQ(component.Init(), rx::UpdateStart::Continue);
    component.AttachMainWindow(window.get());
    window->SetUpdateComponent(&component);
    fake.setManualOutcome(kNoUpdatesOnThread);
    window->OnCommand(rx::cmd::CheckForUpdates);
    QApplication::processEvents();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, L"Currently there are no updates available.");
    EXPECT_EQ(messages[0].style, rx::MB_OK | rx::MB_ICONINFORMATION);
    fake.report(kStaleNoUpdates);
    QApplication::processEvents();
    EXPECT_EQ(messages.size(), 1u);
    window->SetUpdateComponent(nullptr);
}

TEST_F(UpdateCommandTest, AboutOpensTheModalBoxOverTheWindowAndAKeyClosesIt) {
    ASSERT_TRUE(Open());
    QString version;
    QWidget* owner = nullptr;
    bool sawBox = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* about = dynamic_cast<rx::CAboutDlg*>(box);
        ASSERT_NE(about, nullptr);
        sawBox = true;
        version = about->versionLabel().text();
        owner = about->parentWidget();
        QTest::keyClick(about, Qt::Key_A);
    });
    window->OnCommand(rx::cmd::About);
    EXPECT_TRUE(sawBox);
    EXPECT_EQ(version, QStringLiteral("Version ") + QString::fromLatin1(rx::kVersion));
    EXPECT_EQ(owner, window.get());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
