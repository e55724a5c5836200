// A job works on copies of the four records taken at START: editing every record while the job
// runs changes nothing of what it writes.
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>

#include <boost/filesystem/operations.hpp>

#include "engine/RXWorker.h"
#include "presets/OperationSet.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {

// Holds the worker at job started until released; keeps the run folder.
class Held final : public JobListener {
public:
    void jobStarted(unsigned, unsigned) override {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return released_; });
    }
    void progressStep(unsigned) override {}
    void fileDone(unsigned) override {}
    void jobFinished(unsigned s, fs::path folder) override {
        saved = s;
        runFolder = std::move(folder);
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_);
        released_ = true;
        cv_.notify_all();
    }
    unsigned saved = 0;
    fs::path runFolder;

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool released_ = false;
};

void SetUp(OperationSet& ops) {
    ops.on = {true, true, true, true};
    ops.watermark.text = L"Before";
    ops.watermark.fontSize = 20;
    ops.watermark.positionX = 0.5f;
    ops.watermark.positionY = 0.5f;
    ops.resize.mode = ResizeOp::Width;
    ops.resize.width = 40;
    ops.optimize.mode = static_cast<int>(OptimizeMode::Both);
    ops.optimize.quality = 3;
    ops.rename.common = L"before";
    ops.rename.digits = 2;
}

// Every file of the run folder, by name.
std::map<std::string, rx::Bytes> Outputs(const fs::path& folder) {
    std::map<std::string, rx::Bytes> files;
    for (fs::directory_iterator it(folder), end; it != end; ++it)
        files[it->path().filename().string()] = rxtest::ReadFile(it->path());
    return files;
}

std::map<std::string, rx::Bytes> RunJob(const rxtest::TempDir& dir, const std::string& out,
                                        bool editDuringJob) {
    OperationSet ops;
    SetUp(ops);
    RXWorker worker(&ops);
    for (int i = 0; i < 3; ++i)
        worker.AddEntry(dir / ("in/f" + std::to_string(i) + ".jpg"), dir / "in");
    worker.setOutputFolder(dir / out);
    Held held;
    worker.setListener(&held);
    EXPECT_TRUE(worker.Start());
    if (editDuringJob) {
        ops.watermark.text = L"After";
        ops.watermark.alpha = 30;
        ops.watermark.positionX = 0.0f;
        ops.resize.width = 20;
        ops.optimize.quality = 5;
        ops.rename.common = L"after";
        ops.rename.startWith = 7;
        ops.on = {false, false, false, false};
    }
    held.Release();
    worker.Wait();
    EXPECT_EQ(held.saved, 3u);
    return Outputs(held.runFolder);
}

} // namespace

TEST(JobSnapshot, EditingEveryRecordDuringTheJobChangesNoOutput) {
    rxtest::EnsureGuiApplication(); // fonts for the text watermark
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    for (int i = 0; i < 3; ++i)
        rxtest::WriteFile(dir / ("in/f" + std::to_string(i) + ".jpg"),
                          rxtest::MakeImage(OutputFormat::Jpeg, {.width = 120, .height = 80}));
    const auto untouched = RunJob(dir, "a", false);
    const auto edited = RunJob(dir, "b", true);
    ASSERT_EQ(untouched.size(), 3u);
    EXPECT_EQ(untouched.begin()->first, "before01.jpg");
    EXPECT_EQ(rxtest::Inspect(untouched.begin()->second).width, 40);
    EXPECT_TRUE(edited == untouched) << "the edits reached the running job";
}
