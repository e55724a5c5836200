#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <thread>

#include <boost/filesystem/operations.hpp>
#include <boost/thread/thread.hpp>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/StopRequest.h"
#include "engine/Text.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;
using rxtest::MakeImage;
using rxtest::ReadFile;
using rxtest::WriteFile;

TEST(ImageFile, OpenReadsNameTimeAndFailsAsFileInputStream) {
    rxtest::TempDir dir;
    WriteFile(dir / "a.jpg", MakeImage(OutputFormat::Jpeg));
    ImageFile f(dir / "a.jpg", 4);
    EXPECT_EQ(f.name(), "a.jpg");
    EXPECT_EQ(f.index(), 4);
    EXPECT_EQ(f.format(), OutputFormat::DontChange);
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
    const Bytes jpeg = MakeImage(OutputFormat::Jpeg);
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
    EXPECT_EQ(log[0],
              L"Saving file #2 'a.jpg' to '" + Widen((dir / "out").string()) + L"' folder.");
    EXPECT_EQ(log[1],
              L" Target path is '" + Widen((dir / "out" / "a 3.jpg").string()) + L"'. Writing ...");
    EXPECT_EQ(log[2], L"Saved.");
}

TEST(ImageFile, SaveFailsCleanlyWhereNothingCanBeCreated) {
    rxtest::TempDir dir;
    WriteFile(dir / "a.png", MakeImage(OutputFormat::Png));
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
    const Bytes jpeg = MakeImage(OutputFormat::Jpeg);
    WriteFile(dir / "p.jpg", jpeg);
    ImageFile f(dir / "p.jpg", 0);
    f.ConvertFormat(OutputFormat::DontChange);
    f.setName("renamed.jpg");
    ASSERT_TRUE(f.Save(dir / "out"));
    EXPECT_EQ(ReadFile(dir / "out" / "renamed.jpg"), jpeg);
}

TEST(ImageFile, ConversionFollowsTheDataNotTheName) {
    rxtest::TempDir dir;
    const Bytes jpeg = MakeImage(OutputFormat::Jpeg);
    WriteFile(dir / "a.jpg", jpeg);
    {
        ImageFile same(dir / "a.jpg", 0);
        same.ConvertFormat(OutputFormat::Jpeg);
        EXPECT_EQ(same.name(), "a.jpg");
        EXPECT_EQ(*same.data()->Contents(), jpeg) << "no re-compression to the same format";
        EXPECT_EQ(same.format(), OutputFormat::Jpeg);
    }
    {
        ImageFile png(dir / "a.jpg", 0);
        png.ConvertFormat(OutputFormat::Png);
        EXPECT_EQ(png.name(), "a.png");
        const auto bytes = png.data()->Contents();
        EXPECT_EQ(SniffFormat(bytes->data(), bytes->size()), OutputFormat::Png);
    }
    {
        const Bytes pngData = MakeImage(OutputFormat::Png);
        WriteFile(dir / "b.jpg", pngData);
        ImageFile disguised(dir / "b.jpg", 0);
        disguised.ConvertFormat(OutputFormat::Png);
        EXPECT_EQ(disguised.name(), "b.jpg");
        EXPECT_EQ(*disguised.data()->Contents(), pngData);
    }
    for (const OutputFormat to : rxtest::kClassicFormats) {
        ImageFile any(dir / "a.jpg", 0);
        any.ConvertFormat(to);
        const auto bytes = any.data()->Contents();
        EXPECT_EQ(SniffFormat(bytes->data(), bytes->size()), to);
        EXPECT_EQ(any.name().extension().string(),
                  to == OutputFormat::Jpeg ? ".jpg" : OutputFormatExtension(to));
    }
}

