// The preview's renderer thread and its mailbox, and the renderer that runs on it.
#include "app/PreviewRenderer.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "engine/DebugLog.h"
#include "ops/ResizeOp.h"
#include "tests/support/TestImages.h"
#include "tests/ui/QtTestApp.h"

using namespace rx;

namespace {

// A gate a task waits at until the test opens it, and that tells when a task has arrived.
class Gate {
public:
    void Arrive() {
        std::unique_lock<std::mutex> lock(m_);
        ++arrived_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    bool WaitArrived(int n) {
        std::unique_lock<std::mutex> lock(m_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return arrived_ >= n; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable changed_;
    int arrived_ = 0;
    bool open_ = false;
};

// Records in order, from any thread.
class Recorder {
public:
    void Add(int v) {
        std::lock_guard<std::mutex> lock(m_);
        values_.push_back(v);
        changed_.notify_all();
    }
    bool WaitCount(size_t n) {
        std::unique_lock<std::mutex> lock(m_);
        return changed_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return values_.size() >= n; });
    }
    std::vector<int> values() {
        std::lock_guard<std::mutex> lock(m_);
        return values_;
    }

private:
    std::mutex m_;
    std::condition_variable changed_;
    std::vector<int> values_;
};

TEST(PreviewThread, TasksPostedDuringARunLeaveOnlyTheLatest) {
    Gate gate;
    Recorder ran;
    preview_thread thread;
    thread.Post([&] {
        gate.Arrive();
        ran.Add(1);
    });
    ASSERT_TRUE(gate.WaitArrived(1));
    for (int i = 2; i <= 5; ++i)
        thread.Post([&ran, i] { ran.Add(i); });
    gate.Open();
    ASSERT_TRUE(ran.WaitCount(2));
    // Nothing else is waiting: a later post runs next.
    thread.Post([&] { ran.Add(6); });
    ASSERT_TRUE(ran.WaitCount(3));
    EXPECT_EQ(ran.values(), (std::vector<int>{1, 5, 6}));
}

TEST(PreviewThread, AFailingTaskEndsOnlyItselfWithALogLine) {
    std::mutex logMutex;
    std::wstring log;
    const DebugLogSink previous = SetDebugLogSink([&](const std::wstring& line) {
        std::lock_guard<std::mutex> lock(logMutex);
        log += line;
    });
    Recorder ran;
    {
        preview_thread thread;
        thread.Post([] { throw std::runtime_error("broken file"); });
        // Waits until the failing task is done, so the next post does not replace it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return thread.completed() == 1; }, 20000));
        thread.Post([&] { ran.Add(1); });
        ASSERT_TRUE(ran.WaitCount(1));
    }
    SetDebugLogSink(previous);
    EXPECT_NE(log.find(L"broken file"), std::wstring::npos) << std::string(log.begin(), log.end());
}

TEST(PreviewThread, RunsAtTheLowestNormalPriority) {
    Recorder seen;
    preview_thread thread;
    thread.Post([&] {
        seen.Add(sched_getscheduler(0));
        seen.Add(getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid))));
    });
    ASSERT_TRUE(seen.WaitCount(2));
    // Still scheduled with the others (an idle-class thread would starve on a busy machine),
    // but below every normal thread.
    EXPECT_EQ(seen.values()[0], SCHED_OTHER);
    EXPECT_EQ(seen.values()[1], 19);

    // Asked to, it keeps the creating thread's priority.
    Recorder kept;
    preview_thread inherited(RenderPriority::Inherited);
    inherited.Post(
        [&] { kept.Add(getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)))); });
    ASSERT_TRUE(kept.WaitCount(1));
    EXPECT_EQ(kept.values()[0],
              getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid))));
}

TEST(PreviewThread, DestructionInterruptsTheRunningTaskAndDropsTheWaitingOne) {
    std::atomic<bool> interrupted{false}, waitingRan{false};
    Gate started;
    {
        preview_thread thread;
        thread.Post([&] {
            boost::mutex m;
            boost::condition_variable never;
            boost::unique_lock<boost::mutex> lock(m);
            try {
                started.Open();
                started.Arrive();
                for (;;)
                    never.wait(lock); // an interruption point
            } catch (const boost::thread_interrupted&) {
                interrupted = true;
                throw;
            }
        });
        ASSERT_TRUE(started.WaitArrived(1));
        thread.Post([&] { waitingRan = true; });
    }
    EXPECT_TRUE(interrupted);
    EXPECT_FALSE(waitingRan);
}

