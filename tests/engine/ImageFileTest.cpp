#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/Text.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;
using rxtest::MakeImage;
using rxtest::ReadFile;
using rxtest::WriteFile;

TEST(ImageFile, OpenReadsNameTimeAndFailsAsFileInputStream) {
    rxtest::TempDir dir;
    WriteFile(dir / "a.jpg", MakeImage(1));
    ImageFile f(dir / "a.jpg", 4);
    EXPECT_EQ(f.name(), "a.jpg");
    EXPECT_EQ(f.index(), 4);
    EXPECT_EQ(f.format(), 0);
    EXPECT_EQ(f.modified(), static_cast<std::int64_t>(fs::last_write_time(dir / "a.jpg")));
    try {
        ImageFile missing(dir / "gone.jpg", 0);
        FAIL() << "no error for a missing file";
    } catch (const fs::filesystem_error& e) {
        EXPECT_NE(std::string(e.what()).find("FileInputStream"), std::string::npos);
        EXPECT_EQ(e.path1(), dir / "gone.jpg");
        EXPECT_EQ(e.code(), boost::system::errc::no_such_file_or_directory);
    }
}

TEST(ImageFile, SaveNumbersTakenNamesAndNeverOverwrites) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "out");
    const Bytes jpeg = MakeImage(1);
    WriteFile(dir / "a.jpg", jpeg);
    const Bytes other = {1, 2, 3};
    for (const char* taken : {"a.jpg", "a 1.jpg", "a 2.jpg"})
        WriteFile(dir / "out" / taken, other);

    std::vector<std::wstring> log;
    auto previous = SetDebugLogSink([&](const std::wstring& s) { log.push_back(s); });
    ImageFile f(dir / "a.jpg", 2);
    EXPECT_TRUE(f.Save(dir / "out"));
    SetDebugLogSink(previous);

    EXPECT_EQ(ReadFile(dir / "out" / "a 3.jpg"), jpeg);
    for (const char* taken : {"a.jpg", "a 1.jpg", "a 2.jpg"})
        EXPECT_EQ(ReadFile(dir / "out" / taken), other) << taken;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], L"Saving file #2 'a.jpg' to '" + Widen((dir / "out").string()) + L"' folder.");
    EXPECT_EQ(log[1], L" Target path is '" + Widen((dir / "out" / "a 3.jpg").string()) +
                          L"'. Writing ...");
    EXPECT_EQ(log[2], L"Saved.");
}

TEST(ImageFile, SaveFailsCleanlyWhereNothingCanBeCreated) {
    rxtest::TempDir dir;
    WriteFile(dir / "a.png", MakeImage(2));
    ImageFile f(dir / "a.png", 0);
    EXPECT_FALSE(f.Save(dir / "missing"));
    EXPECT_FALSE(fs::exists(dir / "missing"));
    if (geteuid() != 0) { // root ignores permissions
        fs::create_directories(dir / "locked");
        fs::permissions(dir / "locked", fs::owner_read | fs::owner_exe);
        EXPECT_FALSE(f.Save(dir / "locked"));
    }
    f.setData(nullptr);
    EXPECT_FALSE(f.Save(dir.path()));
}

TEST(ImageFile, DontChangeKeepsTheSourceBytes) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "out");
    const Bytes jpeg = MakeImage(1);
    WriteFile(dir / "p.jpg", jpeg);
    ImageFile f(dir / "p.jpg", 0);
    f.ConvertFormat(0);
    f.setName("renamed.jpg");
    ASSERT_TRUE(f.Save(dir / "out"));
    EXPECT_EQ(ReadFile(dir / "out" / "renamed.jpg"), jpeg);
}

TEST(ImageFile, ConversionFollowsTheDataNotTheName) {
    rxtest::TempDir dir;
    const Bytes jpeg = MakeImage(1);
    WriteFile(dir / "a.jpg", jpeg);
    {
        ImageFile same(dir / "a.jpg", 0);
        same.ConvertFormat(1);
        EXPECT_EQ(same.name(), "a.jpg");
        EXPECT_EQ(*same.data()->Contents(), jpeg) << "no re-compression to the same format";
        EXPECT_EQ(same.format(), 1);
    }
    {
        ImageFile png(dir / "a.jpg", 0);
        png.ConvertFormat(2);
        EXPECT_EQ(png.name(), "a.png");
        const auto bytes = png.data()->Contents();
        EXPECT_EQ(SniffFormat(bytes->data(), bytes->size()), 2);
    }
    {
        const Bytes pngData = MakeImage(2);
        WriteFile(dir / "b.jpg", pngData);
        ImageFile disguised(dir / "b.jpg", 0);
        disguised.ConvertFormat(2);
        EXPECT_EQ(disguised.name(), "b.jpg");
        EXPECT_EQ(*disguised.data()->Contents(), pngData);
    }
    for (int to = 1; to <= 5; ++to) {
        ImageFile any(dir / "a.jpg", 0);
        any.ConvertFormat(to);
        const auto bytes = any.data()->Contents();
        EXPECT_EQ(SniffFormat(bytes->data(), bytes->size()), to);
        EXPECT_EQ(any.name().extension().string(), to == 1 ? ".jpg" : OutputFormatExtension(to));
    }
}

