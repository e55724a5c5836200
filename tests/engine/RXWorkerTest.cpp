#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <boost/filesystem/operations.hpp>

#include "engine/ImageFile.h"
#include "engine/MessageBox.h"
#include "engine/RXWorker.h"
#include "engine/Text.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;
using namespace std::chrono_literals;

namespace {

struct Msg {
    JobMessage id;
    unsigned w;
    unsigned l;
    bool operator==(const Msg& o) const { return id == o.id && w == o.w && l == o.l; }
};

// Records every event on the worker thread.
class Recorder final : public JobListener {
public:
    std::mutex m;
    std::vector<Msg> posted;
    bool finished = false;
    unsigned saved = 0;
    std::wstring runFolder;
    std::vector<unsigned> generations;

    void jobStarted(unsigned files, unsigned range) override {
        Add({JobMessage::JobStarted, files, range});
    }
    void progressStep(unsigned position) override { Add({JobMessage::ProgressStep, position, 0}); }
    void fileDone(unsigned done) override { Add({JobMessage::FileDone, done, 0}); }
    void jobFinished(unsigned s, boost::filesystem::path folder) override {
        std::lock_guard<std::mutex> lock(m);
        finished = true;
        saved = s;
        runFolder = PathText(folder);
    }
    void generationChanged(unsigned g) override { generations.push_back(g); }
    std::vector<Msg> Messages() {
        std::lock_guard<std::mutex> lock(m);
        return posted;
    }

private:
    void Add(const Msg& msg) {
        std::lock_guard<std::mutex> lock(m);
        posted.push_back(msg);
    }
};

// Holds the worker inside the operations of one file until it is cancelled.
// Copies share the flag, so the test sees what the job's copy does.
class Gate final : public Operation {
public:
    int blockIndex = -1;
    std::shared_ptr<std::atomic<bool>> entered = std::make_shared<std::atomic<bool>>(false);
    void apply(ImageFile& f) override {
        if (f.index() != blockIndex)
            return;
        *entered = true;
        for (;;)
            boost::this_thread::sleep_for(boost::chrono::milliseconds(1)); // interruption point
    }
    int type() const override { return KindRename; }
    std::unique_ptr<Operation> clone() const override { return std::make_unique<Gate>(*this); }
    void load(const boost::property_tree::wptree&) override {}
    void save(boost::property_tree::wptree&) const override {}
};

class Renamer final : public Operation {
public:
    std::string prefix = "r";
    void apply(ImageFile& f) override {
        if (f.index() >= 0)
            f.setName(prefix + std::to_string(f.index()) + f.name().extension().string());
    }
    int type() const override { return KindRename; }
    std::unique_ptr<Operation> clone() const override { return std::make_unique<Renamer>(*this); }
    void load(const boost::property_tree::wptree&) override {}
    void save(boost::property_tree::wptree&) const override {}
};

struct Job {
    rxtest::TempDir dir;
    Recorder rec;
    RXWorker worker;
    explicit Job(int files) {
        fs::create_directories(dir / "in");
        for (int i = 0; i < files; ++i) {
            const fs::path p = dir / "in" / ("f" + std::to_string(i) + ".png");
            rxtest::WriteFile(p, rxtest::MakeImage(OutputFormat::Png, {.width = 8, .height = 8}));
            worker.AddEntry(p, dir / "in");
        }
        worker.setListener(&rec);
        worker.setOutputFolder(dir / "out");
    }
};

std::vector<Msg> Expected(std::vector<unsigned> steps,
                          std::vector<std::pair<size_t, unsigned>> doneAfter, unsigned n) {
    std::vector<Msg> v{{JobMessage::JobStarted, n, n * 4}};
    for (size_t k = 0; k < steps.size(); ++k) {
        v.push_back({JobMessage::ProgressStep, steps[k], 0});
        for (auto [at, done] : doneAfter)
            if (at == k)
                v.push_back({JobMessage::FileDone, done, 0});
    }
    return v;
}

size_t ThreadCount() {
    size_t n = 0;
    for (fs::directory_iterator it("/proc/self/task"), end; it != end; ++it)
        ++n;
    return n;
}

} // namespace

