// The preview's renderer thread and its single-slot mailbox: the UI thread posts tasks, the
// thread runs them one at a time at the lowest normal priority (nice 19). A task posted while
// another is still waiting replaces it, so a burst of requests runs at most the task already
// running and the latest one.
#pragma once

#include <functional>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

namespace rx {

// The renderer thread's priority: the lowest normal one, or the creating thread's (for tests
// on a machine whose cores other programs keep busy).
enum class RenderPriority { Lowest, Inherited };

class preview_thread {
public:
    using Task = std::function<void()>;

    // Starts the thread; it waits for tasks.
    explicit preview_thread(RenderPriority priority = RenderPriority::Lowest);
    // Drops a waiting task, interrupts a running one at its next interruption point and waits
    // for the thread to end. Tasks must not wait for the destroying thread (deliver results with
    // queued calls), or this would never return.
    ~preview_thread();
    preview_thread(const preview_thread&) = delete;
    preview_thread& operator=(const preview_thread&) = delete;

    // Puts the task into the slot, replacing one that has not started yet. Any thread.
    void Post(Task task);

    // Tasks run so far (for tests and diagnostics).
    long completed() const;
    // No task is waiting or running.
    bool idle() const;

private:
    void Run(RenderPriority priority);

    Task pending_;
    mutable boost::mutex mutex_;
    boost::condition_variable wake_;
    long completed_ = 0;
    bool running_ = false;
    boost::thread thread_;
};

} // namespace rx
