#include "engine/StopRequest.h"

#include <atomic>

namespace rx {
namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets this flag");

} // namespace

void RequestStopFromSignal() noexcept {
    g_stop.store(true, std::memory_order_relaxed);
}

bool StopRequestedFromSignal() noexcept {
    return g_stop.load(std::memory_order_relaxed);
}

void ClearStopRequest() noexcept {
    g_stop.store(false, std::memory_order_relaxed);
}

} // namespace rx
