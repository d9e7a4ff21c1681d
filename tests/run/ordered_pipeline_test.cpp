// The ordered pipeline: items drawn and delivered in index order whatever the
// thread count, a bounded number in flight, per-thread scratch state never
// shared, and failures that stop the pipeline and reach the caller.

#include "run/ordered_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    long long drawn = 0;   // the next number of a shared sequence, taken in draw
    long long worked = 0;  // computed from it in parallel
};

long long nextInSequence(long long x) { return x * 48271 % 2147483647; }

// Runs `count` items on `threads` threads, with one fault at item `at`, and
// records what the steps saw.
struct Probe {
    explicit Probe(int threadCount, Fault f = Fault::None, int faultAt = -1)
        : threads(threadCount), fault(f), at(faultAt) {}
    int threads;
    Fault fault;
    int at;
    std::vector<int> drawn, delivered;
    int mostInFlight = 0;
    bool scratchShared = false, valueOutOfOrder = false;
    std::atomic<bool> busy[64] = {};

    void run(int count) {
        long long stream = 1, expected = 1;
        runOrderedPipeline<Item>(
            count, threads,
            [&](int thread, int index, Item& item) {
                if (fault == Fault::DrawThrows && index == at) throw std::runtime_error("draw");
                scratchShared |= thread < 0 || thread >= threads;
                drawn.push_back(index);
                mostInFlight = std::max(mostInFlight, index + 1 - static_cast<int>(delivered.size()));
                item.index = index;
                item.drawn = stream = nextInSequence(stream);
            },
            [&](int thread, Item& item) {
                scratchShared |= busy[thread].exchange(true);
                // Uneven work, and one straggler the others would overtake.
                for (long long k = item.drawn % 50; k > 0; --k) std::this_thread::yield();
                if (item.index == 5) std::this_thread::sleep_for(std::chrono::milliseconds(20));
                item.worked = item.drawn % 1000003;
                busy[thread] = false;
                if (fault == Fault::WorkThrows && item.index == at) throw std::runtime_error("work");
                if (fault == Fault::WorkRunsOutOfMemory && item.index == at) throw std::bad_alloc();
            },
            [&](int index, const Item& item) {
                if (fault == Fault::DeliverThrows && index == at) throw std::runtime_error("deliver");
                expected = nextInSequence(expected);
                valueOutOfOrder |= item.index != index || item.drawn != expected ||
                                   item.worked != expected % 1000003;
                delivered.push_back(index);
                return !(fault == Fault::DeliverStops && index == at);
            });
    }
};

std::vector<int> upTo(int count) {
    std::vector<int> indices;
    for (int i = 0; i < count; ++i) indices.push_back(i);
    return indices;
}

TEST(OrderedPipeline, EveryThreadCountDrawsAndDeliversInIndexOrder) {
    const struct { int threads, count; } cases[] = {{1, 0}, {1, 50}, {2, 1}, {3, 7}, {8, 500}, {64, 300}};
    for (const auto& c : cases) {
        Probe probe(c.threads);
        probe.run(c.count);
        SCOPED_TRACE(testing::Message() << c.threads << " threads, " << c.count << " items");
        EXPECT_EQ(probe.drawn, upTo(c.count));
        EXPECT_EQ(probe.delivered, upTo(c.count));
        EXPECT_LE(probe.mostInFlight, orderedSlotCount(c.threads));
        EXPECT_FALSE(probe.valueOutOfOrder);
        EXPECT_FALSE(probe.scratchShared);  // or a thread number out of range
    }
}

TEST(OrderedPipeline, AFaultStopsThePipelineAndReachesTheCaller) {
    const struct { Fault fault; int threads; bool throwsRuntime, throwsBadAlloc; } cases[] = {
        {Fault::DrawThrows, 1, true, false},          {Fault::DrawThrows, 4, true, false},
        {Fault::WorkThrows, 1, true, false},          {Fault::WorkThrows, 4, true, false},
        {Fault::WorkRunsOutOfMemory, 4, false, true}, {Fault::DeliverThrows, 4, true, false},
        {Fault::DeliverStops, 1, false, false},       {Fault::DeliverStops, 4, false, false},
    };
    const int at = 37, count = 400;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(c.fault) << ", "
                                        << c.threads << " threads");
        Probe probe(c.threads, c.fault, at);
        if (c.throwsRuntime) EXPECT_THROW(probe.run(count), std::runtime_error);
        else if (c.throwsBadAlloc) EXPECT_THROW(probe.run(count), std::bad_alloc);
        else EXPECT_NO_THROW(probe.run(count));
        // Nothing after the faulty item is delivered (with one thread, all
        // before it are), and the threads stop drawing within one window.
        const int deliverable = c.fault == Fault::DeliverStops ? at + 1 : at;
        const int delivered = static_cast<int>(probe.delivered.size());
        EXPECT_EQ(probe.delivered, upTo(delivered));
        if (c.threads == 1) EXPECT_EQ(delivered, deliverable);
        else EXPECT_LE(delivered, deliverable);
        EXPECT_LE(static_cast<int>(probe.drawn.size()), at + 1 + orderedSlotCount(c.threads));
        EXPECT_FALSE(probe.valueOutOfOrder);
    }
}

}  // namespace
