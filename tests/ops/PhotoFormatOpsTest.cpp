// WebP, AVIF and HEIC through each operation the way the job runs them (RunOperations, then the
// conversion and Save): Resize and Watermark re-encode in the file's own format at the size the
// user sees, with EXIF, XMP and ICC kept and the pixels stored upright; Optimize and Rename leave
// the bytes alone; a damaged file fails on its own and its source stays as it was. The files are
// made at test time by this system's libvips savers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <QGuiApplication>
#include <boost/filesystem/operations.hpp>
#include <vips/vips8>

#include "engine/ExifReader.h"
#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/Operation.h"
#include "ops/OptimizeOp.h"
#include "ops/RenameOp.h"
#include "ops/ResizeOp.h"
#include "ops/WatermarkOp.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {

const char kXmp[] = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>"
                    "<x:xmpmeta xmlns:x='adobe:ns:meta/'>rexmill-ops</x:xmpmeta>"
                    "<?xpacket end='w'?>";

std::string Name(OutputFormat format) {
    const std::wstring w = OutputFormatName(format);
    return std::string(w.begin(), w.end());
}

vips::VImage Open(const Bytes& bytes) {
    return vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "",
                                         vips::VImage::option()->set("access", VIPS_ACCESS_RANDOM));
}

struct Written {
    OutputFormat format = OutputFormat::DontChange;
    QSize size;
    std::string model;
    int orientation = 0; // EXIF tag; 0 when there is none
    bool xmp = false;
    bool icc = false;
};

Written Look(const Bytes& file) {
    Written w;
    w.format = SniffFormat(file.data(), file.size());
    const vips::VImage img = Open(file);
    w.size = QSize(img.width(), img.height());
    size_t size = 0;
    if (img.get_typeof(VIPS_META_EXIF_NAME)) {
        const auto* exif =
            static_cast<const std::uint8_t*>(img.get_blob(VIPS_META_EXIF_NAME, &size));
        w.model = ReadExifAscii(exif, size, 0x0110).value_or("");
        w.orientation = ReadExifShort(exif, size, kExifTagOrientation).value_or(0);
    }
    // libvips' HEIF loader names a packet that does not start with the meta element by its
    // item type.
    for (const char* field : {VIPS_META_XMP_NAME, "heif-mime-1"})
        if (img.get_typeof(field)) {
            const auto* xmp = static_cast<const char*>(img.get_blob(field, &size));
            w.xmp = w.xmp || std::string(xmp, size).find("rexmill-ops") != std::string::npos;
        }
    w.icc = img.get_typeof(VIPS_META_ICC_NAME) != 0;
    return w;
}

class PhotoFormatOps : public ::testing::TestWithParam<OutputFormat> {
protected:
    static void SetUpTestSuite() {
        rxtest::EnsureGuiApplication(); // the watermark's text needs fonts
    }
    void SetUp() override {
        if (!rxtest::CanEncode(GetParam()))
            GTEST_SKIP() << "this system's libvips cannot write " << Name(GetParam());
        fs::create_directories(dir / "out");
        source = dir / ("photo" + std::string(OutputFormatExtension(GetParam())));
        original = rxtest::MakeImage(GetParam(), {.width = 64,
                                                  .height = 48,
                                                  .orientation = 6,
                                                  .model = "RX-Ops",
                                                  .xmp = kXmp,
                                                  .icc = true});
        rxtest::WriteFile(source, original);
        // WebP applies its EXIF orientation; HEIF's pictures are turned by its own properties
        // (applied by libheif), so its EXIF tag is not applied again.
        shown = GetParam() == OutputFormat::Webp ? QSize(48, 64) : QSize(64, 48);
    }

    // One file through the operations, converted to "Don't change" and saved, as the job does.
    // The saved bytes, or nothing when the file failed.
    Bytes Run(const OperationList& ops, fs::path* saved = nullptr) {
        ImageFile file(source, 0);
        RunOperations(ops, file);
        file.ConvertFormat(OutputFormat::DontChange);
        if (!file.failure().empty() || !file.Save(dir / "out"))
            return {};
        if (saved)
            *saved = file.savedPath();
        return rxtest::ReadFile(file.savedPath());
    }

    void ExpectMetadataKept(const Written& w) {
        EXPECT_EQ(w.format, GetParam());
        EXPECT_EQ(w.model, "RX-Ops");
        EXPECT_EQ(w.orientation, 1) << "stored upright";
        EXPECT_TRUE(w.xmp);
        EXPECT_TRUE(w.icc);
    }