TEST(RXWorker, ThreeFilesGiveTheFullMessageSequence) {
    Job job(3);
    ASSERT_TRUE(job.worker.Start({}));
    job.worker.Wait();
    EXPECT_EQ(job.rec.Messages(),
              Expected({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {{3, 1}, {7, 2}, {11, 3}}, 3));
    EXPECT_TRUE(job.rec.finished);
    EXPECT_EQ(job.rec.saved, 3u);
    EXPECT_EQ(job.rec.runFolder, PathText(job.dir / "out" / "[]"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rxtest::ReadFile(job.dir / "out" / "[]" / ("f" + std::to_string(i) + ".png")),
                  rxtest::ReadFile(job.dir / "in" / ("f" + std::to_string(i) + ".png")));
}

TEST(RXWorker, ADeletedSourceFailsOnlyThatFile) {
    Job job(3);
    fs::remove(job.dir / "in" / "f1.png");
    job.worker.Start({});
    job.worker.Wait();
    EXPECT_EQ(job.rec.Messages(),
              Expected({0, 1, 2, 3, 8, 8, 9, 10, 11}, {{3, 1}, {4, 2}, {8, 3}}, 3));
    EXPECT_EQ(job.rec.saved, 2u);
    EXPECT_FALSE(fs::exists(job.dir / "out" / "[]" / "f1.png"));
}

TEST(RXWorker, CancelKeepsSavedFilesAndLeavesNothingOfTheFileInHand) {
    Job job(3);
    Renamer rename;
    Gate gate;
    gate.blockIndex = 1;
    ASSERT_TRUE(job.worker.Start(OperationSnapshot({nullptr, nullptr, &gate, &rename})));
    // The second file is in hand and the first has been saved (with several files in flight
    // the first may still be on its way when the second enters the gate).
    const auto firstDone = [&] {
        for (const Msg& m : job.rec.Messages())
            if (m.id == JobMessage::FileDone && m.w == 1)
                return true;
        return false;
    };
    while (!*gate.entered || !firstDone())
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(job.worker.Cancel());
    EXPECT_FALSE(job.rec.finished);
    const fs::path run = job.dir / "out" / "[optimize + rename]";
    std::vector<std::string> names;
    for (fs::directory_iterator it(run), end; it != end; ++it)
        names.push_back(it->path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"r0.png"});
    EXPECT_EQ(rxtest::ReadFile(run / "r0.png"), rxtest::ReadFile(job.dir / "in" / "f0.png"));
    EXPECT_EQ(job.worker.files().size(), 3u) << "the list is kept after a cancel";
    EXPECT_FALSE(job.worker.IsRunning());
}

TEST(RXWorker, AFolderThatCannotBeCreatedStopsTheJobWithOneMessage) {
    Job job(2);
    rxtest::WriteFile(job.dir / "file", {1});
    job.worker.setOutputFolder(job.dir / "file" / "sub");
    std::vector<std::wstring> shown;
    auto previous = SetMessageBoxHandler(
        [&](const std::wstring& text, const std::wstring& caption, unsigned style) {
            shown.push_back(caption + L"|" + text);
            EXPECT_EQ(style, MB_OK | MB_ICONEXCLAMATION);
            return IDOK;
        });
    job.worker.Start({});
    job.worker.Wait();
    SetMessageBoxHandler(previous);
    // The message names the path the file system refused; job finished names the run folder.
    const std::wstring failed = PathText(job.dir / "file" / "sub" / "[]");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], L"Error|Failed to create directory " + PathText(job.dir / "file" / "sub") +
                            L". Further processing will be stopped. Make sure you have write "
                            L"access rights and there is enough disk space.");
    EXPECT_EQ(job.rec.Messages(), Expected({}, {}, 2)) << "no file processed";
    EXPECT_TRUE(job.rec.finished);
    EXPECT_EQ(job.rec.saved, 0u);
    EXPECT_EQ(job.rec.runFolder, failed);
}

