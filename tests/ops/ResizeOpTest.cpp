#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <vips/vips8>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "ops/ResizeOp.h"
#include "tests/support/TestImages.h"

using namespace rx;
using boost::property_tree::wptree;
using rxtest::ImageSpec;
using rxtest::Inspect;
using rxtest::MakeImage;

namespace {

ResizeOp Op(int mode, std::uint32_t width, std::uint32_t height, std::uint32_t percent = 0) {
    ResizeOp op;
    op.mode = mode;
    op.width = width;
    op.height = height;
    op.percent = percent;
    return op;
}

Bytes Data(const ImageFile& file) {
    return *file.data()->Contents();
}

// A file on disk opened as the job or the preview opens it.
struct SourceFile {
    rxtest::TempDir dir;
    boost::filesystem::path path;
    SourceFile(const std::string& name, const Bytes& bytes) : path(dir / name) {
        rxtest::WriteFile(path, bytes);
    }
};

} // namespace

TEST(ResizeOp, TargetSizeFollowsEachModesArithmetic) {
    EXPECT_EQ(Op(ResizeOp::Width, 1000, 0).targetSize(4000, 3000), QSize(1000, 750));
    EXPECT_EQ(Op(ResizeOp::Height, 0, 500).targetSize(333, 1000), QSize(167, 500));
    EXPECT_EQ(Op(ResizeOp::Percentage, 0, 0, 250).targetSize(100, 40), QSize(250, 100));
    EXPECT_EQ(Op(ResizeOp::MaxSize, 800, 800).targetSize(640, 480), QSize(640, 480));
    EXPECT_EQ(Op(ResizeOp::MaxSize, 800, 800).targetSize(1600, 1200), QSize(800, 600));
    EXPECT_EQ(Op(ResizeOp::MaxSize, 800, 800).targetSize(1200, 1600), QSize(600, 800));
    EXPECT_EQ(Op(ResizeOp::FreeSize, 300, 300).targetSize(1600, 1200), QSize(300, 300));
}

TEST(ResizeOp, TargetSizeIsLimitedTo10240AndAtLeastOne) {
    EXPECT_EQ(Op(ResizeOp::Width, 20000, 0).targetSize(1000, 1000), QSize(10240, 10240));
    EXPECT_EQ(Op(ResizeOp::Percentage, 0, 0, 1).targetSize(40, 40), QSize(1, 1));
    // The limit keeps the proportions: 20000 x 5000 becomes 10240 x 2560.
    EXPECT_EQ(Op(ResizeOp::FreeSize, 20000, 5000).targetSize(10, 10), QSize(10240, 2560));
    EXPECT_EQ(Op(ResizeOp::Height, 0, 15000).targetSize(100, 300), QSize(3413, 10240));
    EXPECT_EQ(Op(ResizeOp::Width, 10, 0).targetSize(10000, 10), QSize(10, 1));
    // Sizes far beyond int reach the limit with their own proportions, from every mode.
    EXPECT_EQ(Op(ResizeOp::Width, 4294967295u, 0).targetSize(800, 533), QSize(10240, 6822));
    EXPECT_EQ(Op(ResizeOp::Height, 0, 4294967295u).targetSize(533, 800), QSize(6822, 10240));
    EXPECT_EQ(Op(ResizeOp::Percentage, 0, 0, 4294967295u).targetSize(800, 533), QSize(10240, 6822));
    EXPECT_EQ(Op(ResizeOp::FreeSize, 4294967295u, 2147483648u).targetSize(1, 1),
              QSize(10240, 5120));
}

TEST(ResizeOp, ReadyWhenTheModesNumbersAreSet) {
    EXPECT_TRUE(Op(ResizeOp::Width, 1, 0).isReady());
    EXPECT_FALSE(Op(ResizeOp::Width, 0, 5, 5).isReady());
    EXPECT_TRUE(Op(ResizeOp::Height, 0, 1).isReady());
    EXPECT_FALSE(Op(ResizeOp::Height, 5, 0, 5).isReady());
    EXPECT_TRUE(Op(ResizeOp::Percentage, 0, 0, 1).isReady());
    EXPECT_FALSE(Op(ResizeOp::Percentage, 5, 5, 0).isReady());
    for (int mode : {ResizeOp::MaxSize, ResizeOp::FreeSize}) {
        EXPECT_TRUE(Op(mode, 1, 1).isReady());
        EXPECT_FALSE(Op(mode, 1, 0).isReady());
        EXPECT_FALSE(Op(mode, 0, 1).isReady());
    }
    EXPECT_FALSE(Op(5, 1, 1, 1).isReady());
    EXPECT_EQ(ResizeOp().type(), 1);
}

