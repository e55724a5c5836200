// The job's events as queued signals: delivered on the owner's thread in the job's order, and
// never once the job has been cancelled.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include <boost/filesystem/operations.hpp>
#include <boost/thread/thread.hpp>

#include "engine/ImageFile.h"
#include "engine/JobEvents.h"
#include "engine/MessageBox.h"
#include "engine/RXWorker.h"
#include "engine/Text.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;
using namespace std::chrono_literals;

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "engine_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

struct Event {
    JobMessage id;
    unsigned a;
    unsigned b;
    QString folder;
    bool operator==(const Event& o) const {
        return id == o.id && a == o.a && b == o.b && folder == o.folder;
    }
};

// Records every signal with the thread it arrived on.
struct Signals {
    std::vector<Event> events;
    bool offThread = false;
    explicit Signals(JobEvents& e) {
        QObject::connect(&e, &JobEvents::jobStarted, [this](unsigned n, unsigned r) {
            Add({JobMessage::JobStarted, n, r, {}});
        });
        QObject::connect(&e, &JobEvents::progressStep, [this](unsigned p) {
            Add({JobMessage::ProgressStep, p, 0, {}});
        });
        QObject::connect(&e, &JobEvents::fileDone, [this](unsigned d) {
            Add({JobMessage::FileDone, d, 0, {}});
        });
        QObject::connect(&e, &JobEvents::jobFinished, [this](unsigned s, const QString& f) {
            Add({JobMessage::JobFinished, s, 0, f});
        });
    }
    void Add(Event e) {
        offThread = offThread || QThread::currentThread() != App().thread();
        events.push_back(std::move(e));
    }
    bool finished() const { return !events.empty() && events.back().id == JobMessage::JobFinished; }
};

// Holds the worker inside the file with the given index until it is interrupted.
class Gate final : public Operation {
public:
    int blockIndex = -1;
    void apply(ImageFile& f) override {
        if (f.index() != blockIndex)
            return;
        for (;;)
            boost::this_thread::sleep_for(boost::chrono::milliseconds(1));
    }
    int type() const override { return KindOptimize; }
    void load(const boost::property_tree::wptree&) override {}
    void save(boost::property_tree::wptree&) const override {}
    std::unique_ptr<Operation> clone() const override { return std::make_unique<Gate>(*this); }
};

