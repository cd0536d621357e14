// The worker threads shared by the DXF formatting and the worklist runs: every index once, a
// stop that leaves only the first indexes done, and a failure that reaches the caller.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/worker_pool.h"

namespace retracer {
namespace {

TEST(WorkerPool, EveryIndexOnceWhateverTheThreads) {
    const struct {
        unsigned threads;
        std::size_t count;
    } cases[] = {{0, 5}, {1, 7}, {3, 100}, {8, 3}, {4, 0}};
    for (const auto& c : cases) {
        std::vector<std::atomic<int>> seen(c.count);
        std::mutex mutex;
        std::set<std::thread::id> threads;
        ParallelFor(c.threads, c.count, [&](std::size_t i) {
            ++seen[i];
            const std::lock_guard<std::mutex> lock(mutex);
            threads.insert(std::this_thread::get_id());
        });
        for (std::size_t i = 0; i < c.count; ++i) EXPECT_EQ(seen[i], 1) << c.threads << ":" << i;
        EXPECT_LE(threads.size(),
                  std::max<std::size_t>(1, std::min<std::size_t>(c.threads, c.count)));
    }
}

// Asked in index order one at a time, whatever thread takes the index; a refusal leaves exactly
// the indexes from it on undone, even while earlier ones are still running.
TEST(WorkerPool, AStopLeavesOnlyTheFirstIndexesDone) {
    for (const std::size_t stopAt : {std::size_t{0}, std::size_t{5}, std::size_t{19}}) {
        std::vector<std::atomic<int>> done(20);
        std::vector<std::size_t> asked;
        ParallelFor(
            4, done.size(),
            [&](std::size_t i) {
                std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 3)));
                ++done[i];
            },
            [&](std::size_t i) {
                asked.push_back(i);
                return i != stopAt;
            });
        for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], i < stopAt ? 1 : 0) << i;
        ASSERT_FALSE(asked.empty());
        for (std::size_t i = 0; i < asked.size(); ++i) EXPECT_EQ(asked[i], i);
        EXPECT_EQ(asked.back(), stopAt) << "nothing is asked after the refusal";
    }
}

TEST(WorkerPool, TheFirstFailureReachesTheCallerAfterEveryThreadEnded) {
    std::atomic<int> running{0};
    std::atomic<int> started{0};
    EXPECT_THROW(ParallelFor(3, 1000,
                             [&](std::size_t i) {
                                 ++running;
                                 ++started;
                                 std::this_thread::sleep_for(std::chrono::microseconds(50));
                                 --running;
                                 if (i == 10) throw std::runtime_error("job failed");
                             }),
                 std::runtime_error);
    EXPECT_EQ(running, 0);
    EXPECT_LT(started, 1000) << "indexes not yet taken are left";

    std::vector<int> ran(4, 0);
    {
        const WorkerThreads threads(4, [&](unsigned k) { ran[k] = 1; });
        EXPECT_EQ(threads.Size(), 4u);
    }
    EXPECT_EQ(ran, std::vector<int>(4, 1));
}

}  // namespace
}  // namespace retracer
