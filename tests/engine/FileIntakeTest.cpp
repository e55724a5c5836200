#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>

#include "engine/FileIntake.h"
#include "engine/MessageBox.h"
#include "engine/RXWorker.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {
struct Messages {
    std::vector<std::wstring> shown;
    MessageBoxHandler previous;
    Messages() {
        previous = SetMessageBoxHandler([this](const std::wstring& text, const std::wstring& caption,
                                               unsigned style) {
            EXPECT_EQ(style, MB_OK | MB_ICONEXCLAMATION);
            shown.push_back(caption + L": " + text);
            return IDOK;
        });
    }
    ~Messages() { SetMessageBoxHandler(previous); }
};
const std::wstring kAnimated = L"Animated GIF file(s) found: This type of files cannot be processed "
                               L"as the animation will be lost. These files will be omitted.";
const std::wstring kUnsupported =
    L"Unsupported file format: No supported files were found among those you just added.";
} // namespace

TEST(FileIntake, FolderTreesAddEveryImageWithTheFolderAsBase) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "drop" / "sub" / "deeper");
    rxtest::WriteFile(dir / "drop" / "a.jpg", rxtest::MakeImage(1));
    rxtest::WriteFile(dir / "drop" / "sub" / "b.JPG", rxtest::MakeImage(1));
    rxtest::WriteFile(dir / "drop" / "sub" / "deeper" / "c.jpeg", rxtest::MakeImage(1));
    rxtest::WriteFile(dir / "drop" / "notes.txt", {'x'});
    fs::create_directory_symlink(dir / "drop" / "sub", dir / "drop" / "link");
    Messages m;
    RXWorker job;
    FileIntake intake(job);
    intake.Begin();
    const bool any = intake.AddPath(dir / "drop");
    EXPECT_TRUE(intake.ReportIntake(any));
    EXPECT_TRUE(m.shown.empty());
    ASSERT_EQ(job.files().size(), 3u) << "a linked folder is not entered twice";
    for (const FileEntry& e : job.files())
        EXPECT_EQ(e.base, dir / "drop");
}

TEST(FileIntake, SingleFilesDuplicatesAndRefusals) {
    rxtest::TempDir dir;
    rxtest::WriteFile(dir / "one.png", rxtest::MakeImage(2));
    rxtest::WriteFile(dir / "anim.gif", rxtest::MakeImage(4, {.pages = 2}));
    rxtest::WriteFile(dir / "pages.tiff", rxtest::MakeImage(5, {.pages = 2}));
    rxtest::WriteFile(dir / "notes.txt", {'x'});
    RXWorker job;
    FileIntake intake(job);
    {
        Messages m;
        intake.Begin();
        EXPECT_TRUE(intake.ReportIntake(intake.AddPath(dir / "one.png")));
        intake.Begin();
        EXPECT_TRUE(intake.ReportIntake(intake.AddPath(dir / "one.png"))) << "still a success";
        EXPECT_TRUE(m.shown.empty());
        ASSERT_EQ(job.files().size(), 1u);
        EXPECT_EQ(job.files()[0].base, dir.path());
    }
    {
        Messages m;
        intake.Begin();
        EXPECT_FALSE(intake.ReportIntake(intake.AddPath(dir / "anim.gif")));
        EXPECT_EQ(m.shown, std::vector<std::wstring>{kAnimated}) << "only the animated message";
    }
    {
        Messages m;
        intake.Begin();
        bool any = intake.AddPath(dir / "pages.tiff");
        any = intake.AddPath(dir / "one.png") || any;
        EXPECT_TRUE(intake.ReportIntake(any));
        EXPECT_EQ(m.shown, std::vector<std::wstring>{kAnimated});
    }
    {
        Messages m;
        intake.Begin();
        EXPECT_FALSE(intake.ReportIntake(intake.AddPath(dir / "notes.txt")));
        EXPECT_FALSE(intake.ReportIntake(intake.AddPath(dir / "missing.jpg")));
        EXPECT_EQ(m.shown, (std::vector<std::wstring>{kUnsupported, kUnsupported}));
    }
    EXPECT_EQ(job.files().size(), 1u);
}
