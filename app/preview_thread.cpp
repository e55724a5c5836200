#include "app/preview_thread.h"

#include <exception>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "engine/DebugLog.h"

namespace rx {
namespace {
// The lowest priority of the normal class (nice 19), which threads this one starts inherit.
// Not SCHED_IDLE: that policy gets no time at all while other programs keep the cores busy,
// and the preview would never come.
void LowerToIdlePriority() {
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    for (int nice = 19; nice > 0; --nice)
        if (setpriority(PRIO_PROCESS, tid, nice) == 0)
            return;
}
} // namespace

preview_thread::preview_thread(RenderPriority priority)
    : thread_([this, priority] { Run(priority); }) {}

preview_thread::~preview_thread() {
    thread_.interrupt();
    thread_.join();
}

void preview_thread::Post(Task task) {
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        pending_ = std::move(task);
    }
    wake_.notify_one();
}

bool preview_thread::idle() const {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return !pending_ && !running_;
}

long preview_thread::completed() const {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return completed_;
}

void preview_thread::Run(RenderPriority priority) {
    if (priority == RenderPriority::Lowest)
        LowerToIdlePriority();
    try {
        for (;;) {
            Task task;
            {
                boost::unique_lock<boost::mutex> lock(mutex_);
                while (!pending_)
                    wake_.wait(lock); // an interruption point
                task = std::move(pending_);
                pending_ = nullptr;
                running_ = true;
            }
            // A failing task ends only itself; the thread goes on with the next one.
            try {
                task();
            } catch (const boost::thread_interrupted&) {
                throw;
            } catch (const std::exception& e) {
                DebugLog(L"Preview: render failed: %S\n", e.what());
            } catch (...) {
                DebugLog(L"Preview: render failed with an unknown error\n");
            }
            boost::lock_guard<boost::mutex> lock(mutex_);
            ++completed_;
            running_ = false;
        }
    } catch (const boost::thread_interrupted&) {
        // The window is going away.
    }
}

} // namespace rx
