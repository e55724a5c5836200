// Holds the worker thread at a chosen diagnostic line (the n-th time it is written) until the
// test releases it or the job is cancelled, so a test can look at a job in the middle.
#pragma once

#include "engine/DebugLog.h"

#include <atomic>
#include <boost/thread/thread.hpp>
#include <chrono>
#include <string>
#include <thread>

namespace rxtest {

class WorkerHold {
public:
    WorkerHold(std::wstring line, int nth) : line_(std::move(line)), nth_(nth) {
        previous_ = rx::SetDebugLogSink([this](const std::wstring& text) {
            if (text.find(line_) == std::wstring::npos || ++seen_ != nth_)
                return;
            held_ = true;
            // A Cancel ends the wait; the worker then stops at its next interruption point.
            while (!released_ && !boost::this_thread::interruption_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    ~WorkerHold() {
        released_ = true;
        rx::SetDebugLogSink(previous_);
    }
    bool held() const { return held_; }
    void release() { released_ = true; }

private:
    std::wstring line_;
    int nth_;
    std::atomic<int> seen_{0};
    std::atomic<bool> held_{false};
    std::atomic<bool> released_{false};
    rx::DebugLogSink previous_;
};

} // namespace rxtest
