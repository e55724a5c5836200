// Mutated files of every format through all four operations and a conversion: nothing may
// crash, every file either fails or comes out decodable, no source changes, and no temporary
// file is left behind. Fixed seeds, so a failure can be run again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include <QGuiApplication>
#include <boost/filesystem/operations.hpp>

#include "engine/Bitmap.h"
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

constexpr int kFilesPerFormat = 300;

class HostileFilesFuzz : public ::testing::TestWithParam<OutputFormat> {
protected:
    static void SetUpTestSuite() {
        rxtest::EnsureGuiApplication(); // the watermark's text needs fonts
    }
};

// One mutation of a sound file: flipped bytes, a cut, inserted or zeroed runs, a copied block,
// or a changed size field. The format's signature is mostly kept so its own decoder runs.
Bytes Mutate(const Bytes& seed, std::mt19937& random) {
    Bytes b = seed;
    const auto at = [&](size_t from) {
        return from + random() % std::max<size_t>(1, b.size() - from);
    };
    const size_t keep = random() % 8 ? 8 : 0;
    const int rounds = 1 + int(random() % 3);
    for (int r = 0; r < rounds && b.size() > keep + 1; ++r) {
        switch (random() % 6) {
        case 0:
            for (int k = 0, n = 1 + int(random() % 8); k < n; ++k)
                b[at(keep)] ^= std::uint8_t(1 + random() % 255);
            break;
        case 1:
            b.resize(at(keep));
            break;
        case 2: {
            const size_t p = at(keep);
            for (int k = 0, n = 1 + int(random() % 32); k < n; ++k)
                b.insert(b.begin() + long(p), std::uint8_t(random()));
            break;
        }
        case 3: {
            const size_t p = at(keep);
            const size_t n = std::min<size_t>(b.size() - p, 1 + random() % 64);
            std::fill(b.begin() + long(p), b.begin() + long(p + n),
                      std::uint8_t(random() % 2 ? 0 : 0xFF));
            break;
        }
        case 4: {
            const size_t from = at(0), to = at(keep);
            const size_t n = std::min<size_t>({b.size() - from, b.size() - to, 1 + random() % 128});
            std::copy(b.begin() + long(from), b.begin() + long(from + n), b.begin() + long(to));
            break;
        }
        default: { // a size field somewhere in the header made large
            const size_t p = keep + random() % std::min<size_t>(b.size() - keep, 40);
            b[p] = 0x7F;
            break;
        }
        }
    }
    return b;
}

std::vector<Bytes> Seeds(OutputFormat format) {
    std::vector<Bytes> seeds;
    seeds.push_back(rxtest::MakeImage(format, {.width = 40, .height = 28}));
    seeds.push_back(rxtest::MakeImage(format, {.width = 17, .height = 33, .bands = 4}));
    seeds.push_back(rxtest::MakeImage(format, {.width = 30,
                                               .height = 20,
                                               .bands = 1,
                                               .orientation = format == OutputFormat::Jpeg ? 6 : 0,
                                               .dateTime = "2020:01:02 03:04:05"}));
    return seeds;
}

bool HasTempFiles(const fs::path& folder) {
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it)
        if (it->path().filename().string().compare(0, 2, "RX") == 0)
            return true;
    return false;
}

} // namespace

TEST_P(HostileFilesFuzz, EveryMutatedFileFailsOrComesOutDecodable) {
    const OutputFormat format = GetParam();
    if (!rxtest::CanEncode(format))
        GTEST_SKIP() << "no encoder for the seeds on this system";
    rxtest::TempDir dir;
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "tmp");
    setenv("TMPDIR", (dir / "tmp").c_str(), 1);

    WatermarkOp watermark;
    watermark.text = L"Fuzz";
    ResizeOp resize;
    resize.mode = ResizeOp::Percentage;
    resize.percent = 150;
    OptimizeOp optimize;
    optimize.mode = static_cast<int>(OptimizeMode::Both);
    optimize.quality = 2;
    RenameOp rename;
    rename.common = L"f";
    rename.digits = 4;
    const OperationList all = {&watermark, &resize, &optimize, &rename};
    const OperationList renameOnly = {nullptr, nullptr, nullptr, &rename};

    const std::vector<Bytes> seeds = Seeds(format);
    std::mt19937 random(20261209u + unsigned(format));
    int saved = 0, failed = 0;
    for (int i = 0; i < kFilesPerFormat; ++i) {
        const Bytes mutated = Mutate(seeds[size_t(i) % seeds.size()], random);
        const fs::path source = dir / "src" / ("m" + std::to_string(i) + ".img");
        rxtest::WriteFile(source, mutated);
        const bool withPixels = i % 5 != 0; // every fifth file goes through Rename alone
        OutputFormat to = OutputFormatFromNumber(1 + i % 5); // another format than the source's
        if (to == format)
            to = OutputFormatFromNumber(1 + (i + 1) % 5);
        ImageFile file(source, i);
        RunOperations(withPixels ? all : renameOnly, file);
        file.ConvertFormat(withPixels ? to : OutputFormat::DontChange);
        SCOPED_TRACE("file " + std::to_string(i) + " to format " +
                     std::to_string(FormatNumber(to)));
        if (!file.failure().empty()) {
            EXPECT_TRUE(withPixels) << "nothing needed the pixels: " << file.failure();
            ++failed;
        } else {
            ASSERT_TRUE(file.Save(dir / "out"));
            const Bytes out = rxtest::ReadFile(file.savedPath());
            if (withPixels) {
                auto bitmap = Bitmap::FromData(std::make_shared<const Bytes>(out));
                EXPECT_TRUE(bitmap->IsValid() && bitmap->Pixels()) << "saved but not decodable";
                EXPECT_EQ(bitmap->RawFormat(), to);
            } else {
                EXPECT_EQ(out, mutated) << "bytes copied as they are";
            }
            ++saved;
        }
        EXPECT_EQ(rxtest::ReadFile(source), mutated) << "the source changed";
    }
    EXPECT_FALSE(HasTempFiles(dir / "out"));
    EXPECT_FALSE(HasTempFiles(dir / "tmp"));
    // Both outcomes are met, or the mutations are not reaching the decoders.
    EXPECT_GT(saved, kFilesPerFormat / 5);
    EXPECT_GT(failed, kFilesPerFormat / 10);
    unsetenv("TMPDIR");
}

std::string FormatName(const ::testing::TestParamInfo<OutputFormat>& info) {
    static const char* const names[] = {"",     "Jpeg", "Png",  "Bmp", "Gif",
                                        "Tiff", "Webp", "Avif", "Heic"};
    return names[FormatNumber(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Formats, HostileFilesFuzz,
                         ::testing::Values(OutputFormat::Jpeg, OutputFormat::Png, OutputFormat::Bmp,
                                           OutputFormat::Gif, OutputFormat::Tiff,
                                           OutputFormat::Webp, OutputFormat::Avif,
                                           OutputFormat::Heic),
                         FormatName);
