#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <tuple>

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
        previous = SetMessageBoxHandler(
            [this](const std::wstring& text, const std::wstring& caption, unsigned style) {
                EXPECT_EQ(style, MB_OK | MB_ICONEXCLAMATION);
                shown.push_back(caption + L": " + text);
                return IDOK;
            });
    }
    ~Messages() { SetMessageBoxHandler(previous); }
};
const std::wstring kAnimated =
    L"Animated GIF file(s) found: This type of files cannot be processed "
    L"as the animation will be lost. These files will be omitted.";
const std::wstring kUnsupported =
    L"Unsupported file format: No supported files were found among those you just added.";
} // namespace

TEST(FileIntake, FolderTreesAddEveryImageWithTheFolderAsBase) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "drop" / "sub" / "deeper");
    rxtest::WriteFile(dir / "drop" / "a.jpg", rxtest::MakeImage(OutputFormat::Jpeg));
    rxtest::WriteFile(dir / "drop" / "sub" / "b.JPG", rxtest::MakeImage(OutputFormat::Jpeg));
    rxtest::WriteFile(dir / "drop" / "sub" / "deeper" / "c.jpeg",
                      rxtest::MakeImage(OutputFormat::Jpeg));
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
    rxtest::WriteFile(dir / "one.png", rxtest::MakeImage(OutputFormat::Png));
    rxtest::WriteFile(dir / "anim.gif", rxtest::MakeImage(OutputFormat::Gif, {.pages = 2}));
    rxtest::WriteFile(dir / "pages.tiff", rxtest::MakeImage(OutputFormat::Tiff, {.pages = 2}));
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

namespace {
struct Refusals final : IntakeListener {
    std::vector<std::tuple<std::string, IntakeRefusal, bool>> seen;
    void Refused(const fs::path& path, IntakeRefusal reason, bool inFolder) override {
        seen.emplace_back(path.filename().string(), reason, inFolder);
    }
};
} // namespace

TEST(FileIntake, EveryRefusalIsToldWithItsReason) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "drop" / "sub");
    rxtest::WriteFile(dir / "drop" / "good.png", rxtest::MakeImage(OutputFormat::Png));
    rxtest::WriteFile(dir / "drop" / "notes.txt", {'x'});
    rxtest::WriteFile(dir / "drop" / "sub" / "fake.jpg", {'x', 'y'});
    rxtest::WriteFile(dir / "drop" / "anim.gif",
                      rxtest::MakeImage(OutputFormat::Gif, {.pages = 2}));
    ASSERT_EQ(mkfifo((dir / "drop" / "pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "named.png").c_str(), 0600), 0);
    rxtest::WriteFile(dir / "text.txt", {'x'});
    Messages m;
    RXWorker job;
    Refusals told;
    FileIntake intake(job, &told);
    intake.Begin();
    bool any = false;
    for (const char* p : {"drop", "named.png", "missing.png", "text.txt"})
        any = intake.AddPath(dir / p) || any;
    EXPECT_TRUE(intake.ReportIntake(any));
    ASSERT_EQ(job.files().size(), 1u);
    std::sort(told.seen.begin(), told.seen.end());
    using R = IntakeRefusal;
    EXPECT_EQ(told.seen, (std::vector<std::tuple<std::string, IntakeRefusal, bool>>{
                             {"anim.gif", R::SeveralFrames, true},
                             {"fake.jpg", R::NotAnImage, true},
                             {"missing.png", R::Missing, false},
                             {"named.png", R::NotRegularFile, false},
                             {"notes.txt", R::UnsupportedExtension, true},
                             {"pipe.png", R::NotRegularFile, true},
                             {"text.txt", R::UnsupportedExtension, false}}));
    EXPECT_STREQ(IntakeRefusalText(R::NotRegularFile), "is not a regular file");
}

TEST(FileIntake, TheDuplicateCheckComparesElementsExactly) {
    RXWorker job;
    const int n = 20000;
    for (int i = 0; i < n; ++i)
        EXPECT_FALSE(job.AddEntry(
            "/p/d" + std::to_string(i % 100) + "/f" + std::to_string(i) + ".jpg", "/p"));
    for (int i = 0; i < n; i += 997)
        EXPECT_TRUE(job.AddEntry(
            "/p/d" + std::to_string(i % 100) + "/f" + std::to_string(i) + ".jpg", "/q"));
    EXPECT_EQ(job.files().size(), size_t(n));
    EXPECT_TRUE(job.AddEntry("/p//d0/f0.jpg", "/p")) << "an empty element is no element";
    EXPECT_FALSE(job.AddEntry("/P/d0/f0.jpg", "/p")) << "case counts";
    EXPECT_FALSE(job.AddEntry("/p/d0/f0.jpg/", "/p")) << "a trailing separator is an element";
    job.Clear();
    EXPECT_FALSE(job.AddEntry("/p/d0/f0.jpg", "/p")) << "a cleared list forgets its files";
}
