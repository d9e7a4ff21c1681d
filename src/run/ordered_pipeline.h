#pragma once
// Runs a numbered sequence of items through three steps on several threads
// while keeping the result independent of the thread count:
//   draw(thread, index, item)  one item at a time, in index order (the items
//                              can take their inputs from one shared sequence,
//                              such as a random stream);
//   work(thread, item)         in parallel, each item on one thread;
//   deliver(index, item)       one item at a time, in index order; returning
//                              false stops the pipeline after this item.
// `thread` numbers the threads from 0 (the calling thread) to threads - 1, so
// each can keep scratch state of its own. At most 4 x threads items are drawn
// and not yet delivered. The first exception thrown by a step (std::bad_alloc
// included) stops the pipeline and is rethrown from the call, once every
// thread has finished.

#include <functional>
#include <optional>
#include <vector>

struct OrderedSteps {
    std::function<void(int thread, int index, int slot)> draw;
    std::function<void(int thread, int slot)> work;
    std::function<bool(int index, int slot)> deliver;
};

// The scheduler behind runOrderedPipeline: items live in `slotCount` slots,
// item i in slot i % slotCount.
void runOrderedSlots(int itemCount, int threads, int slotCount, const OrderedSteps& steps);

inline int orderedSlotCount(int threads) { return 4 * (threads < 1 ? 1 : threads); }

template <class Item, class Draw, class Work, class Deliver>
void runOrderedPipeline(int itemCount, int threads, Draw draw, Work work, Deliver deliver) {
    const int slotCount = orderedSlotCount(threads);
    std::vector<std::optional<Item>> slots(static_cast<std::size_t>(slotCount));
    auto at = [&slots](int slot) -> std::optional<Item>& {
        return slots[static_cast<std::size_t>(slot)];
    };
    runOrderedSlots(itemCount, threads, slotCount,
                    OrderedSteps{[&](int thread, int index, int slot) {
                                     at(slot).emplace();
                                     draw(thread, index, *at(slot));
                                 },
                                 [&](int thread, int slot) { work(thread, *at(slot)); },
                                 [&](int index, int slot) {
                                     const bool more = deliver(index, *at(slot));
                                     at(slot).reset();  // delivered items free their memory
                                     return more;
                                 }});
}
