#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include <QBuffer>
#include <QImage>
#include <boost/filesystem/operations.hpp>
#include <boost/property_tree/ptree.hpp>
#include <zlib.h>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "ops/OptimizeOp.h"
#include "ops/OptimizeTempFile.h"
#include "tests/support/JpegTestImages.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using boost::property_tree::wptree;
using rx::OptimizeMode;
using rx::OptimizeOp;

namespace {

// Points the temporary folder at a test-owned one (or a missing one) for one scope.
class TempFolderOverride {
public:
    explicit TempFolderOverride(const fs::path& folder) {
        if (const char* old = std::getenv("TMPDIR"))
            old_ = old;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TempFolderOverride() {
        if (old_)
            ::setenv("TMPDIR", old_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> old_;
};

// Collects the DebugLog lines written while it lives.
class LogCapture {
public:
    LogCapture() {
        previous_ =
            rx::SetDebugLogSink([this](const std::wstring& line) { lines.push_back(line); });
    }
    ~LogCapture() { rx::SetDebugLogSink(previous_); }
    std::vector<std::wstring> lines;

private:
    rx::DebugLogSink previous_;
};

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

rx::Bytes CurrentBytes(const rx::ImageFile& file) {
    const rx::SharedBytes bytes = file.data()->Contents();
    return bytes ? *bytes : rx::Bytes();
}

OptimizeOp Op(OptimizeMode mode, std::uint32_t quality) {
    OptimizeOp op;
    op.mode = static_cast<int>(mode);
    op.quality = quality;
    return op;
}

// A PNG written without compression, which the engine can always shrink.
rx::Bytes UncompressedPng(int width, int height) {
    rxtest::ImageSpec recipe;
    recipe.width = width;
    recipe.height = height;
    const QImage image = rxtest::MakePixels(recipe);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png", 100);
    return rx::Bytes(data.begin(), data.end());
}

// The PNG with a chunk inserted after IHDR.
rx::Bytes WithChunk(const rx::Bytes& png, const char type[4], const rx::Bytes& payload) {
    rx::Bytes chunk(8 + payload.size());
    chunk[3] = std::uint8_t(payload.size());
    std::copy(type, type + 4, chunk.begin() + 4);
    std::copy(payload.begin(), payload.end(), chunk.begin() + 8);
    const uLong crc = crc32(0, chunk.data() + 4, uInt(chunk.size() - 4));
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.push_back(std::uint8_t(crc >> shift));
    rx::Bytes out(png.size() + chunk.size());
    constexpr long kHeader = 33; // signature + IHDR
    auto at = std::copy(png.begin(), png.begin() + kHeader, out.begin());
    at = std::copy(chunk.begin(), chunk.end(), at);
    std::copy(png.begin() + kHeader, png.end(), at);
    return out;
}

QImage Pixels(const rx::Bytes& bytes) {
    return QImage::fromData(bytes.data(), int(bytes.size()))
        .convertToFormat(QImage::Format_RGBA8888);
}

class OptimizeOpFiles : public ::testing::Test {
protected:
    // A record opened on a file holding the bytes, as the job opens its sources.
    std::unique_ptr<rx::ImageFile> Open(const rx::Bytes& bytes, const std::string& name) {
        const fs::path path = sources_ / name;
        rxtest::WriteFile(path, bytes);
        return std::make_unique<rx::ImageFile>(path, 0);
    }

    rxtest::TempDir sources_;
    rxtest::TempDir temp_;
    TempFolderOverride tempFolder_{temp_.path()};
};

TEST(OptimizeOpTest, IdentityAndDefaults) {
    OptimizeOp op;
    EXPECT_EQ(op.type(), rx::KindOptimize);
    EXPECT_TRUE(op.isReady());
    EXPECT_EQ(op.mode, static_cast<int>(OptimizeMode::OnlyJpeg));
    EXPECT_EQ(op.quality, 1u);
    EXPECT_EQ(op.jpegSetting(), -1);
    EXPECT_EQ(op.pngLevel(), 1);
    EXPECT_STREQ(rx::OptimizeModeLabel(0), L"Optimize only JPEGs");
    EXPECT_STREQ(rx::OptimizeModeLabel(1), L"Optimize only PNGs");
    EXPECT_STREQ(rx::OptimizeModeLabel(2), L"Optimize both JPEGs and PNGs");
    EXPECT_EQ(rx::OptimizeModeLabel(3), nullptr);
}

TEST(OptimizeOpTest, QualityPicksJpegSettingAndPngLevel) {
    const int expected[] = {-1, -1, 75, 70, 65, 60}; // 0 acts as 1: never a JPEG quality of 0
    for (std::uint32_t q = 0; q <= 5; ++q) {
        const OptimizeOp op = Op(OptimizeMode::Both, q);
        EXPECT_EQ(op.jpegSetting(), expected[q]) << q;
        EXPECT_EQ(op.pngLevel(), int(std::max(q, 1u)));
    }
    const OptimizeOp big = Op(OptimizeMode::Both, 40); // set in code beyond the panel's range
    EXPECT_EQ(big.jpegSetting(), 60);
    EXPECT_EQ(big.pngLevel(), 5);
}

TEST(OptimizeOpTest, LoadReadsQualityWithDefaultAndLimit) {
    const std::pair<const wchar_t*, std::uint32_t> cases[] = {
        {L"3", 3},
        {L"5", 5},
        {L"0", 1},
        {L"9", 5},
        {L"4294967295", 5},
        {L"4294967296", 1},
        {L"99999999999999", 1},
        {L"00000000003", 3},
        {L"", 1},
        {L"abc", 1},
        {L"3x", 1},
        {L"-2", 1},
        {L" 3", 1},
    };
    for (const auto& [text, value] : cases) {
        OptimizeOp op;
        op.quality = 4;
        wptree section;
        section.put(L"quality", text);
        op.load(section);
        EXPECT_EQ(op.quality, value) << std::string(text, text + std::wcslen(text));
    }
    OptimizeOp op;
    op.quality = 4;
    op.load(wptree());
    EXPECT_EQ(op.quality, 1u) << "missing key";
}

TEST(OptimizeOpTest, SaveWritesQualityOnly) {
    OptimizeOp op = Op(OptimizeMode::Both, 4);
    wptree section;
    op.save(section);
    EXPECT_EQ(section.size(), 1u);
    EXPECT_EQ(section.get<std::wstring>(L"quality"), L"4");
    OptimizeOp back;
    back.load(section);
    EXPECT_EQ(back.quality, 4u);
}

TEST_F(OptimizeOpFiles, LosslessMakesProgressiveJpegSequentialWithSamePixels) {
    rxtest::JpegRecipe recipe; // small enough for the sequential form to be shorter
    recipe.width = 64;
    recipe.height = 48;
    recipe.progressive = true;
    recipe.markers.push_back(rxtest::TextMarker(0xE1, "Exif\0", 200));
    const rx::Bytes source = rxtest::MakeJpeg(recipe);
    auto file = Open(source, "photo.jpg");
    OptimizeOp op = Op(OptimizeMode::OnlyJpeg, 1);
    op.apply(*file);

    EXPECT_EQ(file->format(), rx::OutputFormat::Jpeg);
    const rx::Bytes result = CurrentBytes(*file);
    EXPECT_LT(result.size(), source.size());
    const rxtest::JpegInfo info = rxtest::ReadJpegInfo(result);
    EXPECT_FALSE(info.progressive);
    ASSERT_FALSE(info.markers.empty());
    EXPECT_EQ(info.markers.back(), recipe.markers.front());
    EXPECT_TRUE(rxtest::DecodeJpeg(result).samples == rxtest::DecodeJpeg(source).samples);
}

TEST_F(OptimizeOpFiles, ResultThatIsNotSmallerIsDiscarded) {
    rxtest::JpegRecipe heavy; // quality 60 cannot beat this
    heavy.quality = 12;
    heavy.optimizeCoding = true;
    rxtest::JpegRecipe optimal; // the lossless transcode gives the same bytes again
    optimal.optimizeCoding = true;
    rxtest::JpegRecipe large; // large enough for progressive to beat sequential coding
    large.width = 400;
    large.height = 266;
    large.progressive = true;
    for (const auto& [recipe, quality] :
         {std::pair{heavy, 5u}, std::pair{optimal, 1u}, std::pair{large, 1u}}) {
        auto file = Open(rxtest::MakeJpeg(recipe), "done.jpg");
        const rx::StreamPtr before = file->data();
        OptimizeOp op = Op(OptimizeMode::Both, quality);
        op.apply(*file);
        EXPECT_EQ(file->data(), before) << "quality " << quality;
    }
}

TEST_F(OptimizeOpFiles, PresetQualityThreeEncodesAtSeventy) {
    rxtest::JpegRecipe recipe;
    recipe.quality = 97;
    auto file = Open(rxtest::MakeJpeg(recipe), "q.jpg");
    OptimizeOp op;
    wptree section;
    section.put(L"quality", L"3");
    op.load(section);
    op.apply(*file);
    const rxtest::JpegInfo info = rxtest::ReadJpegInfo(CurrentBytes(*file));
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.luminanceTable[0], (16u * 60 + 50) / 100); // Annex K scaled by 200 - 2 * 70
    EXPECT_EQ(info.luminanceTable[63], (99u * 60 + 50) / 100);
}

TEST_F(OptimizeOpFiles, PresetQualityZeroIsTheLosslessTranscodeNotQualityZero) {
    rxtest::JpegRecipe recipe;
    recipe.quality = 97;
    recipe.progressive = true;
    const rx::Bytes source = rxtest::MakeJpeg(recipe);
    auto file = Open(source, "q0.jpg");
    OptimizeOp op;
    op.mode = static_cast<int>(OptimizeMode::Both);
    wptree section;
    section.put(L"quality", L"0");
    op.load(section);
    op.apply(*file);
    const rx::Bytes result = CurrentBytes(*file);
    ASSERT_TRUE(rxtest::ReadJpegInfo(result).ok);
    EXPECT_TRUE(rxtest::DecodeJpeg(result).samples == rxtest::DecodeJpeg(source).samples)
        << "the pixels of a lossless transcode, not of a quality-0 encoding";
}

TEST_F(OptimizeOpFiles, DamagedJpegKeepsItsBytes) {
    const rx::Bytes good = rxtest::MakeJpeg({});
    const rx::Bytes truncated(good.begin(), good.begin() + long(good.size() / 2));
    rx::Bytes corrupt = good; // garbage in place of the Huffman tables and the frame header
    std::fill(corrupt.begin() + 30, corrupt.begin() + 400, 0x5A);
    for (const rx::Bytes& bytes : {truncated, corrupt}) {
        for (std::uint32_t quality : {1u, 4u}) {
            auto file = Open(bytes, "broken.jpg");
            OptimizeOp op = Op(OptimizeMode::Both, quality);
            op.apply(*file);
            EXPECT_TRUE(CurrentBytes(*file) == bytes);
        }
    }
}

TEST_F(OptimizeOpFiles, ModesTouchOnlyTheirFormats) {
    struct Case {
        rx::OutputFormat format;
        OptimizeMode mode;
    };
    const Case cases[] = {{rx::OutputFormat::Png, OptimizeMode::OnlyJpeg},
                          {rx::OutputFormat::Jpeg, OptimizeMode::OnlyPng},
                          {rx::OutputFormat::Bmp, OptimizeMode::Both},
                          {rx::OutputFormat::Gif, OptimizeMode::Both},
                          {rx::OutputFormat::Tiff, OptimizeMode::Both}};
    for (const Case& c : cases) {
        SCOPED_TRACE(rx::FormatNumber(c.format));
        const rx::Bytes source = c.format == rx::OutputFormat::Png ? UncompressedPng(64, 48)
                                                                   : rxtest::MakeImage(c.format);
        auto file = Open(source, "image");
        const rx::StreamPtr before = file->data();
        LogCapture log;
        OptimizeOp op = Op(c.mode, 1);
        op.apply(*file);
        EXPECT_EQ(file->format(), c.format);
        EXPECT_EQ(file->data(), before);
        EXPECT_EQ(log.lines, (std::vector<std::wstring>{L"Optimizing ...", L"Optimize done ..."}));
        EXPECT_TRUE(FolderEntries(temp_.path()).empty());
    }
}

TEST_F(OptimizeOpFiles, PngIsOptimisedLosslesslyAndNoTemporaryFileRemains) {
    const rx::Bytes source = UncompressedPng(160, 120);
    auto file = Open(source, "picture.png");
    LogCapture log;
    OptimizeOp op = Op(OptimizeMode::OnlyPng, 2);
    op.apply(*file);
    EXPECT_EQ(file->format(), rx::OutputFormat::Png);
    const rx::Bytes result = CurrentBytes(*file);
    EXPECT_LT(result.size(), source.size());
    EXPECT_EQ(Pixels(result), Pixels(source));
    EXPECT_TRUE(FolderEntries(temp_.path()).empty());
    EXPECT_EQ(log.lines.back(), L"Optimize done ...");
}

TEST_F(OptimizeOpFiles, FailedPngRunLeavesImageAndNoTemporaryFile) {
    // The engine refuses digitally signed files when not forced.
    const rx::Bytes signedPng = WithChunk(UncompressedPng(40, 30), "dSIG", rx::Bytes(16, 1));
    auto file = Open(signedPng, "signed.png");
    ASSERT_EQ(file->GetImage()->RawFormat(), rx::OutputFormat::Png);
    const rx::StreamPtr before = file->data();
    OptimizeOp op = Op(OptimizeMode::Both, 1);
    op.apply(*file);
    EXPECT_EQ(file->data(), before);
    EXPECT_TRUE(CurrentBytes(*file) == signedPng);
    EXPECT_TRUE(FolderEntries(temp_.path()).empty());
}

TEST_F(OptimizeOpFiles, CopyFailureIsTracedAndEndsTheRun) {
    auto file = Open(UncompressedPng(40, 30), "a.png");
    const rx::StreamPtr before = file->data();
    TempFolderOverride missing(temp_ / "does-not-exist");
    LogCapture log;
    OptimizeOp op = Op(OptimizeMode::Both, 1);
    op.apply(*file);
    EXPECT_EQ(file->data(), before);
    EXPECT_EQ(log.lines,
              (std::vector<std::wstring>{L"Optimizing ...", L"Optimize done with error 80070057"}));
}

TEST_F(OptimizeOpFiles, TemporaryFileAndAnyBackupGoWithTheObject) {
    fs::path path;
    {
        rx::OptimizeTempFile first;
        rx::OptimizeTempFile second;
        path = first.path();
        ASSERT_TRUE(first.stream());
        EXPECT_EQ(path.parent_path(), temp_.path());
        EXPECT_EQ(path.filename().string().rfind("RX", 0), 0u);
        EXPECT_NE(second.path(), path);
        rxtest::WriteFile(path.string() + ".bak", rx::Bytes(3, 1)); // as a failed engine run might
        EXPECT_EQ(FolderEntries(temp_.path()).size(), 3u);
    }
    EXPECT_TRUE(FolderEntries(temp_.path()).empty());
}

TEST_F(OptimizeOpFiles, PngRunsFromTwoThreadsBothSucceed) {
    const rx::Bytes source = UncompressedPng(200, 150);
    auto first = Open(source, "one.png");
    auto second = Open(source, "two.png");
    OptimizeOp op = Op(OptimizeMode::Both, 3);
    std::thread worker([&] { op.apply(*first); });
    std::thread preview([&] { op.apply(*second); });
    worker.join();
    preview.join();
    EXPECT_LT(CurrentBytes(*first).size(), source.size());
    EXPECT_TRUE(CurrentBytes(*first) == CurrentBytes(*second));
    EXPECT_TRUE(FolderEntries(temp_.path()).empty());
}

} // namespace