TEST(ResizeOp, SavesTheModesKeysAndLoadsAllWithDefaults) {
    wptree height;
    Op(ResizeOp::Height, 7, 500, 9).save(height);
    EXPECT_EQ(height.size(), 1u);
    EXPECT_EQ(height.get<std::wstring>(L"height"), L"500");

    wptree both;
    Op(ResizeOp::MaxSize, 800, 600, 9).save(both);
    EXPECT_EQ(both.size(), 2u);
    EXPECT_EQ(both.get<std::wstring>(L"width"), L"800");
    EXPECT_EQ(both.get<std::wstring>(L"height"), L"600");

    wptree percent;
    Op(ResizeOp::Percentage, 7, 8, 250).save(percent);
    EXPECT_EQ(percent.size(), 1u);
    EXPECT_EQ(percent.get<std::wstring>(L"percent"), L"250");

    ResizeOp loaded = Op(ResizeOp::Height, 11, 12, 13);
    loaded.load(height);
    EXPECT_EQ(loaded.width, 0u);
    EXPECT_EQ(loaded.height, 500u);
    EXPECT_EQ(loaded.percent, 0u);

    wptree padded;
    padded.put(L"width", L"00000000100");
    padded.put(L"height", L"4294967295");
    loaded.load(padded);
    EXPECT_EQ(loaded.width, 100u) << "leading zeros do not make a number too long";
    EXPECT_EQ(loaded.height, 4294967295u);

    wptree bad;
    bad.put(L"width", L"12px");
    bad.put(L"height", L"-5");
    bad.put(L"percent", L"99999999999");
    loaded.load(bad);
    EXPECT_EQ(loaded.width, 0u);
    EXPECT_EQ(loaded.height, 0u);
    EXPECT_EQ(loaded.percent, 0u);
}

TEST(ResizeOp, JpegByWidthKeepsFormatAndExifAndReadsOnlyTheHeader) {
    SourceFile src("photo.jpg", MakeImage(OutputFormat::Jpeg, {.width = 4000,
                                                               .height = 3000,
                                                               .dateTime = "2020:01:02 03:04:05",
                                                               .model = "RX-1"}));
    ImageFile file(src.path, 0);
    ResizeOp op = Op(ResizeOp::Width, 1000, 0);
    std::vector<std::wstring> log;
    auto previous = SetDebugLogSink([&](const std::wstring& s) { log.push_back(s); });
    const auto decodes = PixelDecodeCount();
    op.apply(file);
    EXPECT_EQ(PixelDecodeCount(), decodes); // the size came from the header
    SetDebugLogSink(previous);

    const Bytes out = Data(file);
    const auto d = Inspect(out);
    EXPECT_EQ(d.loader, "jpegload_buffer");
    EXPECT_EQ(d.width, 1000);
    EXPECT_EQ(d.height, 750);
    const auto bitmap = Bitmap::FromData(std::make_shared<const Bytes>(out));
    EXPECT_EQ(bitmap->DateTime().value_or(""), "2020:01:02 03:04:05");
    EXPECT_EQ(file.name(), "photo.jpg");
    const std::vector<std::wstring> expected = {
        L"Resizing ...", L"  Get image", L"  Resizing to 1000 x 750", L"  Resized", L"Resize done"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(op.cacheStream, nullptr); // a job's file leaves the preview cache alone
}

TEST(ResizeOp, TurnedPhotoIsResizedByItsUprightSize) {
    // Stored 1500 x 2000 with orientation 6: the user sees 2000 x 1500.
    SourceFile src("turned.jpg",
                   MakeImage(OutputFormat::Jpeg,
                             {.width = 1500, .height = 2000, .orientation = 6, .model = "RX-1"}));
    ImageFile file(src.path, 0);
    ResizeOp op = Op(ResizeOp::Width, 1000, 0);
    op.apply(file);
    const auto d = Inspect(Data(file));
    EXPECT_EQ(d.width, 1000);
    EXPECT_EQ(d.height, 750);
    EXPECT_EQ(d.orientation, 1);
}

TEST(ResizeOp, AnUndecodableFileFailsAndItsBytesStayAsTheyWere) {
    const Bytes junk = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 5, 6, 7, 8};
    SourceFile src("broken.jpg", junk);
    ImageFile file(src.path, 0);
    const StreamPtr before = file.data();
    ResizeOp op = Op(ResizeOp::Percentage, 0, 0, 50);
    op.apply(file);
    EXPECT_FALSE(file.failure().empty()) << "the job must not save it as if it were resized";
    EXPECT_EQ(file.data(), before);
    EXPECT_EQ(Data(file), junk);
    EXPECT_EQ(rxtest::ReadFile(src.path), junk) << "the source is untouched";
}

