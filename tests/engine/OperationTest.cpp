#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/thread/thread.hpp>

#include "engine/ImageFile.h"
#include "engine/Operation.h"
#include "tests/support/TestImages.h"

using namespace rx;

namespace {

// Records the order in which operations run.
class Probe final : public Operation {
public:
    Probe(int kind, std::vector<std::string>* trace) : kind_(kind), trace_(trace) {}
    void apply(ImageFile&) override { trace_->push_back(OperationRunFolderWord(kind_)); }
    int type() const override { return kind_; }
    std::unique_ptr<Operation> clone() const override { return std::make_unique<Probe>(*this); }
    void load(const boost::property_tree::wptree&) override {}
    void save(boost::property_tree::wptree&) const override {}

private:
    int kind_;
    std::vector<std::string>* trace_;
};

} // namespace

TEST(RunOperations, OrderIsResizeWatermarkOptimizeRenameWithAStepAfterEachSlot) {
    rxtest::TempDir dir;
    rxtest::WriteFile(dir / "a.png", rxtest::MakeImage(OutputFormat::Png));
    ImageFile file(dir / "a.png", 0);
    std::vector<std::string> trace;
    Probe w(0, &trace), r(1, &trace), o(2, &trace), n(3, &trace);
    int steps = 0;
    RunOperations({&w, &r, &o, &n}, file, [&] {
        ++steps;
        trace.push_back("step");
    });
    EXPECT_EQ(trace, (std::vector<std::string>{"resize", "step", "watermark", "step", "optimize",
                                               "step", "rename", "step"}));
    trace.clear();
    steps = 0;
    RunOperations({nullptr, nullptr, nullptr, &n}, file, [&] { ++steps; });
    EXPECT_EQ(steps, 4) << "empty slots still count";
    EXPECT_EQ(trace, (std::vector<std::string>{"rename"}));
    // Without a callback the operations still run, in the same order.
    trace.clear();
    RunOperations({&w, &r, &o, &n}, file);
    EXPECT_EQ(trace, (std::vector<std::string>{"resize", "watermark", "optimize", "rename"}));
}

TEST(RunOperations, APendingCancelEndsTheRunAtTheFirstSlot) {
    rxtest::TempDir dir;
    rxtest::WriteFile(dir / "a.png", rxtest::MakeImage(OutputFormat::Png));
    std::vector<std::string> trace;
    Probe w(0, &trace), r(1, &trace);
    bool interrupted = false;
    int steps = 0;
    boost::thread t([&] {
        ImageFile file(dir / "a.png", 0);
        try {
            // Wait until the cancel is pending, then run.
            while (!boost::this_thread::interruption_requested())
                boost::this_thread::yield();
            RunOperations({&w, &r, nullptr, nullptr}, file, [&] { ++steps; });
        } catch (const boost::thread_interrupted&) {
            interrupted = true;
        }
    });
    t.interrupt();
    t.join();
    EXPECT_TRUE(interrupted);
    EXPECT_EQ(trace, (std::vector<std::string>{"resize"}));
    EXPECT_EQ(steps, 0);
}

TEST(Operation, NamesOfTheFourKinds) {
    EXPECT_STREQ(OperationSectionName(KindWatermark), L"Watermark");
    EXPECT_STREQ(OperationSectionName(KindResize), L"Bulk Resize");
    EXPECT_STREQ(OperationSectionName(KindOptimize), L"Optimize");
    EXPECT_STREQ(OperationSectionName(KindRename), L"Rename");
    EXPECT_STREQ(OperationRunFolderWord(KindResize), "resize");
    EXPECT_STREQ(OperationRunFolderWord(4), "");
}
