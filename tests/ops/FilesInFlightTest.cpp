// Several files in flight give exactly the results of one file at a time: the same run folder,
// names, bytes and reports for a mixed job with every operation, name clashes and damaged
// files; a budget of one file works one file at a time; a cancel at any moment leaves only
// complete files, each the one-at-a-time result, and no temporary file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <boost/chrono.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/thread/thread.hpp>

#include "engine/RXWorker.h"
#include "ops/OptimizeOp.h"
#include "ops/RenameOp.h"
#include "ops/ResizeOp.h"
#include "ops/WatermarkOp.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {

// Every report of a job as text, paths relative to the run folder.
class Transcript final : public JobListener {
public:
    void jobStarted(unsigned files, unsigned range) override {
        Add("started " + std::to_string(files) + " " + std::to_string(range));
    }
    void progressStep(unsigned position) override { Add("step " + std::to_string(position)); }
    void fileDone(unsigned done) override { Add("done " + std::to_string(done)); }
    void jobFinished(unsigned saved, fs::path folder) override {
        Add("finished " + std::to_string(saved) + " " + folder.filename().string());
    }
    void runFolderCreated(const fs::path& folder) override {
        std::lock_guard<std::mutex> lock(m_);
        runFolder_ = folder;
        lines_.push_back("run folder " + folder.filename().string());
    }
    void fileSaved(unsigned index, const fs::path& path) override {
        std::lock_guard<std::mutex> lock(m_);
        saved_[index] = path.lexically_relative(runFolder_).string();
        lines_.push_back("saved " + std::to_string(index) + " " + saved_[index]);
    }
    void fileFailed(unsigned index, const std::string& reason) override {
        Add("failed " + std::to_string(index) + " " + reason);
    }

    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> lock(m_);
        return lines_;
    }
    std::map<unsigned, std::string> saved() {
        std::lock_guard<std::mutex> lock(m_);
        return saved_;
    }
    fs::path runFolder() {
        std::lock_guard<std::mutex> lock(m_);
        return runFolder_;
    }

private:
    void Add(std::string line) {
        std::lock_guard<std::mutex> lock(m_);
        lines_.push_back(std::move(line));
    }
    std::mutex m_;
    std::vector<std::string> lines_;
    std::map<unsigned, std::string> saved_;
    fs::path runFolder_;
};

// Relative path -> bytes of every file below the folder.
std::map<std::string, Bytes> Tree(const fs::path& folder) {
    std::map<std::string, Bytes> tree;
    if (!fs::exists(folder))
        return tree;
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it)
        if (fs::is_regular_file(it->status()))
            tree[it->path().lexically_relative(folder).string()] = rxtest::ReadFile(it->path());
    return tree;
}

size_t TempFilesBelow(const fs::path& folder) {
    size_t n = 0;
    if (fs::exists(folder))
        for (fs::recursive_directory_iterator it(folder), end; it != end; ++it)
            if (it->path().filename().string().rfind("RX", 0) == 0 &&
                fs::is_regular_file(it->status()))
                ++n;
    return n;
}

class FilesInFlight : public ::testing::Test {
protected:
    static void SetUpTestSuite() { rxtest::EnsureGuiApplication(); }