class PreviewRendererTest : public ::testing::Test {
protected:
    // A list of n entries named "0", "1", ...
    static PreviewFiles Files(int n) {
        auto files = std::make_shared<std::vector<FileEntry>>();
        for (int i = 0; i < n; ++i)
            files->push_back({"base", std::to_string(i)});
        return files;
    }
    static OperationSnapshot NoOperations() { return OperationSnapshot(); }
    // Copies of a Resize record in its slot.
    static OperationSnapshot WithResize(const ResizeOp& resize) {
        return OperationSnapshot(std::array<const Operation*, kOperationCount>{nullptr, &resize});
    }
    // Waits until the handler has had n results.
    bool WaitResults(size_t n) {
        return QTest::qWaitFor([&] { return results.size() >= n; }, 20000);
    }
    // A render that makes a 10 x 10 image of the entry's number as its grey level.
    static std::unique_ptr<Bitmap> Numbered(const FileEntry& entry, const OperationList&) {
        QImage image(10, 10, QImage::Format_RGB888);
        image.fill(QColor(std::stoi(entry.file.string()), 0, 0));
        return Bitmap::FromImage(image);
    }
    void Handle(const PreviewResult& r) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        results.push_back(r);
    }

    TestAppGuard app_;
    std::vector<PreviewResult> results;
    const QSize screen{1280, 1024};
};

TEST_F(PreviewRendererTest, StepsWrapAroundTheListAndTheIndexComesWithTheResult) {
    PreviewRenderer renderer([this](const PreviewResult& r) { Handle(r); }, &Numbered);
    const PreviewFiles three = Files(3);
    const PreviewStep steps[] = {PreviewStep::Current, PreviewStep::Previous, PreviewStep::Next,
                                 PreviewStep::Next,    PreviewStep::Next,     PreviewStep::Next};
    const int expected[] = {0, 2, 0, 1, 2, 0};
    for (size_t i = 0; i < std::size(steps); ++i) {
        ASSERT_TRUE(renderer.Request(steps[i], three, NoOperations(), screen));
        ASSERT_TRUE(WaitResults(i + 1));
        EXPECT_EQ(results[i].index, expected[i]) << i;
        EXPECT_EQ(results[i].count, 3);
        EXPECT_EQ(qRed(results[i].image.pixel(0, 0)), expected[i]) << "the file rendered";
    }
    // The list shrank to one file: the index stays inside it and steps stay on it.
    const PreviewFiles one = Files(1);
    for (PreviewStep step : {PreviewStep::Current, PreviewStep::Next, PreviewStep::Previous}) {
        ASSERT_TRUE(renderer.Request(step, one, NoOperations(), screen));
        ASSERT_TRUE(WaitResults(results.size() + 1));
        EXPECT_EQ(results.back().index, 0);
        EXPECT_EQ(results.back().count, 1);
    }
}

TEST_F(PreviewRendererTest, AnEmptyListIsNeverRendered) {
    std::atomic<int> calls{0};
    PreviewRenderer renderer([this](const PreviewResult& r) { Handle(r); },
                             [&](const FileEntry& e, const OperationList& ops) {
                                 ++calls;
                                 return Numbered(e, ops);
                             });
    EXPECT_FALSE(renderer.Request(PreviewStep::Next, Files(0), NoOperations(), screen));
    EXPECT_FALSE(renderer.Request(PreviewStep::Current, nullptr, NoOperations(), screen));
    // A later real request shows that nothing ran before it.
    ASSERT_TRUE(renderer.Request(PreviewStep::Current, Files(2), NoOperations(), screen));
    ASSERT_TRUE(WaitResults(1));
    EXPECT_EQ(calls, 1);
}

TEST_F(PreviewRendererTest, AFailedRenderIsDeliveredWithoutImageAndTheNextWorks) {
    PreviewRenderer renderer([this](const PreviewResult& r) { Handle(r); },
                             [](const FileEntry& e, const OperationList& ops) {
                                 if (e.file == "1")
                                     throw std::runtime_error("cannot read");
                                 if (e.file == "2")
                                     return std::make_unique<Bitmap>(); // invalid
                                 return Numbered(e, ops);
                             });
    const PreviewFiles files = Files(3);
    for (PreviewStep step : {PreviewStep::Next, PreviewStep::Next, PreviewStep::Next}) {
        ASSERT_TRUE(renderer.Request(step, files, NoOperations(), screen));
        ASSERT_TRUE(WaitResults(results.size() + 1));
    }
    for (int i : {0, 1}) {
        EXPECT_EQ(results[size_t(i)].width, 0);
        EXPECT_EQ(results[size_t(i)].height, 0);
        EXPECT_TRUE(results[size_t(i)].image.isNull());
    }
    EXPECT_EQ(results[2].index, 0);
    EXPECT_EQ(results[2].width, 10);
}

TEST_F(PreviewRendererTest, TwoChangesDuringARenderGiveOneMoreRenderForTheLaterSettings) {
    Gate gate;
    std::mutex m;
    std::vector<unsigned> widths;
    PreviewRenderer renderer([this](const PreviewResult& r) { Handle(r); },
                             [&](const FileEntry& e, const OperationList& ops) {
                                 size_t n;
                                 {
                                     std::lock_guard<std::mutex> lock(m);
                                     widths.push_back(static_cast<ResizeOp*>(ops[1])->width);
                                     n = widths.size();
                                 }
                                 if (n == 1)
                                     gate.Arrive();
                                 return Numbered(e, ops);
                             });
    ResizeOp panel;
    const PreviewFiles files = Files(1);
    const auto request = [&](unsigned width) {
        panel.width = width;
        ASSERT_TRUE(renderer.Request(PreviewStep::Current, files, WithResize(panel), screen));
    };
    request(100);
    ASSERT_TRUE(gate.WaitArrived(1));
    request(200);
    request(300);
    // The records were copied when asked: the panel may change on.
    panel.width = 999;
    EXPECT_FALSE(renderer.idle());
    gate.Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return renderer.idle(); }, 20000));
    EXPECT_EQ(renderer.requested(), 3);
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(widths, (std::vector<unsigned>{100, 300}));
    EXPECT_EQ(results.size(), 2u);
}

