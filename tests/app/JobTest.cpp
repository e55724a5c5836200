// The real main window following a real job: START with the folder dialog, the worker's
// reports, Cancel in the middle, the dots, the close prompt.
#include "tests/app/MainWindowHarness.h"
#include "tests/app/WorkerHold.h"
#include "ui/UiHooks.h"

#include <QTimerEvent>
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

using namespace rx;
using namespace rxtest;
namespace fs = boost::filesystem;

namespace {

// Resize to 32 px wide and Rename: both ready with these settings.
const char kResizeAndRename[] =
    R"({"Bulk Resize":{"mode":"0","width":"32"},"Rename":{"mode":"0","common":"pic","digits":"2","startWith":"1"}})";
const std::wstring kClosePrompt =
    L"Image processing is in progress.\nAre you sure you want to interrupt and quit the app?";

class JobTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        settings->setWorkingPreset(QString::fromLatin1(kResizeAndRename));
        out = dir / "out";
        chosenFolder = QString::fromStdString(out.string());
    }

    bool WaitForState(MainWindowState s) {
        return QTest::qWaitFor([&] { return window->State() == s; }, 20000);
    }

    int FilesIn(const fs::path& folder) const {
        int n = 0;
        if (fs::is_directory(folder))
            for (fs::directory_iterator it(folder), end; it != end; ++it)
                n += fs::is_regular_file(it->path());
        return n;
    }

    fs::path RunFolder() const { return out / "[resize + rename]"; }

    fs::path out;
};

TEST_F(JobTest, StartRunsAThreeFileJobToSuccessWithShowInFolderOnTheRunFolder) {
    ASSERT_TRUE(Open());
    const QString folder = Folder("three", 3);
    ASSERT_TRUE(Drop({folder}));
    ASSERT_TRUE(window->Button(cmd::Start).isEnabled());
    EXPECT_TRUE(window->Menu().Action(cmd::Start)->isEnabled());
    chosenFormat = rx::OutputFormat::Png;
    Click(window->Button(cmd::Start));
    EXPECT_EQ(folderAsked, 1);
    // One folder dropped: its own folder is proposed, with the job's format.
    EXPECT_EQ(proposedFolder, folder);
    EXPECT_EQ(proposedFormat, rx::OutputFormat::DontChange);
    EXPECT_EQ(window->State(), MainWindowState::Processing);
    ASSERT_TRUE(WaitForState(MainWindowState::Success));

    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(window->ZoneTexts(), QStringList{"Success! 3 files processed."});
    EXPECT_TRUE(window->Job().files().empty());
    EXPECT_EQ(FilesIn(RunFolder()), 3);
    EXPECT_TRUE(fs::exists(RunFolder() / "pic01.png"));
    EXPECT_FALSE(window->ProgressBar().isVisible());
    EXPECT_LE(window->DotsTimer(), 0);
    // Clear on the right, Save preset on the left, the link in the middle.
    EXPECT_EQ(window->Button(cmd::Clear).pos(), QPoint(290, 166));
    EXPECT_EQ(window->Button(cmd::PresetSaveAs).pos(), QPoint(195, 166));
    EXPECT_TRUE(window->Button(cmd::PresetSaveAs).isVisible());
    EXPECT_FALSE(window->Button(cmd::Start).isVisible());
    ASSERT_TRUE(window->ShowInFolderLink().isVisible());
    EXPECT_EQ(fs::path(window->ShowInFolderLink().URL().toStdString()), RunFolder());
    QUrl opened;
    const auto previous = ui::SetOpenUrlHook([&](const QUrl& u) {
        opened = u;
        return true;
    });
    QTest::mouseClick(const_cast<RXLinkCtrl*>(&window->ShowInFolderLink()), Qt::LeftButton);
    ui::SetOpenUrlHook(previous);
    EXPECT_EQ(opened, QUrl::fromLocalFile(QString::fromStdString(RunFolder().string())));

    // Files dropped after a job bring START and Clear back; the format is kept.
    ASSERT_TRUE(Drop({folder}));
    EXPECT_FALSE(window->ShowInFolderLink().isVisible());
    EXPECT_FALSE(window->Button(cmd::PresetSaveAs).isVisible());
    EXPECT_TRUE(window->Button(cmd::Start).isVisible());
    Click(window->Button(cmd::Start));
    EXPECT_EQ(proposedFormat, rx::OutputFormat::Png);
    ASSERT_TRUE(WaitForState(MainWindowState::Success));
    EXPECT_EQ(FilesIn(out / "[resize + rename] 1"), 3);
}