TEST(RXWorker, CancelNeverHangsOnSlowOrPendingOwnerCalls) {
    // Warm up once so that library threads started on first use are not counted as leaks.
    {
        Job warm(1);
        warm.worker.Start({});
        warm.worker.Wait();
    }
    const size_t threads = ThreadCount();
    auto previous = SetMessageBoxHandler([](const std::wstring&, const std::wstring&, unsigned) {
        std::this_thread::sleep_for(2ms);
        return IDOK;
    });
    Job job(2);
    rxtest::WriteFile(job.dir / "blocker", {1});
    int finishedJobs = 0;
    for (int round = 0; round < 240; ++round) {
        // Half the rounds end at the "Failed to create directory" message, half at job finished.
        job.worker.setOutputFolder(round % 2 ? job.dir / "blocker" / "x" : job.dir / "out");
        job.rec.finished = false;
        job.worker.Start({});
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::microseconds(round * 37 % 3000);
        while (std::chrono::steady_clock::now() < until)
            if (round % 3 == 0)
                job.worker.RunPendingCalls(); // sometimes the owner lets a call through first
        EXPECT_TRUE(job.worker.Cancel());
        EXPECT_FALSE(job.worker.IsRunning());
        if (job.rec.finished) {
            // Job finished comes only after the last file, so a cancel that did not stop it
            // came too late to cost a file: both were saved, or none at the message box.
            ++finishedJobs;
            EXPECT_EQ(job.rec.saved, round % 2 ? 0u : 2u) << "round " << round;
            EXPECT_FALSE(job.rec.runFolder.empty()) << "round " << round;
        }
    }
    SetMessageBoxHandler(previous);
    // A leaked worker per round would add hundreds; the imaging library may grow its own pool
    // by a few threads on first use of a code path.
    EXPECT_LE(ThreadCount(), threads + 4);
    RecordProperty("finishedBeforeCancel", finishedJobs);
}

TEST(RXWorker, EntriesPreviewAndClear) {
    Job job(3);
    EXPECT_TRUE(job.worker.AddEntry(job.dir / "in" / "f1.png", "/elsewhere"));
    EXPECT_EQ(job.worker.files().size(), 3u);
    EXPECT_TRUE(job.worker.HasSingleBase());
    EXPECT_EQ(job.worker.ProposedOutputFolder(), job.dir / "in");
    EXPECT_EQ(job.worker.outputFolder(), job.dir / "in");

    auto first = job.worker.RenderPrevious({});
    EXPECT_EQ(job.worker.previewIndex(), 2);
    EXPECT_TRUE(first->IsValid());
    job.worker.RenderNext({});
    EXPECT_EQ(job.worker.previewIndex(), 0);
    Renamer rename;
    auto shown = job.worker.RenderCurrent(OperationSnapshot({nullptr, nullptr, nullptr, &rename}));
    EXPECT_TRUE(shown->IsValid());

    size_t reported = 99;
    job.worker.setListChanged([&](size_t n) { reported = n; });
    job.worker.Clear();
    EXPECT_EQ(reported, 0u);
    EXPECT_TRUE(job.worker.files().empty());
    EXPECT_FALSE(job.worker.RenderNext({})->IsValid());
    EXPECT_FALSE(job.worker.RenderPrevious({})->IsValid());
    EXPECT_FALSE(job.worker.RenderCurrent({})->IsValid());
    EXPECT_EQ(job.worker.previewIndex(), 0);
}

TEST(RXWorker, FoldersWithTheSameNameShareTheirTargetAndNumberNames) {
    Job job(0);
    for (const char* d : {"D/X", "E/X"}) {
        fs::create_directories(job.dir / d);
        rxtest::WriteFile(job.dir / d / "a.png", rxtest::MakeImage(OutputFormat::Png));
        job.worker.AddEntry(job.dir / d / "a.png", job.dir / d);
    }
    EXPECT_FALSE(job.worker.HasSingleBase());
    job.worker.Start({});
    job.worker.Wait();
    EXPECT_EQ(job.rec.saved, 2u);
    EXPECT_TRUE(fs::exists(job.dir / "out" / "[]" / "X" / "a.png"));
    EXPECT_TRUE(fs::exists(job.dir / "out" / "[]" / "X" / "a 1.png"));
}