TEST(ImageFile, UndecodableFilesPassThroughUnchanged) {
    rxtest::TempDir dir;
    const Bytes junk = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    WriteFile(dir / "x.jpg", junk);
    ImageFile f(dir / "x.jpg", 0);
    auto bmp = f.GetImage();
    EXPECT_FALSE(bmp->IsValid());
    EXPECT_FALSE(f.SetImage(std::move(bmp)));
    f.ConvertFormat(2);
    EXPECT_EQ(f.name(), "x.jpg");
    EXPECT_EQ(f.format(), 0);
    EXPECT_EQ(*f.data()->Contents(), junk);
    fs::create_directories(dir / "out");
    EXPECT_TRUE(f.Save(dir / "out"));
    EXPECT_EQ(ReadFile(dir / "out" / "x.jpg"), junk);
}

TEST(ImageFile, SetImageReencodesInTheOwnFormat) {
    rxtest::TempDir dir;
    WriteFile(dir / "g.gif", MakeImage(4));
    ImageFile f(dir / "g.gif", 0);
    auto bmp = f.GetImage();
    ASSERT_NE(bmp->Pixels(), nullptr);
    bmp->Pixels()->fill(Qt::red);
    const auto before = f.data();
    EXPECT_TRUE(f.SetImage(std::move(bmp)));
    EXPECT_NE(f.data(), before);
    const auto bytes = f.data()->Contents();
    EXPECT_EQ(SniffFormat(bytes->data(), bytes->size()), 4);
}

TEST(InputTest, ExtensionsAndFileChecks) {
    for (const char* ext : {"JPEG", ".jpeg", "jPeG", "jpg", ".JPG", "png", "bmp", "gif", "tif",
                            "TIFF", "jpe", "jfif", "dib", "rle"})
        EXPECT_TRUE(IsSupportedExtension(ext)) << ext;
    for (const char* ext : {"", ".", "txt", "svg", "pdf", "..jpg", "webp", "jpeg "})
        EXPECT_FALSE(IsSupportedExtension(ext)) << ext;

    rxtest::TempDir dir;
    WriteFile(dir / "UP.JPG", MakeImage(1));
    WriteFile(dir / "notes.txt", {'h', 'i'});
    WriteFile(dir / "fake.png", {'h', 'i'});
    WriteFile(dir / "anim.gif", MakeImage(4, {.pages = 3}));
    WriteFile(dir / "pages.tif", MakeImage(5, {.pages = 2}));
    WriteFile(dir / "one.gif", MakeImage(4));
    EXPECT_EQ(CheckInputFile(dir / "UP.JPG"), 0);
    EXPECT_EQ(CheckInputFile(dir / "notes.txt"), 1);
    EXPECT_EQ(CheckInputFile(dir / "missing.txt"), 1) << "the extension is tested first";
    EXPECT_EQ(CheckInputFile(dir / "fake.png"), 2);
    EXPECT_EQ(CheckInputFile(dir / "missing.png"), 2);
    EXPECT_EQ(CheckInputFile(dir / "anim.gif"), 3);
    EXPECT_EQ(CheckInputFile(dir / "pages.tif"), 3);
    EXPECT_EQ(CheckInputFile(dir / "one.gif"), 0);
}

TEST(ImageFile, NamesNeverLeaveTheTargetFolder) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "out" / "run");
    WriteFile(dir / "a.png", MakeImage(2));
    ImageFile f(dir / "a.png", 0);
    f.setName("../../escaped.png");
    ASSERT_TRUE(f.Save(dir / "out" / "run"));
    EXPECT_FALSE(fs::exists(dir / "escaped.png"));
    EXPECT_TRUE(fs::exists(dir / "out" / "run" / ".._.._escaped.png"));
    f.setName("..");
    ASSERT_TRUE(f.Save(dir / "out" / "run"));
    EXPECT_TRUE(fs::exists(dir / "out" / "run" / "_.."));
}
