#include "run/run_stop.h"

#include <atomic>

namespace {
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from signal handlers");
}  // namespace

void requestRunStop() noexcept { stopRequested.store(true, std::memory_order_relaxed); }
bool runStopRequested() noexcept { return stopRequested.load(std::memory_order_relaxed); }
void clearRunStop() noexcept { stopRequested.store(false, std::memory_order_relaxed); }
