// parallelFor: every item exactly once whatever the thread count, and a stop
// that keeps any further item from starting.
#include "parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

TEST(ParallelFor, EveryItemRunsOnceOnAnyNumberOfThreads) {
    struct Case {
        std::size_t count;
        unsigned threads;
    };
    for (const Case c : {Case{0, 0}, Case{1, 0}, Case{1, 8}, Case{7, 3}, Case{1000, 1},
                         Case{1000, 2}, Case{1000, 16}}) {
        std::vector<std::atomic<int>> runs(c.count);
        std::atomic<int> onCaller{0};
        std::set<std::thread::id> seen;
        std::mutex lock;
        ParallelOptions o;
        o.threads = c.threads;
        const auto caller = std::this_thread::get_id();
        EXPECT_TRUE(parallelFor(
            c.count,
            [&](std::size_t i, unsigned worker) {
                ++runs[i];
                if (worker == 0) {
                    EXPECT_EQ(std::this_thread::get_id(), caller);
                    ++onCaller;
                }
                std::lock_guard g(lock);
                seen.insert(std::this_thread::get_id());
            },
            o));
        for (std::size_t i = 0; i < c.count; ++i) EXPECT_EQ(runs[i], 1) << c.count << " " << i;
        if (c.threads) EXPECT_LE(seen.size(), c.threads);
        if (c.threads == 1) EXPECT_EQ(onCaller, static_cast<int>(c.count));
    }
}

TEST(ParallelFor, NothingStartsAfterTheStop) {
    for (unsigned threads : {1u, 2u, 4u}) {
        std::atomic<int> started{0};
        std::atomic<bool> stopNow{false};
        ParallelOptions o;
        o.threads = threads;
        o.stop = [&] { return stopNow.load(); };
        bool complete = parallelFor(
            100000,
            [&](std::size_t, unsigned) {
                // Items that begin after the stop was given would be counted
                // past the threshold plus one per thread in flight.
                if (++started == 50) stopNow = true;
            },
            o);
        EXPECT_FALSE(complete);
        EXPECT_GE(started, 50);
        EXPECT_LE(started, 50 + static_cast<int>(threads)) << threads;
    }
}