TEST_F(JobTest, CancellingTheFolderDialogChangesNothing) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("keep", 2)}));
    chosenFolder.clear();
    Click(window->Button(cmd::Start));
    EXPECT_EQ(folderAsked, 1);
    EXPECT_EQ(window->State(), MainWindowState::FilesAdded);
    EXPECT_EQ(window->Job().files().size(), 2u);
    EXPECT_FALSE(fs::exists(out));
}

// The process's address space as it is now, in bytes.
rlim_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    unsigned long pages = 0;
    statm >> pages;
    return rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE));
}

TEST_F(JobTest, AStartWhoseThreadCannotBeCreatedShowsAnErrorAndKeepsTheList) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("nothread", 2)}));
    messages.reserve(8);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
    // No room for another thread's stack.
    rlimit tight = old;
    tight.rlim_cur = AddressSpaceInUse() + (1u << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    Click(window->Button(cmd::Start));
    ASSERT_EQ(setrlimit(RLIMIT_AS, &old), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text.rfind(L"The processing could not be started", 0), 0u);
    EXPECT_EQ(messages[0].style, MB_OK | MB_ICONERROR);
    EXPECT_EQ(window->State(), MainWindowState::FilesAdded);
    EXPECT_EQ(window->Job().files().size(), 2u);
    EXPECT_TRUE(window->Button(cmd::Start).isVisible());
    // With room again, the same list starts.
    Click(window->Button(cmd::Start));
    ASSERT_TRUE(WaitForState(MainWindowState::Success));
    EXPECT_EQ(window->ZoneTexts(), QStringList{"Success! 2 files processed."});
}

TEST_F(JobTest, CancelInTheMiddleKeepsTheListAndTheCompleteFiles) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("cancel", 3)}));
    // The hold stops the job at a diagnostic line of the chosen file; with several files in
    // flight another file's thread could write it first, so these jobs take one at a time.
    window->Job().setFilesInFlight(1);
    WorkerHold hold(L"Resizing ...", 2); // inside the second file
    Click(window->Button(cmd::Start));
    // Inside the second file's Resize, which runs first: the first file's four steps are in.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return hold.held() && window->Processed() == 1 && window->ProgressBar().value() == 3;
        },
        20000));
    // Processing: Cancel is the only button; nothing can be switched meanwhile.
    EXPECT_EQ(window->State(), MainWindowState::Processing);
    EXPECT_TRUE(window->Button(cmd::Cancel).isVisible());
    EXPECT_EQ(window->Button(cmd::Cancel).pos(), QPoint(290, 166));
    for (int id : {cmd::Start, cmd::Clear, cmd::PresetSaveAs})
        EXPECT_FALSE(window->Button(id).isVisible()) << id;
    EXPECT_FALSE(window->PreviewToggle().isEnabled());
    EXPECT_TRUE(window->ProgressBar().isVisible());
    EXPECT_EQ(window->ProgressBar().maximum(), 12);
    EXPECT_FALSE(window->Menu().Action(cmd::ImportImages)->isEnabled());
    EXPECT_EQ(window->ZoneTexts().value(0), "1 of 3 files");
    // A drop is refused while the job runs.
    EXPECT_FALSE(Drop({Folder("late", 1)}));

    Click(window->Button(cmd::Cancel));
    EXPECT_EQ(window->State(), MainWindowState::FilesAdded);
    EXPECT_EQ(window->Job().files().size(), 3u);
    EXPECT_EQ(FilesIn(RunFolder()), 1);
    EXPECT_TRUE(fs::exists(RunFolder() / "pic01.jpg"));
    EXPECT_LE(window->DotsTimer(), 0);
    EXPECT_FALSE(window->ProgressBar().isVisible());
    EXPECT_TRUE(window->Button(cmd::Start).isVisible());
    // Nothing of the cancelled job arrives later.
    QTest::qWait(100);
    EXPECT_EQ(window->State(), MainWindowState::FilesAdded);
    EXPECT_TRUE(messages.empty());
}

