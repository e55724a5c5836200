// Damaged WebP, HEIC and AVIF files in a real job (RXWorker on its worker thread): a truncated
// and a bit-flipped file each end as one failed file, the good file beside them is saved, the
// sources stay as they were and nothing is written for the failed ones. The files are made at
// test time by this system's libvips savers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include <QGuiApplication>
#include <boost/filesystem/operations.hpp>

#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/RXWorker.h"
#include "ops/RenameOp.h"
#include "ops/ResizeOp.h"
#include "ops/WatermarkOp.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {

std::string Name(OutputFormat format) {
    const std::wstring w = OutputFormatName(format);
    return std::string(w.begin(), w.end());
}

// What the job reported, file by file.
class Outcomes final : public JobListener {
public:
    void jobStarted(unsigned, unsigned) override {}
    void progressStep(unsigned) override {}
    void fileDone(unsigned) override {}
    void jobFinished(unsigned s, fs::path folder) override {
        std::lock_guard<std::mutex> lock(m);
        saved = s;
        runFolder = std::move(folder);
        finished = true;
    }
    void fileSaved(unsigned index, const fs::path& path) override {
        std::lock_guard<std::mutex> lock(m);
        savedAs[index] = path;
    }
    void fileFailed(unsigned index, const std::string& reason) override {
        std::lock_guard<std::mutex> lock(m);
        failed[index] = reason;
    }

    std::mutex m;
    bool finished = false;
    unsigned saved = 0;
    fs::path runFolder;
    std::map<unsigned, fs::path> savedAs;
    std::map<unsigned, std::string> failed;
};

std::vector<fs::path> FilesBelow(const fs::path& folder) {
    std::vector<fs::path> v;
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it)
        if (fs::is_regular_file(it->status()))
            v.push_back(it->path());
    return v;
}

class PhotoFormatJob : public ::testing::TestWithParam<OutputFormat> {
protected:
    static void SetUpTestSuite() {
        rxtest::EnsureGuiApplication(); // the watermark's text needs fonts
    }

    void SetUp() override {
        if (!rxtest::CanEncode(GetParam()))
            GTEST_SKIP() << "this system's libvips cannot write " << Name(GetParam())
                         << ", so no such file can be made to damage";
        const std::string ext = OutputFormatExtension(GetParam());
        const Bytes good = rxtest::MakeImage(GetParam(), {.width = 96, .height = 64});
        Bytes truncated(good.begin(), good.begin() + long(good.size() / 2));
        // A flipped bit in the coded picture: in the first partition's size of a WebP's VP8
        // frame, at the head of a HEIF's media data (the first unit of the HEVC or AV1 stream).
        Bytes flipped = good;
        const char* tag = GetParam() == OutputFormat::Webp ? "VP8 " : "mdat";
        const auto at = std::search(flipped.begin(), flipped.end(), tag, tag + 4);
        ASSERT_NE(at, flipped.end());
        if (GetParam() == OutputFormat::Webp)
            at[9] ^= 0x80;
        else
            at[5] ^= 0x10;
        fs::create_directories(dir / "in");
        sources = {{dir / "in" / ("good" + ext), good},
                   {dir / "in" / ("truncated" + ext), truncated},
                   {dir / "in" / ("flipped" + ext), flipped}};
        for (const auto& [path, bytes] : sources)
            rxtest::WriteFile(path, bytes);
    }

    // Runs one job over the three files and checks what every job must hold: only the good
    // file (index 0) is saved, the two damaged ones fail, the sources are unchanged.
    void RunJob(const std::array<const Operation*, kOperationCount>& records,
                OutputFormat outputFormat, const std::string& run) {
        SCOPED_TRACE(run);
        RXWorker job;
        for (const auto& source : sources)
            job.AddEntry(source.first, dir / "in");
        Outcomes outcomes;
        job.setListener(&outcomes);
        job.setOutputFolder(dir / "out");
        job.setOutputFormat(outputFormat);
        ASSERT_TRUE(job.Start(OperationSnapshot(records)));
        job.Wait();
        ASSERT_TRUE(outcomes.finished);
        EXPECT_EQ(outcomes.runFolder, dir / "out" / run);
        EXPECT_EQ(outcomes.saved, 1u);
        ASSERT_EQ(outcomes.savedAs.size(), 1u);
        EXPECT_EQ(outcomes.savedAs.begin()->first, 0u) << "the good file";
        EXPECT_EQ(outcomes.failed.size(), 2u);
        EXPECT_EQ(outcomes.failed.count(1), 1u) << "the truncated file";
        EXPECT_EQ(outcomes.failed.count(2), 1u) << "the flipped file";
        for (const auto& [index, reason] : outcomes.failed)
            EXPECT_FALSE(reason.empty()) << index;
        EXPECT_EQ(FilesBelow(outcomes.runFolder),
                  std::vector<fs::path>{outcomes.savedAs.begin()->second})
            << "nothing written for the failed files, no temporary file left";
        for (const auto& [path, bytes] : sources)
            EXPECT_EQ(rxtest::ReadFile(path), bytes) << path;
        saved = outcomes.savedAs.empty() ? fs::path() : outcomes.savedAs.begin()->second;
    }

    rxtest::TempDir dir;
    std::vector<std::pair<fs::path, Bytes>> sources;
    fs::path saved; // the good file's result in the last job
};

} // namespace

TEST_P(PhotoFormatJob, DamagedFilesFailOneByOneInResizeAndWatermarkJobs) {
    ResizeOp resize;
    resize.mode = ResizeOp::Percentage;
    resize.percent = 50;
    RunJob({nullptr, &resize, nullptr, nullptr}, OutputFormat::DontChange, "[resize]");
    EXPECT_EQ(rxtest::Inspect(rxtest::ReadFile(saved)).width, 48);
    // HEIC is written back as HEIC only where an HEVC encoder exists; the test skipped otherwise.
    EXPECT_EQ(saved.extension(), OutputFormatExtension(GetParam()));

    WatermarkOp watermark;
    watermark.text = L"RX";
    RenameOp rename;
    rename.common = L"w";
    RunJob({&watermark, nullptr, nullptr, &rename}, OutputFormat::DontChange,
           "[watermark + rename]");
    EXPECT_EQ(saved.filename().string().substr(0, 1), "w");
}

TEST_P(PhotoFormatJob, DamagedFilesFailOneByOneWhenOnlyConverted) {
    // Rename alone needs no pixels; the conversion does, and finds the damage.
    RenameOp rename;
    rename.common = L"c";
    RunJob({nullptr, nullptr, nullptr, &rename}, OutputFormat::Png, "[rename]");
    EXPECT_EQ(saved.extension(), ".png");
    const OutputFormat target =
        GetParam() == OutputFormat::Webp ? OutputFormat::Avif : OutputFormat::Webp;
    if (rxtest::CanEncode(target)) {
        RunJob({nullptr, nullptr, nullptr, &rename}, target, "[rename] 1");
        EXPECT_EQ(saved.extension(), OutputFormatExtension(target));
        const Bytes out = rxtest::ReadFile(saved);
        EXPECT_EQ(SniffFormat(out.data(), out.size()), target);
    }
}

std::string ParamName(const ::testing::TestParamInfo<OutputFormat>& param) {
    return Name(param.param);
}

INSTANTIATE_TEST_SUITE_P(Formats, PhotoFormatJob,
                         ::testing::Values(OutputFormat::Webp, OutputFormat::Avif,
                                           OutputFormat::Heic),
                         ParamName);