TEST(ImageFile, UndecodableFilesFailAConversionAndKeepTheirBytes) {
    rxtest::TempDir dir;
    const Bytes junk = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    WriteFile(dir / "x.jpg", junk);
    {
        ImageFile f(dir / "x.jpg", 0);
        auto bmp = f.GetImage();
        EXPECT_FALSE(bmp->IsValid());
        EXPECT_FALSE(f.SetImage(std::move(bmp)));
        f.ConvertFormat(OutputFormat::DontChange);
        EXPECT_TRUE(f.failure().empty()) << "keeping the bytes needs no pixels";
        f.ConvertFormat(OutputFormat::Png);
        EXPECT_EQ(f.failure(), "not an image in a known format");
        EXPECT_EQ(f.name(), "x.jpg");
        EXPECT_EQ(f.format(), OutputFormat::DontChange);
        EXPECT_EQ(*f.data()->Contents(), junk);
    }
    // A readable header with damaged pixel data fails as well.
    Bytes png = MakeImage(OutputFormat::Png, {.width = 300, .height = 200});
    png.resize(png.size() / 2);
    WriteFile(dir / "half.png", png);
    ImageFile half(dir / "half.png", 0);
    half.ConvertFormat(OutputFormat::Jpeg);
    EXPECT_EQ(half.failure(), "damaged or truncated image data");
    EXPECT_EQ(half.name(), "half.png");
}

namespace {
// A source whose reading breaks off after some bytes, like a disk error.
class BrokenStream final : public Stream {
public:
    StreamStatus Read(void* data, size_t size, size_t* read) override {
        *read = 0;
        if (given_ >= 1000)
            return StreamStatus::ReadFault;
        const size_t n = std::min<size_t>(size, 100);
        std::memset(data, 7, n);
        *read = n;
        given_ += n;
        return StreamStatus::Ok;
    }
    StreamStatus Write(const void*, size_t) override { return StreamStatus::AccessDenied; }
    StreamStatus Seek(std::int64_t, SeekOrigin, std::uint64_t*) override {
        given_ = 0;
        return StreamStatus::Ok;
    }
    StreamStatus Stat(std::uint64_t* size) override {
        *size = 1 << 20;
        return StreamStatus::Ok;
    }
    SharedBytes Contents() override { return nullptr; }

private:
    size_t given_ = 0;
};

bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> v;
    for (fs::directory_iterator it(folder), end; it != end; ++it)
        v.push_back(it->path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}
} // namespace

TEST(ImageFile, LongNamesAreShortenedToFitWithTheirNumberAndExtension) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "out");
    WriteFile(dir / "a.png", MakeImage(OutputFormat::Png));
    ImageFile f(dir / "a.png", 0);
    std::vector<std::wstring> log;
    auto previous = SetDebugLogSink([&](const std::wstring& s) { log.push_back(s); });
    f.setName(std::string(251, 'a') + ".jpeg"); // 256 bytes
    ASSERT_TRUE(f.Save(dir / "out"));
    ASSERT_TRUE(f.Save(dir / "out"));
    std::string accents; // two bytes a character: a cut may not split one
    for (int i = 0; i < 140; ++i)
        accents += "\xC3\xA9";
    f.setName(accents + ".png");
    ASSERT_TRUE(f.Save(dir / "out"));
    ASSERT_TRUE(f.Save(dir / "out"));
    f.setName(std::string(300, 'r') + "001.png"); // a long rename text
    ASSERT_TRUE(f.Save(dir / "out"));
    SetDebugLogSink(previous);

    const auto names = Names(dir / "out");
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(std::count(names.begin(), names.end(), std::string(250, 'a') + ".jpeg"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), std::string(248, 'a') + " 1.jpeg"), 1);
    for (const std::string& n : names) {
        EXPECT_LE(n.size(), 255u) << n;
        EXPECT_TRUE(IsUtf8(n)) << n;
        EXPECT_EQ(ReadFile(dir / "out" / n), ReadFile(dir / "a.png"));
    }
    EXPECT_EQ(std::count(names.begin(), names.end(), accents.substr(0, 250) + ".png"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), accents.substr(0, 248) + " 1.png"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), std::string(251, 'r') + ".png"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), L"Saved."), 5);
    EXPECT_EQ(FitFileName("ab", ".png", 255), "ab.png");
    EXPECT_EQ(FitFileName("\xE2\x82\xAC\xE2\x82\xAC", ".x", 6), "\xE2\x82\xAC.x");
}

