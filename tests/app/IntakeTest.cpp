// Files reaching the real main window: drops on the drop zone and "Import images".
#include "tests/app/MainWindowHarness.h"

#include <boost/filesystem/operations.hpp>

using namespace rx;
using namespace rxtest;

namespace {

const std::wstring kAnimatedCaption = L"Animated GIF file(s) found";
const std::wstring kUnsupportedCaption = L"Unsupported file format";
const std::wstring kUnsupportedText = L"No supported files were found among those you just added.";

TEST_F(MainWindowTest, FolderWithThreeJpegsAndATextFileAddsThreeWithoutAMessage) {
    ASSERT_TRUE(Open());
    const QString folder = Folder("shoot", 2);
    boost::filesystem::create_directories(dir / "shoot" / "day2");
    WriteFile(dir / "shoot" / "day2" / "late.jpg", MakeImage(OutputFormat::Jpeg));
    WriteFile(dir / "shoot" / "notes.txt", Bytes{'x'});

    EXPECT_TRUE(Drop({folder}));
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(window->Job().files().size(), 3u);
    for (const FileEntry& e : window->Job().files())
        EXPECT_EQ(e.base.string(), folder.toStdString()) << e.file;
    EXPECT_EQ(window->State(), MainWindowState::FilesAdded);
    EXPECT_EQ(window->ZoneTexts(), QStringList{"3 files added"});
    // START and Clear take their places in the button row; the preview can be opened.
    EXPECT_TRUE(window->Button(cmd::Start).isVisible());
    EXPECT_TRUE(window->Button(cmd::Clear).isVisible());
    EXPECT_EQ(window->Button(cmd::Start).pos(), QPoint(290, 166));
    EXPECT_EQ(window->Button(cmd::Clear).pos(), QPoint(195, 166));
    EXPECT_TRUE(window->PreviewToggle().isEnabled());
}

TEST_F(MainWindowTest, OnlyAnAnimatedGifShowsOnlyTheAnimatedMessageAndKeepsTheState) {
    ASSERT_TRUE(Open());
    EXPECT_FALSE(Drop({AnimatedGif("spin.gif")}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kAnimatedCaption);
    EXPECT_EQ(messages[0].style, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(window->State(), MainWindowState::Empty);
    EXPECT_TRUE(window->Job().files().empty());
}

TEST_F(MainWindowTest, AnimatedAndGoodFilesShowTheAnimatedMessageThenTheCount) {
    ASSERT_TRUE(Open());
    const QString folder = Folder("mixed", 2);
    EXPECT_TRUE(Drop({AnimatedGif("spin.gif"), folder}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kAnimatedCaption);
    EXPECT_EQ(window->ZoneTexts(), QStringList{"2 files added"});
}

TEST_F(MainWindowTest, ATextFileAloneIsUnsupported) {
    ASSERT_TRUE(Open());
    EXPECT_FALSE(Drop({TextFile("readme.txt")}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kUnsupportedCaption);
    EXPECT_EQ(messages[0].text, kUnsupportedText);
    EXPECT_EQ(window->State(), MainWindowState::Empty);
}

TEST_F(MainWindowTest, DropsOutsideTheZoneAreRefused) {
    ASSERT_TRUE(Open());
    const QString folder = Folder("outside", 1);
    // The title strip (y < 38) and the toggle strip (y >= 215) are not the drop zone.
    for (const QPoint at : {QPoint(200, 20), QPoint(200, 37), QPoint(200, 215), QPoint(30, 240)}) {
        EXPECT_FALSE(Drop({folder}, at)) << at.x() << "," << at.y();
        EXPECT_FALSE(DropWithoutDrag({folder}, at)) << at.x() << "," << at.y();
    }
    EXPECT_TRUE(window->Job().files().empty());
    EXPECT_TRUE(messages.empty());
    // Its edges are inside.
    EXPECT_TRUE(Drop({folder}, QPoint(0, 38)));
    EXPECT_TRUE(Drop({folder}, QPoint(394, 214)));
    EXPECT_EQ(window->Job().files().size(), 1u);
}

TEST_F(MainWindowTest, DroppingTheSameFileTwiceListsItOnceAndStillSucceeds) {
    ASSERT_TRUE(Open());
    const QString folder = Folder("twice", 1);
    const QString file = folder + "/photo0.jpg";
    EXPECT_TRUE(Drop({file}));
    EXPECT_TRUE(Drop({file}));
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(window->Job().files().size(), 1u);
    EXPECT_EQ(window->Job().files()[0].base.string(), folder.toStdString());
    EXPECT_EQ(window->State(), MainWindowState::FilesAdded);
}

TEST_F(MainWindowTest, ClearReturnsToTheBasket) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("clear", 2)}));
    Click(window->Button(cmd::Clear));
    EXPECT_EQ(window->State(), MainWindowState::Empty);
    EXPECT_TRUE(window->Job().files().empty());
    EXPECT_EQ(window->ZoneTexts(), QStringList{"Drop images here"});
    EXPECT_FALSE(window->Button(cmd::Start).isVisible());
    EXPECT_FALSE(window->Button(cmd::Clear).isVisible());
}

TEST_F(MainWindowTest, ImportImagesAddsTheChosenFilesAndIsSilentWhenCancelled) {
    ASSERT_TRUE(Open());
    window->OnCommand(cmd::ImportImages);
    EXPECT_EQ(importAsked, 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(window->State(), MainWindowState::Empty);

    const QString folder = Folder("import", 2);
    importAnswer = {folder + "/photo1.jpg", folder + "/photo0.jpg", TextFile("x.txt")};
    window->OnCommand(cmd::ImportImages);
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(window->Job().files().size(), 2u);
    EXPECT_EQ(window->Job().files()[0].file.filename(), "photo1.jpg");
    EXPECT_EQ(window->State(), MainWindowState::FilesAdded);
}

TEST_F(MainWindowTest, CommandLinePathsAreTakenLikeADrop) {
    ASSERT_TRUE(Open());
    window->OpenPaths({Folder("argv", 3), TextFile("argv.txt")});
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(window->Job().files().size(), 3u);
    EXPECT_EQ(window->State(), MainWindowState::FilesAdded);
}

} // namespace