    void SetUp() override {
        // The PNG engine's backups go to the temporary folder: this test's own.
        fs::create_directories(dir / "tmp");
        ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
        const OutputFormat formats[] = {OutputFormat::Jpeg, OutputFormat::Png,  OutputFormat::Gif,
                                        OutputFormat::Bmp,  OutputFormat::Tiff, OutputFormat::Webp};
        for (int i = 0; i < 40; ++i) {
            const OutputFormat format = formats[i % 6];
            const fs::path folder = dir / "in" / (i % 3 == 0 ? "b" : "a");
            fs::create_directories(folder);
            const fs::path path =
                folder / ("f" + std::to_string(i) + OutputFormatExtension(format));
            Bytes bytes = rxtest::MakeImage(
                format, {.width = 40 + 3 * i, .height = 30 + 2 * i, .bands = i % 4 == 1 ? 4 : 3});
            if (i == 7 || i == 30) // damaged: a JPEG cut in half, a PNG of garbage after its head
                bytes.resize(bytes.size() / 2);
            if (i == 30)
                for (size_t k = 16; k < bytes.size(); ++k)
                    bytes[k] = static_cast<std::uint8_t>(k * 31);
            rxtest::WriteFile(path, bytes);
            sources.emplace_back(path, bytes);
        }
        watermark.text = L"RX";
        watermark.fontSize = 10;
        resize.mode = ResizeOp::Percentage;
        resize.percent = 75;
        optimize.mode = static_cast<int>(OptimizeMode::Both);
        optimize.quality = 2;
        // A common text too long for a name: the stems are cut before the running number, so
        // the names clash and take " 1", " 2", ... in list order.
        rename.common = std::wstring(300, L'n');
        rename.mode = RenameOp::Prefix;
    }

    void TearDown() override { ::unsetenv("TMPDIR"); }

    OperationSnapshot Operations() const {
        return OperationSnapshot(
            std::array<const Operation*, kOperationCount>{&watermark, &resize, &optimize, &rename});
    }

    void AddFiles(RXWorker& job, size_t count) const {
        for (size_t i = 0; i < count; ++i)
            job.AddEntry(sources[i].first, dir / "in");
    }

    struct Result {
        std::vector<std::string> lines;
        std::map<std::string, Bytes> tree;
    };

    Result RunJob(unsigned inFlight, std::uint64_t budget, OutputFormat format,
                  const std::string& out, RXWorker::PrepareHook hook = {}) {
        RXWorker job;
        AddFiles(job, sources.size());
        Transcript transcript;
        job.setListener(&transcript);
        job.setOutputFolder(dir / out);
        job.setOutputFormat(format);
        job.setFilesInFlight(inFlight);
        job.setMemoryBudget(budget);
        job.setPrepareHook(std::move(hook));
        EXPECT_TRUE(job.Start(Operations()));
        job.Wait();
        return {transcript.lines(), Tree(dir / out)};
    }

    void ExpectSourcesUnchanged() const {
        for (const auto& [path, bytes] : sources)
            EXPECT_EQ(rxtest::ReadFile(path), bytes) << path;
    }

    rxtest::TempDir dir;
    std::vector<std::pair<fs::path, Bytes>> sources;
    WatermarkOp watermark;
    ResizeOp resize;
    OptimizeOp optimize;
    RenameOp rename;
};

// A delay that differs from file to file and is the same in every run.
void DelayFor(size_t index) {
    boost::this_thread::sleep_for(boost::chrono::microseconds((index * 2654435761u) % 4000));
}

} // namespace

TEST_F(FilesInFlight, FourAtOnceGiveTheSameTreeAndReportsAsOneAtATime) {
    const Result one = RunJob(1, 0, OutputFormat::DontChange, "one");
    std::mutex m;
    size_t mostOthers = 0;
    const Result four =
        RunJob(4, 0, OutputFormat::DontChange, "four", [&](size_t i, size_t others) {
            {
                std::lock_guard<std::mutex> lock(m);
                mostOthers = std::max(mostOthers, others);
            }
            DelayFor(i);
        });
    EXPECT_GE(mostOthers, 1u) << "files were in flight together";

    ASSERT_EQ(one.tree.size(), 38u) << "every file but the two damaged ones";
    EXPECT_EQ(four.lines, one.lines);
    ASSERT_EQ(four.tree.size(), one.tree.size());
    for (const auto& [name, bytes] : one.tree) {
        const auto it = four.tree.find(name);
        ASSERT_NE(it, four.tree.end()) << name;
        EXPECT_TRUE(it->second == bytes) << name;
    }
    // The clashing names were numbered in list order.
    size_t numbered = 0;
    for (const auto& [name, bytes] : one.tree)
        numbered += name.find(" 1.") != std::string::npos;
    EXPECT_GE(numbered, 2u);
    size_t failed = 0;
    for (const std::string& line : one.lines)
        failed += line.rfind("failed ", 0) == 0;
    EXPECT_EQ(failed, 2u);
    EXPECT_EQ(TempFilesBelow(dir.path()), 0u);
    ExpectSourcesUnchanged();
}