TEST(ImageFile, AFailedWriteLeavesNothingAndIsNotLoggedAsSaved) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "out");
    WriteFile(dir / "a.png", MakeImage(OutputFormat::Png));
    ImageFile f(dir / "a.png", 0);
    f.setData(std::make_shared<BrokenStream>());
    std::vector<std::wstring> log;
    auto previous = SetDebugLogSink([&](const std::wstring& s) { log.push_back(s); });
    EXPECT_FALSE(f.Save(dir / "out"));
    EXPECT_FALSE(f.Save(dir / "missing"));
    SetDebugLogSink(previous);
    EXPECT_TRUE(Names(dir / "out").empty()) << "neither a partial file nor a temporary one";
    EXPECT_EQ(std::count(log.begin(), log.end(), L"Saved."), 0);
    EXPECT_TRUE(f.savedPath().empty());
}

TEST(ImageFile, ACancelBeforeTheFileHasItsNameLeavesNothing) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "out");
    WriteFile(dir / "a.png", MakeImage(OutputFormat::Png));
    ImageFile f(dir / "a.png", 0);
    std::atomic<bool> go{false};
    bool interrupted = false, saved = false;
    boost::thread worker([&] {
        while (!go) // not an interruption point
            std::this_thread::yield();
        try {
            saved = f.Save(dir / "out");
        } catch (const boost::thread_interrupted&) {
            interrupted = true;
        }
    });
    worker.interrupt();
    go = true;
    worker.join();
    EXPECT_TRUE(interrupted);
    EXPECT_FALSE(saved);
    EXPECT_TRUE(Names(dir / "out").empty());
}

TEST(ImageFile, AStopFromASignalHandlerLeavesTheFileInHandUnnamed) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "out");
    WriteFile(dir / "a.png", MakeImage(OutputFormat::Png));
    ImageFile f(dir / "a.png", 0);
    RequestStopFromSignal();
    EXPECT_THROW(f.Save(dir / "out"), boost::thread_interrupted);
    EXPECT_TRUE(Names(dir / "out").empty()) << "neither the file nor its temporary one stays";
    ClearStopRequest();
    EXPECT_TRUE(f.Save(dir / "out"));
    EXPECT_EQ(Names(dir / "out"), (std::vector<std::string>{"a.png"}));
}

TEST(ImageFile, SetImageReencodesInTheOwnFormat) {
    rxtest::TempDir dir;
    WriteFile(dir / "g.gif", MakeImage(OutputFormat::Gif));
    ImageFile f(dir / "g.gif", 0);
    auto bmp = f.GetImage();
    ASSERT_NE(bmp->Pixels(), nullptr);
    bmp->Pixels()->fill(Qt::red);
    const auto before = f.data();
    EXPECT_TRUE(f.SetImage(std::move(bmp)));
    EXPECT_NE(f.data(), before);
    const auto bytes = f.data()->Contents();
    EXPECT_EQ(SniffFormat(bytes->data(), bytes->size()), OutputFormat::Gif);
}