    rxtest::TempDir dir;
    fs::path source;
    Bytes original;
    QSize shown;
};

} // namespace

TEST_P(PhotoFormatOps, ResizeWritesTheOwnFormatAtTheNewSize) {
    ResizeOp resize;
    resize.mode = ResizeOp::Width;
    resize.width = std::uint32_t(shown.width() / 2);
    fs::path saved;
    const Bytes out = Run({nullptr, &resize, nullptr, nullptr}, &saved);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(saved.filename(), source.filename());
    const Written w = Look(out);
    EXPECT_EQ(w.size, shown / 2);
    ExpectMetadataKept(w);
    EXPECT_EQ(rxtest::ReadFile(source), original);
}

TEST_P(PhotoFormatOps, WatermarkDrawsOnTheUprightPictureInItsOwnFormat) {
    WatermarkOp watermark;
    watermark.text = L"RXRXRX";
    watermark.fontSize = 40;
    watermark.fontColor = 0x0000FF; // COLORREF: red
    const Bytes out = Run({&watermark, nullptr, nullptr, nullptr});
    ASSERT_FALSE(out.empty());
    const Written w = Look(out);
    EXPECT_EQ(w.size, shown);
    ExpectMetadataKept(w);
    // The red text at the top left, over a picture whose red grows along the stored x.
    const vips::VImage before = Open(original).autorot().extract_band(0);
    const vips::VImage after = Open(out).extract_band(0);
    const vips::VImage corner = after.crop(0, 0, 24, 16) - before.crop(0, 0, 24, 16);
    EXPECT_GT(corner.avg(), 20.0) << "the text is there";
}

TEST_P(PhotoFormatOps, OptimizeAndRenameLeaveTheBytesAsTheyAre) {
    OptimizeOp optimize;
    optimize.mode = static_cast<int>(OptimizeMode::Both);
    optimize.quality = 10;
    RenameOp rename;
    rename.common = L"n";
    rename.digits = 2;
    fs::path saved;
    EXPECT_EQ(Run({nullptr, nullptr, &optimize, nullptr}), original);
    EXPECT_EQ(Run({nullptr, nullptr, &optimize, &rename}, &saved), original);
    EXPECT_EQ(saved.extension(), OutputFormatExtension(GetParam()));
    EXPECT_EQ(saved.stem().string().substr(0, 1), "n");
}

TEST_P(PhotoFormatOps, DamagedFilesFailAloneAndTheirSourceStaysAsItWas) {
    Bytes truncated(original.begin(), original.begin() + long(original.size() / 2));
    // A flipped bit in the coded picture: in the first partition's size of a WebP's VP8 frame,
    // at the head of a HEIF's media data (the first unit of the HEVC or AV1 stream). Not every
    // flip can be found: lossy data with a flip inside often decodes, only differently.
    Bytes flipped = original;
    const char* tag = GetParam() == OutputFormat::Webp ? "VP8 " : "mdat";
    const auto at = std::search(flipped.begin(), flipped.end(), tag, tag + 4);
    ASSERT_NE(at, flipped.end());
    if (GetParam() == OutputFormat::Webp)
        at[9] ^= 0x80;
    else
        at[5] ^= 0x10;

    ResizeOp resize;
    resize.mode = ResizeOp::Percentage;
    resize.percent = 50;
    WatermarkOp watermark;
    watermark.text = L"RX";
    RenameOp rename;
    rename.common = L"r";
    for (const auto& [what, bytes] : {std::pair{"truncated", truncated}, {"flipped", flipped}}) {
        for (const OperationList& ops : {OperationList{nullptr, &resize, nullptr, nullptr},
                                         OperationList{&watermark, nullptr, nullptr, &rename}}) {
            SCOPED_TRACE(what);
            rxtest::WriteFile(source, bytes);
            ImageFile file(source, 3);
            RunOperations(ops, file);
            file.ConvertFormat(OutputFormat::DontChange);
            EXPECT_FALSE(file.failure().empty()) << "the damage is found";
            EXPECT_EQ(rxtest::ReadFile(source), bytes);
        }
    }
    EXPECT_TRUE(fs::is_empty(dir / "out"));
}

std::string ParamName(const ::testing::TestParamInfo<OutputFormat>& param) {
    return Name(param.param);
}

INSTANTIATE_TEST_SUITE_P(Formats, PhotoFormatOps,
                         ::testing::Values(OutputFormat::Webp, OutputFormat::Avif,
                                           OutputFormat::Heic),
                         ParamName);
