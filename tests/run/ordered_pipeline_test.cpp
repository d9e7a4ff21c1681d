// The ordered pipeline: items drawn and delivered in index order whatever the
// thread count, a bounded number in flight, per-thread scratch state never
// shared, and failures that stop the pipeline and reach the caller.

#include "run/ordered_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

enum class Fault { None, DrawThrows, WorkThrows, WorkRunsOutOfMemory, DeliverThrows, DeliverStops };

struct Item {
    int index = -1;
    long long drawn = 0, worked = 0;  // a shared sequence's next number, and a value computed from it
};

// Runs `count` items on `threads` threads with one fault at item `at`, and
// records what the steps saw; `sound` turns false on any disorder.
struct Probe {
    int threads;
    Fault fault = Fault::None;
    int at = -1;
    int drawn = 0, delivered = 0;
    bool sound = true;
    std::atomic<bool> busy[64] = {};

    void run(int count) {
        long long stream = 1, expected = 1;
        const auto next = [](long long x) { return x * 48271 % 2147483647; };
        runOrderedPipeline<Item>(
            count, threads,
            [&](int thread, int index, Item& item) {
                if (fault == Fault::DrawThrows && index == at) throw std::runtime_error("draw");
                sound &= thread >= 0 && thread < threads && index == drawn++ &&
                         index - delivered < orderedSlotCount(threads);
                item = {index, stream = next(stream), 0};
            },
            [&](int thread, Item& item) {
                sound &= !busy[thread].exchange(true);  // one item at a time per thread's scratch
                for (long long k = item.drawn % 50; k > 0; --k) std::this_thread::yield();
                if (item.index == 5) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // overtaken
                item.worked = item.drawn % 1000003;
                busy[thread] = false;
                if (fault == Fault::WorkThrows && item.index == at) throw std::runtime_error("work");
                if (fault == Fault::WorkRunsOutOfMemory && item.index == at) throw std::bad_alloc();
            },
            [&](int index, const Item& item) {
                if (fault == Fault::DeliverThrows && index == at) throw std::runtime_error("deliver");
                expected = next(expected);
                sound &= item.index == index && index == delivered++ && item.drawn == expected &&
                         item.worked == expected % 1000003;
                return !(fault == Fault::DeliverStops && index == at);
            });
    }
};

TEST(OrderedPipeline, EveryThreadCountDrawsAndDeliversInIndexOrder) {
    for (const auto& [threads, count] : {std::pair{1, 0}, {1, 50}, {2, 1}, {3, 7}, {8, 500}, {64, 300}}) {
        Probe probe{threads};
        probe.run(count);
        EXPECT_TRUE(probe.sound && probe.delivered == count) << threads << " threads, " << count << " items";
    }
}

TEST(OrderedPipeline, AFaultStopsThePipelineAndReachesTheCaller) {
    const struct { Fault fault; int threads; } cases[] = {
        {Fault::DrawThrows, 1},          {Fault::DrawThrows, 4},    {Fault::WorkThrows, 1},
        {Fault::WorkThrows, 4},          {Fault::DeliverThrows, 4}, {Fault::WorkRunsOutOfMemory, 4},
        {Fault::DeliverStops, 1},        {Fault::DeliverStops, 4},
    };
    const int at = 37;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(c.fault) << ", " << c.threads << " threads");
        Probe probe{c.threads, c.fault, at};
        if (c.fault == Fault::WorkRunsOutOfMemory) EXPECT_THROW(probe.run(400), std::bad_alloc);
        else if (c.fault == Fault::DeliverStops) EXPECT_NO_THROW(probe.run(400));
        else EXPECT_THROW(probe.run(400), std::runtime_error);
        // Nothing after the faulty item is delivered (with one thread, all
        // before it are), and the threads stop drawing within one window.
        const int deliverable = c.fault == Fault::DeliverStops ? at + 1 : at;
        EXPECT_TRUE(probe.sound);
        EXPECT_TRUE(c.threads == 1 ? probe.delivered == deliverable : probe.delivered <= deliverable);
        EXPECT_LE(probe.drawn, at + 1 + orderedSlotCount(c.threads));
    }
}

}  // namespace
