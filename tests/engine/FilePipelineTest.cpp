// The pipeline under a job's files: files start in list order on several threads, the consumer
// gets them in list order, the memory budget bounds what is in flight (results not yet taken
// included), an oversized file still runs alone, and destroying the pipeline interrupts the
// files in flight. Also the thread budget the pipeline's files share with their inner threads.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include <boost/chrono.hpp>
#include <boost/thread/thread.hpp>

#include "engine/FilePipeline.h"
#include "engine/ThreadBudget.h"

using namespace rx;

namespace {

// Waits (interruptibly) until the flag is set or a generous time has passed.
bool WaitForFlag(const std::atomic<bool>& flag) {
    for (int i = 0; i < 10000 && !flag; ++i)
        boost::this_thread::sleep_for(boost::chrono::milliseconds(1));
    return flag;
}

} // namespace

TEST(FilePipeline, StartsInListOrderRunsFilesTogetherAndHandsThemOverInOrder) {
    constexpr size_t n = 24;
    std::mutex m;
    std::vector<size_t> started;
    std::vector<int> results(n, -1);
    std::atomic<bool> secondStarted{false};
    bool firstSawSecond = false;
    {
        FilePipeline pipeline(n, 4, 0, [&](size_t i, unsigned, FilePipeline::Admission& a) {
            a.Admit(100);
            {
                std::lock_guard<std::mutex> lock(m);
                started.push_back(i);
            }
            if (i == 1)
                secondStarted = true;
            if (i == 0) // finishes only once the next file runs beside it
                firstSawSecond = WaitForFlag(secondStarted);
            boost::this_thread::sleep_for(boost::chrono::microseconds((i * 7919) % 900));
            results[i] = static_cast<int>(i * i);
        });
        for (size_t i = 0; i < n; ++i) {
            pipeline.WaitFor(i);
            EXPECT_EQ(results[i], static_cast<int>(i * i)) << i;
            pipeline.Release(i);
        }
    }
    EXPECT_TRUE(firstSawSecond) << "two files were in flight at once";
    ASSERT_EQ(started.size(), n);
    for (size_t i = 0; i < n; ++i)
        EXPECT_EQ(started[i], i) << "files are admitted in list order";
}

TEST(FilePipeline, BudgetBoundsFilesInFlightAndResultsNotYetTaken) {
    constexpr size_t n = 16;
    std::atomic<size_t> most{0};
    std::atomic<int> running{0};
    std::atomic<int> mostRunning{0};
    {
        // Room for two files of 10: the third waits although a thread is free.
        FilePipeline pipeline(n, 4, 25, [&](size_t, unsigned, FilePipeline::Admission& a) {
            a.Admit(10);
            size_t seen = most;
            while (a.othersInFlight() > seen &&
                   !most.compare_exchange_weak(seen, a.othersInFlight()))
                ;
            const int now = ++running;
            int top = mostRunning;
            while (now > top && !mostRunning.compare_exchange_weak(top, now))
                ;
            boost::this_thread::sleep_for(boost::chrono::microseconds(300));
            --running;
        });
        for (size_t i = 0; i < n; ++i) {
            pipeline.WaitFor(i);
            // A slow consumer: finished files stay counted until released.
            boost::this_thread::sleep_for(boost::chrono::microseconds(500));
            pipeline.Release(i);
        }
    }
    EXPECT_LE(most.load(), 1u);
    EXPECT_LE(mostRunning.load(), 2);
}

TEST(FilePipeline, FileLargerThanTheBudgetRunsAloneAndFailedFilesStillArrive) {
    constexpr size_t n = 6;
    std::vector<size_t> others(n, 99);
    {
        FilePipeline pipeline(n, 3, 10, [&](size_t i, unsigned, FilePipeline::Admission& a) {
            if (i == 2)
                return; // ended before it knew its size (it could not be read)
            a.Admit(1000);
            others[i] = a.othersInFlight();
        });
        for (size_t i = 0; i < n; ++i) {
            pipeline.WaitFor(i);
            pipeline.Release(i);
        }
    }
    for (size_t i = 0; i < n; ++i) {
        if (i == 2) {
            EXPECT_EQ(others[i], 99u);
        } else {
            EXPECT_EQ(others[i], 0u) << i;
        }
    }
}

TEST(FilePipeline, DestroyingItInterruptsFilesInFlightAndStartsNoMore) {
    constexpr size_t n = 50;
    std::atomic<int> startedCount{0};
    std::atomic<int> interrupted{0};
    std::atomic<bool> firstRunning{false};
    {
        FilePipeline pipeline(n, 2, 0, [&](size_t, unsigned, FilePipeline::Admission& a) {
            a.Admit(1);
            ++startedCount;
            firstRunning = true;
            try {
                for (;;)
                    boost::this_thread::sleep_for(boost::chrono::milliseconds(1));
            } catch (const boost::thread_interrupted&) {
                ++interrupted;
                throw;
            }
        });
        ASSERT_TRUE(WaitForFlag(firstRunning));
    }
    EXPECT_GE(startedCount.load(), 1);
    EXPECT_LE(startedCount.load(), 2);
    EXPECT_EQ(interrupted.load(), startedCount.load());
}

TEST(ThreadBudget, FilesAlwaysEnterExtraThreadsOnlyFromFreeCores) {
    ThreadBudget budget(2);
    {
        const auto lone = budget.EnterFile();
        const auto extra = budget.TakeExtra(5);
        EXPECT_EQ(extra.count(), 1u) << "a lone file gets every other core";
        EXPECT_EQ(budget.inUse(), 2u);
    }
    EXPECT_EQ(budget.inUse(), 0u);
    auto a = budget.EnterFile();
    auto b = budget.EnterFile();
    auto c = budget.EnterFile();
    EXPECT_EQ(budget.inUse(), 3u) << "files are never refused";
    EXPECT_EQ(budget.TakeExtra(1).count(), 0u);
    c.Release();
    b.Release();
    ThreadBudget::Lease moved = budget.TakeExtra(3);
    EXPECT_EQ(moved.count(), 1u);
    ThreadBudget::Lease other = std::move(moved);
    EXPECT_EQ(moved.count(), 0u);
    EXPECT_EQ(budget.inUse(), 2u);
    other.Release();
    a.Release();
    EXPECT_EQ(budget.inUse(), 0u);
}
