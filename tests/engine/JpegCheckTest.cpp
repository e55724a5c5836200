// Damaged JPEG data must fail the decode; sound files of every kind a camera or an editor
// writes, and harmless irregularities, must not.
#include <gtest/gtest.h>

#include <cstdlib>

#include <boost/filesystem/operations.hpp>

#include "engine/Bitmap.h"
#include "engine/ImageFile.h"
#include "engine/JpegCheck.h"
#include "engine/ScaleImage.h"
#include "tests/support/JpegTestImages.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;
using rxtest::JpegRecipe;
using rxtest::MakeJpeg;

namespace {

SharedBytes Share(Bytes b) {
    return std::make_shared<const Bytes>(std::move(b));
}

// Where the entropy-coded data of the (last) scan starts: after the SOS segment.
size_t ScanStart(const Bytes& b) {
    size_t at = 0;
    for (size_t i = 2; i + 3 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xDA) {
            at = i + 2 + (size_t(b[i + 2]) << 8 | b[i + 3]);
            break; // the first scan: enough for baseline and progressive files
        }
    return at;
}

// Decoding the pixels, rescaling and converting all see the same verdict.
void ExpectDecodes(const Bytes& jpeg, bool sound, const std::string& what) {
    const SharedBytes shared = Share(jpeg);
    EXPECT_EQ(JpegDataIsSound(shared), sound) << what;
    auto bitmap = Bitmap::FromData(Share(jpeg)); // a new block: nothing remembered
    ASSERT_TRUE(bitmap->IsValid()) << what << ": the header is readable either way";
    EXPECT_EQ(bitmap->Pixels() != nullptr, sound) << what;
    EXPECT_EQ(ScaleImageStream(NewMemoryStream(Share(jpeg)), 16, 12) != nullptr, sound) << what;
}

Bytes RunTool(const rxtest::TempDir& dir, const std::string& command, const std::string& out) {
    const std::string line = command + " 2>/dev/null";
    EXPECT_EQ(std::system(line.c_str()), 0) << command;
    return rxtest::ReadFile(dir / out);
}

} // namespace

TEST(JpegCheck, SoundFilesOfEveryKindAreAccepted) {
    std::vector<std::pair<std::string, Bytes>> files;
    files.emplace_back("baseline", MakeJpeg({}));
    files.emplace_back("progressive", MakeJpeg({.progressive = true}));
    files.emplace_back("restart every MCU", MakeJpeg({.restartInterval = 1}));
    files.emplace_back("restart every 7", MakeJpeg({.progressive = true, .restartInterval = 7}));
    files.emplace_back("grey", MakeJpeg({.width = 33, .height = 17, .components = 1}));
    files.emplace_back("CMYK", MakeJpeg({.components = 4, .jfif = false}));
    files.emplace_back("optimised tables", MakeJpeg({.optimizeCoding = true}));
    files.emplace_back("1 x 1", MakeJpeg({.width = 1, .height = 1}));
    JpegRecipe camera;
    camera.width = 160;
    camera.height = 120;
    camera.jfif = false;
    camera.markers.push_back(rxtest::TextMarker(0xFE, "a comment"));
    camera.markers.push_back(rxtest::TextMarker(0xED, "Photoshop 3.0", 9000));
    files.emplace_back("comment and a large APP13", MakeJpeg(camera));

    // The system's own encoders, with every chroma subsampling cameras use.
    rxtest::TempDir dir;
    rxtest::WriteFile(dir / "src.png",
                      rxtest::MakeImage(OutputFormat::Png, {.width = 203, .height = 151}));
    ASSERT_EQ(
        std::system(
            ("convert " + (dir / "src.png").string() + " " + (dir / "src.ppm").string()).c_str()),
        0);
    const std::string ppm = (dir / "src.ppm").string();
    const std::string out = (dir / "t.jpg").string();
    for (const char* sample : {"1x1", "2x1", "2x2", "4x1", "1x2"})
        for (const char* mode : {"", "-progressive", "-restart 2", "-progressive -restart 1B",
                                 "-optimize", "-arithmetic"}) {
            files.emplace_back(std::string("cjpeg -sample ") + sample + " " + mode,
                               RunTool(dir,
                                       std::string("cjpeg -sample ") + sample + " " + mode +
                                           " -outfile " + out + " " + ppm,
                                       "t.jpg"));
        }
    files.emplace_back(
        "ImageMagick interlaced 4:2:2",
        RunTool(dir, "convert " + ppm + " -interlace Plane -sampling-factor 2x1 " + out, "t.jpg"));
    files.emplace_back("libvips trellis",
                       RunTool(dir,
                               "vips jpegsave " + ppm + " " + out +
                                   " --trellis-quant --overshoot-deringing --optimize-scans "
                                   "--interlace",
                               "t.jpg"));
    files.emplace_back("exiftool EXIF",
                       RunTool(dir,
                               "cjpeg -outfile " + out + " " + ppm +
                                   " && exiftool -q -overwrite_original -Make=Cam -Model=X1 "
                                   "-DateTimeOriginal='2020:01:02 03:04:05' -Orientation#=6 " +
                                   out,
                               "t.jpg"));

    // Harmless noise: stray bytes before the end marker, fill bytes, data after the end.
    const Bytes base = MakeJpeg({.restartInterval = 4});
    Bytes stray(base.begin(), base.end() - 2);
    stray.insert(stray.end(), {0x00, 0x11, 0x22, 0xFF, 0xD9});
    files.emplace_back("stray bytes before the end marker", stray);
    Bytes fill(base.begin(), base.end() - 2);
    fill.insert(fill.end(), {0xFF, 0xFF, 0xFF, 0xD9});
    files.emplace_back("fill bytes before the end marker", fill);
    Bytes trailing = base;
    trailing.insert(trailing.end(), 300, 0xAB);
    files.emplace_back("data after the end marker", trailing);

    for (const auto& [what, bytes] : files) {
        ASSERT_GT(bytes.size(), 100u) << what;
        ExpectDecodes(bytes, true, what);
    }
}

