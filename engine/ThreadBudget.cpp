#include "engine/ThreadBudget.h"

#include <algorithm>
#include <thread>

namespace rx {

ThreadBudget::Lease& ThreadBudget::Lease::operator=(Lease&& other) noexcept {
    if (this != &other) {
        Release();
        budget_ = other.budget_;
        count_ = other.count_;
        other.count_ = 0;
    }
    return *this;
}

void ThreadBudget::Lease::Release() {
    if (budget_ && count_)
        budget_->Give(count_);
    count_ = 0;
}

ThreadBudget::ThreadBudget(unsigned cores) : cores_(std::max(1u, cores)) {}

ThreadBudget& ThreadBudget::Global() {
    static ThreadBudget budget(std::thread::hardware_concurrency());
    return budget;
}

unsigned ThreadBudget::inUse() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inUse_;
}

ThreadBudget::Lease ThreadBudget::EnterFile() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++inUse_;
    return Lease(this, 1);
}

ThreadBudget::Lease ThreadBudget::TakeExtra(unsigned wanted) {
    std::lock_guard<std::mutex> lock(mutex_);
    const unsigned free = inUse_ < cores_ ? cores_ - inUse_ : 0;
    const unsigned given = std::min(wanted, free);
    inUse_ += given;
    return Lease(this, given);
}

void ThreadBudget::Give(unsigned count) {
    std::lock_guard<std::mutex> lock(mutex_);
    inUse_ -= std::min(count, inUse_);
}

} // namespace rx
