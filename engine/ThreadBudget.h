// The cores the process gives to image work, shared between the files a job has in flight and
// the threads one file's work may add for itself (the PNG engine's parallel trials, libvips'
// workers), so that K files times their inner threads do not oversubscribe the machine. A file
// in flight always holds one thread; extra threads are lent only while cores are free.
#pragma once

#include <mutex>

namespace rx {

class ThreadBudget {
public:
    // A share of the budget, given back when the lease goes.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept : budget_(other.budget_), count_(other.count_) {
            other.count_ = 0;
        }
        Lease& operator=(Lease&& other) noexcept;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease() { Release(); }

        unsigned count() const { return count_; }
        void Release();

    private:
        friend class ThreadBudget;
        Lease(ThreadBudget* budget, unsigned count) : budget_(budget), count_(count) {}
        ThreadBudget* budget_ = nullptr;
        unsigned count_ = 0;
    };

    explicit ThreadBudget(unsigned cores);
    ThreadBudget(const ThreadBudget&) = delete;
    ThreadBudget& operator=(const ThreadBudget&) = delete;

    // The process's budget: one thread per core.
    static ThreadBudget& Global();

    unsigned cores() const { return cores_; }
    // Threads held now (may exceed the cores while more files are in flight than cores).
    unsigned inUse() const;

    // The thread of one file in flight: always granted.
    Lease EnterFile();
    // Up to `wanted` extra threads, as many as are free now (none when every core is held).
    Lease TakeExtra(unsigned wanted);

private:
    void Give(unsigned count);

    const unsigned cores_;
    mutable std::mutex mutex_;
    unsigned inUse_ = 0;
};

} // namespace rx
