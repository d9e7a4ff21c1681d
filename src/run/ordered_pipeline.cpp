#include "run/ordered_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// Shared by the threads of one pipeline; every member is guarded by `lock`.
struct Schedule {
    Schedule(int items, int slots, const OrderedSteps& s)
        : itemCount(items), slotCount(slots), steps(s), isReady(static_cast<std::size_t>(slots)) {}

    int itemCount;
    int slotCount;
    const OrderedSteps& steps;
    std::mutex lock;
    std::condition_variable delivered;
    std::vector<char> isReady;  // per slot: worked on, waiting for its turn
    int nextToDraw = 0;
    int nextToDeliver = 0;
    bool stop = false;
    std::exception_ptr failure;

    // Delivers the finished items that are due, in index order.
    void deliverReady() {
        while (!stop && nextToDeliver < itemCount) {
            const int slot = nextToDeliver % slotCount;
            if (!isReady[static_cast<std::size_t>(slot)]) break;
            isReady[static_cast<std::size_t>(slot)] = 0;
            if (!steps.deliver(nextToDeliver++, slot)) stop = true;
        }
    }

    void run(int thread) noexcept {
        std::unique_lock guard(lock);
        try {
            for (;;) {
                delivered.wait(guard, [&] {
                    return stop || nextToDraw >= itemCount ||
                           nextToDraw < nextToDeliver + slotCount;
                });
                if (stop || nextToDraw >= itemCount) return;
                const int index = nextToDraw++;
                const int slot = index % slotCount;
                steps.draw(thread, index, slot);
                guard.unlock();
                steps.work(thread, slot);
                guard.lock();
                isReady[static_cast<std::size_t>(slot)] = 1;
                deliverReady();
                delivered.notify_all();
            }
        } catch (...) {
            if (!guard.owns_lock()) guard.lock();
            if (!failure) failure = std::current_exception();
            stop = true;
            delivered.notify_all();
        }
    }
};

}  // namespace

void runOrderedSlots(int itemCount, int threads, int slotCount, const OrderedSteps& steps) {
    Schedule schedule(itemCount, slotCount, steps);
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(std::max(threads, 1)));
    try {
        for (int t = 1; t < std::min(threads, itemCount); ++t)
            helpers.emplace_back(&Schedule::run, &schedule, t);
    } catch (const std::system_error&) {
        // The system has no thread to spare: the threads that did start
        // (the calling one at least) do all the work, with the same result.
    }
    schedule.run(0);
    for (auto& helper : helpers) helper.join();
    if (schedule.failure) std::rethrow_exception(schedule.failure);
}