TEST(ResizeOp, PreviewRescalesTheSameFileAndSizeOnce) {
    SourceFile src("a.png", MakeImage(OutputFormat::Png, {.width = 200, .height = 100}));
    ResizeOp op = Op(ResizeOp::Width, 50, 0);
    const std::uint64_t rescales = ResizeOp::RescaleCount();
    ImageFile first(src.path, -1);
    op.apply(first);
    EXPECT_EQ(ResizeOp::RescaleCount(), rescales + 1);
    ASSERT_NE(op.cacheStream, nullptr);
    EXPECT_EQ(op.cacheWidth, 50);
    EXPECT_EQ(op.cacheHeight, 25);
    EXPECT_EQ(op.cacheName, "a.png");
    const SharedBytes cached = op.cacheStream->Contents();

    ImageFile second(src.path, -1);
    op.apply(second);
    EXPECT_EQ(second.data()->Contents().get(), cached.get()); // the cached block, not a new one
    EXPECT_EQ(ResizeOp::RescaleCount(), rescales + 1);

    op.width = 40; // another size is rescaled again
    ImageFile third(src.path, -1);
    op.apply(third);
    EXPECT_EQ(ResizeOp::RescaleCount(), rescales + 2);
    EXPECT_NE(third.data()->Contents().get(), cached.get());
    EXPECT_EQ(Inspect(Data(third)).width, 40);

    // A file of the same name from another folder gets its own result.
    SourceFile other("a.png",
                     MakeImage(OutputFormat::Png, {.width = 300, .height = 150, .bands = 1}));
    op.width = 40;
    ImageFile namesake(other.path, -1);
    op.apply(namesake);
    EXPECT_EQ(Inspect(Data(namesake)).bands, 1);

    // A job's file never takes the preview's result.
    op.width = 50;
    ImageFile job(src.path, 0);
    const StreamPtr keep = op.cacheStream;
    op.apply(job);
    EXPECT_EQ(op.cacheStream, keep);
    EXPECT_NE(job.data()->Contents().get(), keep->Contents().get());
}

TEST(ResizeOp, AFreshCopyTakesOverTheCacheOfTheLastPreviewCopy) {
    SourceFile src("a.png", MakeImage(OutputFormat::Png, {.width = 200, .height = 100}));
    const ResizeOp record = Op(ResizeOp::Width, 50, 0);
    auto first = record.clone();
    ImageFile one(src.path, -1);
    first->apply(one);
    const SharedBytes cached = one.data()->Contents();
    EXPECT_EQ(record.cacheStream, nullptr) << "the record is not the copy";

    auto second = record.clone();
    second->adoptCache(*first);
    ImageFile two(src.path, -1);
    second->apply(two);
    EXPECT_EQ(two.data()->Contents().get(), cached.get());
}

TEST(ResizeOp, RunOperationsAndSaveWriteTheResizedFile) {
    SourceFile src("p.tiff",
                   MakeImage(OutputFormat::Tiff, {.width = 90, .height = 60, .pages = 2}));
    ResizeOp op = Op(ResizeOp::Percentage, 0, 0, 50);
    OperationList list{};
    list[KindResize] = &op;
    ImageFile file(src.path, 0);
    RunOperations(list, file);
    rxtest::TempDir out;
    ASSERT_TRUE(file.Save(out.path()));
    const auto d = Inspect(rxtest::ReadFile(out / "p.tiff"));
    EXPECT_EQ(d.width, 45);
    EXPECT_EQ(d.height, 30);
    EXPECT_EQ(d.pages, 2);
}
