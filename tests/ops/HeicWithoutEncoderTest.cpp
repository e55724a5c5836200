// A system whose libheif has no HEVC encoder: HEIC files still come out, as JPEG under the same
// stem, and the log says why. The encoder is taken away by blocking libvips' HEIF saver before
// anything has asked for it, which is what the program sees where x265 is missing; the program
// has its own process so that nothing else runs without the saver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>

#include <QGuiApplication>
#include <boost/filesystem/operations.hpp>
#include <vips/vips8>

#include "engine/DebugLog.h"
#include "engine/ExifReader.h"
#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/Operation.h"
#include "engine/VipsBridge.h"
#include "ops/RenameOp.h"
#include "ops/ResizeOp.h"
#include "ops/WatermarkOp.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {

struct Outcome {
    Bytes bytes;
    fs::path saved;
    std::wstring log;
};

Outcome RunJob(const fs::path& source, const OperationList& ops, const fs::path& out) {
    Outcome o;
    std::mutex m;
    auto previous = SetDebugLogSink([&](const std::wstring& s) {
        std::lock_guard<std::mutex> lock(m);
        o.log += s + L"\n";
    });
    ImageFile file(source, 0);
    RunOperations(ops, file);
    file.ConvertFormat(OutputFormat::DontChange);
    if (file.failure().empty() && file.Save(out)) {
        o.saved = file.savedPath();
        o.bytes = rxtest::ReadFile(o.saved);
    }
    SetDebugLogSink(previous);
    return o;
}

} // namespace

TEST(HeicWithoutEncoder, ResultsAreWrittenAsJpegUnderTheSameStemAndTheLogSaysWhy) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int argc = 1;
    char name[] = "heic-test";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv); // the watermark's text needs fonts

    EnsureImagingStarted();
    if (!rxtest::CanEncode(OutputFormat::Heic))
        GTEST_SKIP() << "no HEIC encoder here to make the source with";
    rxtest::TempDir dir;
    fs::create_directories(dir / "out");
    const Bytes heic =
        rxtest::MakeImage(OutputFormat::Heic, {.width = 64, .height = 48, .model = "RX-9"});
    rxtest::WriteFile(dir / "photo.heic", heic);

    vips_operation_block_set("VipsForeignSaveHeif", TRUE);
    ASSERT_FALSE(vipsbridge::EncoderAvailable(OutputFormat::Heic));

    ResizeOp resize;
    resize.mode = ResizeOp::Width;
    resize.width = 32;
    WatermarkOp watermark;
    watermark.text = L"RX";
    RenameOp rename;
    rename.common = L"n";
    for (const OperationList& ops : {OperationList{nullptr, &resize, nullptr, nullptr},
                                     OperationList{&watermark, nullptr, nullptr, nullptr}}) {
        const Outcome o = RunJob(dir / "photo.heic", ops, dir / "out");
        ASSERT_FALSE(o.bytes.empty()) << "a file is never lost for a missing encoder";
        EXPECT_EQ(o.saved.filename().string().substr(0, 5), "photo");
        EXPECT_EQ(o.saved.extension(), ".jpeg");
        EXPECT_EQ(SniffFormat(o.bytes.data(), o.bytes.size()), OutputFormat::Jpeg);
        EXPECT_NE(o.log.find(L"No HEIC encoder on this system"), std::wstring::npos) << o.log;
        const vips::VImage img = vips::VImage::new_from_buffer(o.bytes.data(), o.bytes.size(), "");
        EXPECT_EQ(img.width(), ops[KindResize] ? 32 : 64);
        size_t size = 0;
        const auto* exif =
            static_cast<const std::uint8_t*>(img.get_blob(VIPS_META_EXIF_NAME, &size));
        EXPECT_EQ(ReadExifAscii(exif, size, 0x0110).value_or(""), "RX-9");
    }
    // Nothing to encode: the HEIC bytes are written as they are.
    const Outcome renamed =
        RunJob(dir / "photo.heic", {nullptr, nullptr, nullptr, &rename}, dir / "out");
    EXPECT_EQ(renamed.bytes, heic);
    EXPECT_EQ(renamed.saved.extension(), ".heic");
    EXPECT_EQ(rxtest::ReadFile(dir / "photo.heic"), heic);
}
