// CRXApp's start-up and shut-down in a process of its own (the application object is the
// QApplication), offscreen, with the real message box answered by clicking its buttons.
#include "app/CRXApp.h"
#include "app/CRXMainWnd.h"
#include "engine/MessageBox.h"
#include "settings/SettingsStore.h"
#include "tests/support/SettingsLocation.h"
#include "ui/PrivateFontCollection.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>

using namespace rx;

namespace {

int g_argc = 1;
char g_name[] = "rexmill";
char* g_argv[] = {g_name, nullptr};

struct SeenBox {
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Answers the next message box that opens by clicking the given button, and records it.
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton click) {
    QTimer::singleShot(0, [&seen, click] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = {box->text(), box->windowTitle(), box->icon(), box->standardButtons()};
        if (QAbstractButton* b = box->button(click))
            QTest::mouseClick(b, Qt::LeftButton);
        else
            box->reject();
    });
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("QT_QPA_PLATFORM", "offscreen"); }
    rxtest::SettingsLocation settingsDir;
};

TEST_F(StartupTest, StartsTheWindowAt200x200AndWritesNothingUntilItCloses) {
    CRXApp app(g_argc, g_argv);
    ASSERT_TRUE(app.InitInstance());
    ASSERT_NE(app.MainWindow(), nullptr);
    ASSERT_NE(app.PrivateFonts(), nullptr);
    EXPECT_TRUE(app.PrivateFonts()->Contains("Pacifico"));
    EXPECT_TRUE(app.MainWindow()->isVisible());
    EXPECT_EQ(app.MainWindow()->pos(), QPoint(200, 200));
    EXPECT_EQ(app.MainWindow()->size(), QSize(395, 260));
    // The window's sections live below the executable's own name.
    EXPECT_EQ(app.Settings()->applicationName(), SettingsStore::ExecutableName());
    const auto files = [&] {
        int n = 0;
        for (boost::filesystem::recursive_directory_iterator it(settingsDir.dir().path()), end;
             it != end; ++it)
            n += boost::filesystem::is_regular_file(it->path());
        return n;
    };
    EXPECT_EQ(files(), 0);
    app.MainWindow()->move(250, 260);
    EXPECT_TRUE(app.MainWindow()->close());
    EXPECT_EQ(app.Settings()->mainWindowX(), 250);
    EXPECT_EQ(app.ExitInstance(7), 7);
    EXPECT_EQ(app.MainWindow(), nullptr);
    EXPECT_EQ(app.PrivateFonts(), nullptr);
    // The position reached the store on disk.
    SettingsStore reread(SettingsStore::ExecutableName());
    EXPECT_EQ(reread.mainWindowX(), 250);
    EXPECT_EQ(reread.mainWindowY(), 260);
}

class AppWithoutFont : public CRXApp {
public:
    using CRXApp::CRXApp;

protected:
    bool LoadPrivateFont() override { return false; }
};

TEST_F(StartupTest, AMissingFontIsToldAndEndsTheStartBeforeAnyWindowAndTheExitStillRuns) {
    AppWithoutFont app(g_argc, g_argv);
    SeenBox seen;
    AnswerNextBox(seen, QMessageBox::Ok);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(seen.text, "Failed to load font from resources.");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
    EXPECT_EQ(app.MainWindow(), nullptr);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                !QApplication::topLevelWidgets().constFirst()->isVisible());
    EXPECT_EQ(app.ExitInstance(CRXApp::kStartFailed), CRXApp::kStartFailed);
    EXPECT_EQ(app.ExitInstance(CRXApp::kStartFailed), CRXApp::kStartFailed);
}

TEST_F(StartupTest, TheMessageBoxShowsTheIconButtonsAndCaptionOfTheStyleAndReturnsTheAnswer) {
    CRXApp app(g_argc, g_argv);
    ASSERT_TRUE(app.InitInstance());
    struct Case {
        unsigned style;
        QMessageBox::StandardButton click;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        int answer;
    };
    const Case cases[] = {
        {MB_OKCANCEL | MB_ICONEXCLAMATION, QMessageBox::Cancel, QMessageBox::Warning,
         QMessageBox::Ok | QMessageBox::Cancel, IDCANCEL},
        {MB_OKCANCEL | MB_ICONEXCLAMATION, QMessageBox::Ok, QMessageBox::Warning,
         QMessageBox::Ok | QMessageBox::Cancel, IDOK},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::No, QMessageBox::Question,
         QMessageBox::Yes | QMessageBox::No, IDNO},
        {MB_YESNO, QMessageBox::Yes, QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No,
         IDYES},
        {MB_OK | MB_ICONERROR, QMessageBox::Ok, QMessageBox::Critical, QMessageBox::Ok, IDOK},
        {MB_OK | MB_ICONINFORMATION, QMessageBox::Ok, QMessageBox::Information, QMessageBox::Ok,
         IDOK},
    };
    for (const Case& c : cases) {
        SeenBox seen;
        AnswerNextBox(seen, c.click);
        EXPECT_EQ(ShowMessageBox(L"Some text", L"Rexmill", c.style), c.answer) << c.style;
        EXPECT_EQ(seen.text, "Some text");
        EXPECT_EQ(seen.caption, "Rexmill");
        EXPECT_EQ(seen.icon, c.icon) << c.style;
        EXPECT_EQ(seen.buttons, c.buttons) << c.style;
    }
    app.MainWindow()->close();
    app.ExitInstance(0);
}

} // namespace