namespace {

// A source with one record in the Rename slot.
class OneRecord final : public OperationSource {
public:
    explicit OneRecord(const Operation& op) : op_(op) {}
    const Operation* ReadyOperation(int slot) const override {
        return slot == KindRename ? &op_ : nullptr;
    }

private:
    const Operation& op_;
};

// Holds the worker at its first event until released, so the owner acts while the job runs.
class HeldRecorder final : public JobListener {
public:
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    bool finished = false;
    void jobStarted(unsigned, unsigned) override {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return released; });
    }
    void progressStep(unsigned) override {}
    void fileDone(unsigned) override {}
    void jobFinished(unsigned, boost::filesystem::path) override { finished = true; }
    void Release() {
        std::lock_guard<std::mutex> lock(m);
        released = true;
        cv.notify_all();
    }
};

// Counts its applications in what it caches; copies hand the count on through adoptCache.
class Counting final : public Operation {
public:
    int cached = 0;
    std::shared_ptr<std::vector<int>> seen = std::make_shared<std::vector<int>>();
    void apply(ImageFile&) override { seen->push_back(cached++); }
    int type() const override { return KindResize; }
    void load(const boost::property_tree::wptree&) override {}
    void save(boost::property_tree::wptree&) const override {}
    std::unique_ptr<Operation> clone() const override { return std::make_unique<Counting>(*this); }
    void adoptCache(Operation& earlier) override {
        cached = static_cast<Counting&>(earlier).cached;
    }
};

} // namespace

TEST(RXWorker, EditsAfterStartDoNotReachTheJob) {
    Job job(3);
    Renamer rename;
    rename.prefix = "before";
    OneRecord source(rename);
    HeldRecorder held;
    job.worker.setOperationSource(&source);
    job.worker.setListener(&held);
    ASSERT_TRUE(job.worker.Start());
    rename.prefix = "after"; // the panel is edited while the job waits at its first event
    held.Release();
    job.worker.Wait();
    EXPECT_TRUE(held.finished);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(
            fs::exists(job.dir / "out" / "[rename]" / ("before" + std::to_string(i) + ".png")))
            << i;
    EXPECT_FALSE(fs::exists(job.dir / "out" / "[rename]" / "after0.png"));
}

TEST(RXWorker, StartIsRefusedWhileAJobRuns) {
    Job job(2);
    Gate gate;
    gate.blockIndex = 0;
    ASSERT_TRUE(job.worker.Start(OperationSnapshot({nullptr, nullptr, nullptr, &gate})));
    const unsigned generation = job.worker.generation();
    EXPECT_EQ(job.rec.generations, std::vector<unsigned>{generation});
    while (!*gate.entered)
        std::this_thread::sleep_for(1ms);
    Renamer rename;
    EXPECT_FALSE(job.worker.Start(OperationSnapshot({nullptr, nullptr, nullptr, &rename})));
    EXPECT_FALSE(job.worker.Start());
    EXPECT_EQ(job.worker.generation(), generation) << "a refused start changes nothing";
    EXPECT_TRUE(job.worker.IsRunning());
    EXPECT_TRUE(job.worker.Cancel());
    EXPECT_EQ(job.worker.generation(), generation + 1);
    EXPECT_EQ(job.rec.generations, (std::vector<unsigned>{generation, generation + 1}));
    EXPECT_FALSE(fs::exists(job.dir / "out" / "[rename]" / "r0.png"));
    // Once the job has ended a new one starts.
    EXPECT_TRUE(job.worker.Start(OperationSnapshot({nullptr, nullptr, nullptr, &rename})));
    job.worker.Wait();
    EXPECT_TRUE(job.rec.finished);
    EXPECT_EQ(job.rec.saved, 2u);
    EXPECT_TRUE(fs::exists(fs::path(Narrow(job.rec.runFolder)) / "r1.png"));
}

TEST(RXWorker, PreviewCopiesKeepWhatTheLastRenderCached) {
    Job job(2);
    Counting record;
    const OperationSnapshot fresh({nullptr, &record, nullptr, nullptr});
    job.worker.RenderCurrent(fresh);
    job.worker.RenderNext(fresh);
    job.worker.RenderPrevious(fresh);
    EXPECT_EQ(*record.seen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(record.cached, 0) << "the record itself is never touched by a render";
}