TEST(InputTest, ExtensionsAndFileChecks) {
    for (const char* ext : {"JPEG", ".jpeg", "jPeG", "jpg", ".JPG", "png", "bmp", "gif", "tif",
                            "TIFF", "jpe", "jfif", "dib", "rle"})
        EXPECT_TRUE(IsSupportedExtension(ext)) << ext;
    for (const char* ext : {"", ".", "txt", "svg", "pdf", "..jpg", "jxl", "jpeg "})
        EXPECT_FALSE(IsSupportedExtension(ext)) << ext;

    rxtest::TempDir dir;
    WriteFile(dir / "UP.JPG", MakeImage(OutputFormat::Jpeg));
    WriteFile(dir / "notes.txt", {'h', 'i'});
    WriteFile(dir / "fake.png", {'h', 'i'});
    WriteFile(dir / "anim.gif", MakeImage(OutputFormat::Gif, {.pages = 3}));
    WriteFile(dir / "pages.tif", MakeImage(OutputFormat::Tiff, {.pages = 2}));
    WriteFile(dir / "one.gif", MakeImage(OutputFormat::Gif));
    EXPECT_EQ(CheckInputFile(dir / "UP.JPG"), InputCheck::Usable);
    EXPECT_EQ(CheckInputFile(dir / "notes.txt"), InputCheck::UnsupportedExtension);
    EXPECT_EQ(CheckInputFile(dir / "missing.txt"), InputCheck::UnsupportedExtension)
        << "the extension is tested first";
    EXPECT_EQ(CheckInputFile(dir / "fake.png"), InputCheck::NotAnImage);
    EXPECT_EQ(CheckInputFile(dir / "missing.png"), InputCheck::NotAnImage);
    EXPECT_EQ(CheckInputFile(dir / "anim.gif"), InputCheck::SeveralFrames);
    EXPECT_EQ(CheckInputFile(dir / "pages.tif"), InputCheck::SeveralFrames);
    EXPECT_EQ(CheckInputFile(dir / "one.gif"), InputCheck::Usable);
}

TEST(ImageFile, NamesNeverLeaveTheTargetFolder) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "out" / "run");
    WriteFile(dir / "a.png", MakeImage(OutputFormat::Png));
    ImageFile f(dir / "a.png", 0);
    f.setName("../../escaped.png");
    ASSERT_TRUE(f.Save(dir / "out" / "run"));
    EXPECT_FALSE(fs::exists(dir / "escaped.png"));
    EXPECT_TRUE(fs::exists(dir / "out" / "run" / ".._.._escaped.png"));
    f.setName("..");
    ASSERT_TRUE(f.Save(dir / "out" / "run"));
    EXPECT_TRUE(fs::exists(dir / "out" / "run" / "_.."));
}

TEST(OutputFormat, StoredNumbersComeBackCheckedAndAnyOtherGivesDontChange) {
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(FormatNumber(OutputFormatFromNumber(n)), n);
    EXPECT_EQ(OutputFormatFromNumber(1), OutputFormat::Jpeg);
    EXPECT_EQ(OutputFormatFromNumber(5), OutputFormat::Tiff);
    EXPECT_EQ(OutputFormatFromNumber(6), OutputFormat::Webp);
    EXPECT_EQ(OutputFormatFromNumber(7), OutputFormat::Avif);
    // HEIC (8) is read but not in the list; nor is anything past it or below 0.
    for (const long long n : {-1LL, 8LL, 9LL, 1LL << 32, LLONG_MIN, LLONG_MAX})
        EXPECT_EQ(OutputFormatFromNumber(n), OutputFormat::DontChange) << n;

    for (const OutputFormat f : kOutputFormats)
        EXPECT_EQ(IsConversionTarget(f), f != OutputFormat::DontChange) << FormatNumber(f);
    EXPECT_FALSE(IsConversionTarget(OutputFormat::Heic));
    EXPECT_EQ(std::wstring(OutputFormatName(OutputFormat::Heic)), L"HEIC");
    EXPECT_EQ(std::string(OutputFormatExtension(OutputFormat::Avif)), ".avif");
    EXPECT_EQ(std::string(OutputFormatExtension(OutputFormat::DontChange)), "");
    EXPECT_EQ(std::wstring(OutputFormatName(static_cast<OutputFormat>(42))), L"");
}