TEST_F(JobTest, TheDotsCycleOnTheirTimerWhileProcessing) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("dots", 2)}));
    window->Job().setFilesInFlight(1);
    WorkerHold hold(L"Resizing ...", 1);
    Click(window->Button(cmd::Start));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->DotsTimer() > 0 && hold.held(); }, 20000));
    EXPECT_EQ(window->ZoneTexts(), (QStringList{"0 of 2 files", "Processing"}));
    for (const char* expected : {"Processing.", "Processing..", "Processing...", "Processing"}) {
        QTimerEvent tick(window->DotsTimer());
        QApplication::sendEvent(window.get(), &tick);
        EXPECT_EQ(window->ZoneTexts().value(1), expected);
    }
    // Another timer does not move the dots.
    QTimerEvent other(window->DotsTimer() + 1000);
    QApplication::sendEvent(window.get(), &other);
    EXPECT_EQ(window->DotCount(), 0);
    hold.release();
    ASSERT_TRUE(WaitForState(MainWindowState::Success));
    EXPECT_LE(window->DotsTimer(), 0);
}

TEST_F(JobTest, TheClosePromptAnsweredCancelKeepsTheJobAndOkStopsItAndCloses) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("close", 3)}));
    window->Job().setFilesInFlight(1);
    WorkerHold hold(L"Resizing ...", 2);
    Click(window->Button(cmd::Start));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hold.held(); }, 20000));

    answers = {IDCANCEL};
    EXPECT_FALSE(window->close());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kClosePrompt);
    EXPECT_EQ(messages[0].caption, L"Rexmill");
    EXPECT_EQ(messages[0].style, MB_OKCANCEL | MB_ICONEXCLAMATION);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->State(), MainWindowState::Processing);
    EXPECT_TRUE(window->Job().IsRunning());

    answers = {IDOK};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Job().IsRunning());
    EXPECT_EQ(window->Job().files().size(), 3u);
    EXPECT_EQ(FilesIn(RunFolder()), 1);
    // The settings in use and the position were stored.
    EXPECT_NE(settings->workingPreset().indexOf("Bulk Resize"), -1);
    EXPECT_EQ(settings->mainWindowX(), window->frameGeometry().left());
}

TEST_F(JobTest, AJobThatEndsWhileTheClosePromptIsOpenIsNotCancelledAfterwards) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("race", 3)}));
    window->Job().setFilesInFlight(1);
    auto hold = std::make_unique<WorkerHold>(L"Resizing ...", 2);
    Click(window->Button(cmd::Start));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hold->held(); }, 20000));
    // The prompt is open while the job finishes.
    SetMessageBoxHandler([&](const std::wstring&, const std::wstring&, unsigned) {
        hold->release();
        EXPECT_TRUE(WaitForState(MainWindowState::Success));
        return IDOK;
    });
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->State(), MainWindowState::Success);
    EXPECT_EQ(FilesIn(RunFolder()), 3);
    EXPECT_TRUE(window->Job().files().empty());
}

} // namespace

namespace {

TEST_F(JobTest, StartSwitchesOffAnOperationThatIsNotReady) {
    // Watermark text with no text is not ready; Resize is.
    settings->setWorkingPreset(
        R"({"Watermark":{"mode":"0","text":""},"Bulk Resize":{"mode":"0","width":"32"}})");
    ASSERT_TRUE(Open());
    EXPECT_EQ(window->size(), QSize(395, 260 + 205 + 80));
    ASSERT_TRUE(Drop({Folder("unready", 1)}));
    Click(window->Button(cmd::Start));
    EXPECT_FALSE(window->Panels().IsSwitchedOn(0));
    EXPECT_TRUE(window->Panels().IsSwitchedOn(1));
    EXPECT_EQ(window->size(), QSize(395, 260 + 80));
    ASSERT_TRUE(WaitForState(MainWindowState::Success));
    EXPECT_EQ(FilesIn(out / "[resize]"), 1);
}

TEST_F(JobTest, WhileProcessingTheTogglesAndPanelsAreDisabled) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("disabled", 2)}));
    window->Job().setFilesInFlight(1);
    WorkerHold hold(L"Resizing ...", 1);
    Click(window->Button(cmd::Start));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hold.held(); }, 20000));
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(window->Panels().Toggle(i)->isEnabled()) << i;
        EXPECT_FALSE(window->Panels().Panel(i).isEnabled()) << i;
    }
    // A click on a disabled toggle changes nothing the worker reads.
    QTest::mouseClick(window->Panels().Toggle(0), Qt::LeftButton);
    EXPECT_FALSE(window->Panels().IsSwitchedOn(0));
    hold.release();
    ASSERT_TRUE(WaitForState(MainWindowState::Success));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(window->Panels().Toggle(i)->isEnabled()) << i;
}

} // namespace