TEST_F(PreviewRendererTest, AResultLargerThanTheScreenIsReducedButKeepsItsSize) {
    EXPECT_EQ(PreviewRenderer::ScreenSize(4000, 3000, QSize(1280, 1024)), QSize(1280, 960));
    EXPECT_EQ(PreviewRenderer::ScreenSize(3000, 4000, QSize(1280, 1024)), QSize(768, 1024));
    EXPECT_EQ(PreviewRenderer::ScreenSize(800, 600, QSize(1280, 1024)), QSize(800, 600));
    // Rounded to the nearest pixel, never to nothing.
    EXPECT_EQ(PreviewRenderer::ScreenSize(3, 2000, QSize(1280, 1000)), QSize(2, 1000));
    EXPECT_EQ(PreviewRenderer::ScreenSize(10000, 1, QSize(100, 100)), QSize(100, 1));

    // A real file, through the loading and the operations of the job.
    rxtest::TempDir dir;
    rxtest::ImageSpec spec;
    spec.width = 400;
    spec.height = 300;
    rxtest::WriteFile(dir / "photo.jpg", rxtest::MakeImage(OutputFormat::Jpeg, spec));
    auto files = std::make_shared<std::vector<FileEntry>>();
    files->push_back({dir.path(), dir / "photo.jpg"});
    PreviewRenderer renderer([this](const PreviewResult& r) { Handle(r); });
    ASSERT_TRUE(renderer.Request(PreviewStep::Current, files, NoOperations(), QSize(200, 200)));
    ASSERT_TRUE(WaitResults(1));
    EXPECT_EQ(results[0].width, 400);
    EXPECT_EQ(results[0].height, 300);
    EXPECT_EQ(results[0].image.size(), QSize(200, 150));
}

TEST_F(PreviewRendererTest, ResizeResultIsReusedWhenOnlyOtherSettingsChange) {
    rxtest::TempDir dir;
    rxtest::ImageSpec spec;
    spec.width = 300;
    spec.height = 200;
    rxtest::WriteFile(dir / "photo.jpg", rxtest::MakeImage(OutputFormat::Jpeg, spec));
    auto files = std::make_shared<std::vector<FileEntry>>();
    files->push_back({dir.path(), dir / "photo.jpg"});
    std::mutex m;
    // The block of rescaled bytes each render ended with: the same block means no new rescale.
    std::vector<const void*> cached;
    PreviewRenderer renderer([this](const PreviewResult& r) { Handle(r); },
                             [&](const FileEntry& e, const OperationList& ops) {
                                 auto bitmap = PreviewRenderer::RenderFile(e, ops);
                                 std::lock_guard<std::mutex> lock(m);
                                 cached.push_back(
                                     static_cast<ResizeOp*>(ops[1])->cacheStream->Contents().get());
                                 return bitmap;
                             });
    ResizeOp panel;
    panel.mode = ResizeOp::Width;
    panel.width = 150;
    for (int round = 0; round < 3; ++round) {
        // Each request copies the records afresh, as a settings change elsewhere would.
        ASSERT_TRUE(renderer.Request(PreviewStep::Current, files, WithResize(panel), screen));
        ASSERT_TRUE(WaitResults(size_t(round) + 1));
        EXPECT_EQ(results.back().width, 150);
    }
    std::lock_guard<std::mutex> lock(m);
    ASSERT_EQ(cached.size(), 3u);
    ASSERT_NE(cached[0], nullptr);
    EXPECT_EQ(cached[1], cached[0]) << "the second render rescaled again";
    EXPECT_EQ(cached[2], cached[0]);
    // The panel's own record is not touched by the renders.
    EXPECT_EQ(panel.cacheStream, nullptr);
}

TEST_F(PreviewRendererTest, DestroyingWhileRendersDeliverNeverDeadlocksNorDeliversLate) {
    int late = 0;
    for (int round = 0; round < 200; ++round) {
        auto alive = std::make_shared<bool>(true);
        {
            PreviewRenderer renderer(
                [alive, &late](const PreviewResult&) {
                    if (!*alive)
                        ++late;
                },
                &Numbered);
            const PreviewFiles files = Files(2);
            renderer.Request(PreviewStep::Next, files, NoOperations(), screen);
            if (round % 2)
                QCoreApplication::processEvents();
            renderer.Request(PreviewStep::Next, files, NoOperations(), screen);
        }
        *alive = false;
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(late, 0);
}

} // namespace