TEST_F(FilesInFlight, BudgetOfOneFileWorksOneFileAtATime) {
    const Result one = RunJob(1, 0, OutputFormat::Png, "one");
    std::atomic<size_t> mostOthers{0};
    const Result tight = RunJob(4, 1, OutputFormat::Png, "tight", [&](size_t i, size_t others) {
        size_t seen = mostOthers;
        while (others > seen && !mostOthers.compare_exchange_weak(seen, others))
            ;
        DelayFor(i);
    });
    EXPECT_EQ(mostOthers.load(), 0u) << "no file started before the one ahead was saved";
    EXPECT_EQ(tight.lines, one.lines);
    EXPECT_TRUE(tight.tree == one.tree);
    EXPECT_EQ(one.tree.size(), 38u);
}

TEST_F(FilesInFlight, CancelAtAnyMomentLeavesOnlyCompleteFilesInOrder) {
    constexpr size_t files = 8;
    // The one-at-a-time results of the first files, in list order.
    RXWorker reference;
    AddFiles(reference, files);
    Transcript refTranscript;
    reference.setListener(&refTranscript);
    reference.setOutputFolder(dir / "ref");
    reference.setFilesInFlight(1);
    const auto begun = boost::chrono::steady_clock::now();
    ASSERT_TRUE(reference.Start(Operations()));
    reference.Wait();
    const auto took = boost::chrono::duration_cast<boost::chrono::microseconds>(
        boost::chrono::steady_clock::now() - begun);
    const std::map<unsigned, std::string> refSaved = refTranscript.saved();
    const std::map<std::string, Bytes> refTree = Tree(refTranscript.runFolder());
    ASSERT_EQ(refTree.size(), 7u);

    std::mt19937 random(2026);
    std::uniform_int_distribution<long> when(0, static_cast<long>(took.count() * 6 / 5));
    size_t partial = 0;
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const fs::path out = dir / ("c" + std::to_string(round));
        RXWorker job;
        AddFiles(job, files);
        Transcript transcript;
        job.setListener(&transcript);
        job.setOutputFolder(out);
        job.setFilesInFlight(4);
        ASSERT_TRUE(job.Start(Operations()));
        boost::this_thread::sleep_for(boost::chrono::microseconds(when(random)));
        job.Cancel();
        ASSERT_FALSE(job.IsRunning());

        const std::map<unsigned, std::string> saved = transcript.saved();
        const fs::path runFolder = transcript.runFolder();
        const std::map<std::string, Bytes> tree =
            runFolder.empty() ? std::map<std::string, Bytes>() : Tree(runFolder);
        // What is on disk is exactly what was reported saved, a run of the list from its start,
        // each file byte for byte the one-at-a-time result.
        ASSERT_EQ(tree.size(), saved.size());
        unsigned expected = 0;
        for (const auto& [index, name] : saved) {
            while (expected < index && refSaved.count(expected) == 0)
                ++expected; // a damaged file: not saved in the reference either
            EXPECT_EQ(index, expected) << "saved in list order";
            ++expected;
            const auto ref = refTree.find(name);
            ASSERT_NE(ref, refTree.end()) << name;
            const auto it = tree.find(name);
            ASSERT_NE(it, tree.end()) << name;
            EXPECT_TRUE(it->second == ref->second) << name;
        }
        partial += saved.size() > 0 && saved.size() < refSaved.size();
        EXPECT_EQ(TempFilesBelow(out), 0u);
        EXPECT_EQ(TempFilesBelow(dir / "tmp"), 0u);
        fs::remove_all(out);
    }
    EXPECT_GT(partial, 0u) << "some cancels came in the middle of the job";
    ExpectSourcesUnchanged();
}