TEST(JpegCheck, MissingOrDamagedEntropyDataFailsTheDecode) {
    for (const bool progressive : {false, true}) {
        const Bytes good = MakeJpeg({.width = 320, .height = 240, .progressive = progressive});
        const size_t scan = ScanStart(good);
        ASSERT_GT(scan, 0u);
        const size_t middle = scan + (good.size() - scan) / 2;
        const std::string kind = progressive ? "progressive: " : "baseline: ";

        Bytes cut(good.begin(), good.begin() + long(middle));
        ExpectDecodes(cut, false, kind + "cut in the middle of the data");
        Bytes ended = cut;
        ended.insert(ended.end(), {0xFF, 0xD9});
        ExpectDecodes(ended, false, kind + "first half followed by an end marker");
        Bytes marker = good;
        marker[middle] = 0xFF;
        marker[middle + 1] = 0xD3; // a restart marker where none belongs
        ExpectDecodes(marker, false, kind + "a marker inside the data");
        Bytes noScan(good.begin(), good.begin() + long(scan));
        noScan.insert(noScan.end(), {0xFF, 0xD9});
        ExpectDecodes(noScan, false, kind + "no data at all");
    }
}

TEST(JpegCheck, AHugeFrameDeclaredInATinyFileIsRefusedNotFilled) {
    // A few hundred bytes that declare 17000 x 17000: filled with grey it would become a
    // frame of 289 million pixels.
    Bytes jpeg = MakeJpeg({.width = 64, .height = 64});
    for (size_t i = 2; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = 17000 >> 8;
            jpeg[i + 6] = 17000 & 0xFF;
            jpeg[i + 7] = 17000 >> 8;
            jpeg[i + 8] = 17000 & 0xFF;
            break;
        }
    const size_t scan = ScanStart(jpeg);
    jpeg.resize(std::min(jpeg.size(), scan + 40));
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    ASSERT_LT(jpeg.size(), 1000u);

    rxtest::TempDir dir;
    rxtest::WriteFile(dir / "huge.jpg", jpeg);
    ImageFile file(dir / "huge.jpg", 0);
    file.ConvertFormat(OutputFormat::Png);
    EXPECT_FALSE(file.failure().empty());
    EXPECT_EQ(file.name(), "huge.jpg");
    EXPECT_EQ(*file.data()->Contents(), jpeg) << "the record keeps its bytes";
}