struct Rig {
    rxtest::TempDir dir;
    RXWorker worker;
    JobEvents events{worker};
    Signals got{events};
    explicit Rig(int files) {
        App();
        fs::create_directories(dir / "in");
        for (int i = 0; i < files; ++i) {
            const fs::path p = dir / "in" / ("f" + std::to_string(i) + ".png");
            rxtest::WriteFile(p, rxtest::MakeImage(OutputFormat::Png, {.width = 8, .height = 8}));
            worker.AddEntry(p, dir / "in");
        }
        worker.setOutputFolder(dir / "out");
    }
    // Runs the event loop until the job has finished and its events have arrived.
    void RunToEnd() {
        const auto until = std::chrono::steady_clock::now() + 60s;
        while (!got.finished() && std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
};

void Drain() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace

TEST(JobEvents, AFinishedJobArrivesInOrderOnTheOwnerThread) {
    Rig s(2);
    ASSERT_TRUE(s.worker.Start({}));
    EXPECT_TRUE(s.got.events.empty()) << "nothing is emitted before the owner's loop runs";
    s.RunToEnd();
    const QString run = QString::fromStdString((s.dir / "out" / "[]").string());
    const std::vector<Event> expected = {
        {JobMessage::JobStarted, 2, 8, {}},   {JobMessage::ProgressStep, 0, 0, {}},
        {JobMessage::ProgressStep, 1, 0, {}}, {JobMessage::ProgressStep, 2, 0, {}},
        {JobMessage::ProgressStep, 3, 0, {}}, {JobMessage::FileDone, 1, 0, {}},
        {JobMessage::ProgressStep, 4, 0, {}}, {JobMessage::ProgressStep, 5, 0, {}},
        {JobMessage::ProgressStep, 6, 0, {}}, {JobMessage::ProgressStep, 7, 0, {}},
        {JobMessage::FileDone, 2, 0, {}},     {JobMessage::JobFinished, 2, 0, run},
    };
    EXPECT_EQ(s.got.events, expected);
    EXPECT_FALSE(s.got.offThread);
    EXPECT_FALSE(s.worker.IsRunning());
}

TEST(JobEvents, EventsQueuedBeforeACancelAreDropped) {
    Rig s(3);
    Gate gate;
    gate.blockIndex = 1;
    ASSERT_TRUE(s.worker.Start(OperationSnapshot({nullptr, nullptr, &gate, nullptr})));
    // Wait (without running the loop) until the worker is inside the second file: job started,
    // four steps and file done 1 are queued but not delivered.
    while (!fs::exists(s.dir / "out" / "[optimize]" / "f0.png"))
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(s.worker.Cancel());
    Drain();
    EXPECT_TRUE(s.got.events.empty());
    // The next job's events arrive again.
    ASSERT_TRUE(s.worker.Start({}));
    s.RunToEnd();
    ASSERT_FALSE(s.got.events.empty());
    EXPECT_EQ(s.got.events.front(), (Event{JobMessage::JobStarted, 3, 12, {}}));
    EXPECT_TRUE(s.got.finished());
}

TEST(JobEvents, TheFolderMessageIsShownOnTheOwnerThread) {
    Rig s(1);
    rxtest::WriteFile(s.dir / "file", {1});
    s.worker.setOutputFolder(s.dir / "file" / "sub");
    bool onOwner = false;
    int shown = 0;
    auto previous =
        SetMessageBoxHandler([&](const std::wstring&, const std::wstring& caption, unsigned) {
            ++shown;
            onOwner = QThread::currentThread() == App().thread();
            EXPECT_EQ(caption, L"Error");
            return IDOK;
        });
    ASSERT_TRUE(s.worker.Start({}));
    s.RunToEnd();
    SetMessageBoxHandler(previous);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(onOwner);
    ASSERT_TRUE(s.got.finished());
    EXPECT_EQ(s.got.events.back().a, 0u);
}

TEST(JobEvents, NoEventOfACancelledJobArrivesAfterCancelReturns) {
    Rig s(4);
    rxtest::WriteFile(s.dir / "blocker", {1});
    auto previous = SetMessageBoxHandler(
        [](const std::wstring&, const std::wstring&, unsigned) { return IDOK; });
    Gate gate;
    int finishedRounds = 0, roundsWithEvents = 0;
    size_t lateEvents = 0;
    for (int round = 0; round < 200; ++round) {
        // A third of the rounds stop at the folder message, a third hold in a file, the rest run.
        s.worker.setOutputFolder(round % 3 == 1 ? s.dir / "blocker" / "x" : s.dir / "out");
        gate.blockIndex = round % 3 == 2 ? round % 4 : -1;
        s.got.events.clear();
        ASSERT_TRUE(s.worker.Start(OperationSnapshot({nullptr, nullptr, &gate, nullptr}))) << round;
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::microseconds(round * 97 % 4000);
        while (std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents();
        roundsWithEvents += !s.got.events.empty();
        finishedRounds += s.got.finished();
        EXPECT_TRUE(s.worker.Cancel()) << round;
        EXPECT_FALSE(s.worker.IsRunning());
        const size_t seen = s.got.events.size();
        Drain();
        lateEvents += s.got.events.size() - seen;
        EXPECT_EQ(s.got.events.size(), seen) << "round " << round;
    }
    SetMessageBoxHandler(previous);
    EXPECT_EQ(lateEvents, 0u);
    EXPECT_FALSE(s.got.offThread);
    // Events did flow in many rounds, so their absence after Cancel is the drop, not silence.
    EXPECT_GT(roundsWithEvents, 20);
    // How many jobs ran to their end first depends on the machine; it goes into the report.
    RecordProperty("FinishedBeforeCancel", finishedRounds);
}

TEST(JobEvents, DestroyedAdapterStopsListening) {
    Rig s(1);
    {
        JobEvents second(s.worker);
        EXPECT_NE(s.worker.listener(), nullptr);
    }
    EXPECT_EQ(s.worker.listener(), nullptr);
    ASSERT_TRUE(s.worker.Start({}));
    s.worker.Wait();
    Drain();
    EXPECT_TRUE(s.got.events.empty());
}
