#pragma once

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace retracer {

// A few threads, each running work(k) for its number k, joined when the group ends (also on the
// way out of an exception). Fewer start when the system gives fewer; Size says how many did.
// Whatever tells the work to finish must happen before the group ends.
class WorkerThreads {
  public:
    WorkerThreads(unsigned count, const std::function<void(unsigned)>& work);
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    unsigned Size() const { return static_cast<unsigned>(threads_.size()); }

  private:
    std::vector<std::thread> threads_;
};

// Runs body(i) for every i below `count`, on the calling thread and up to `threads` - 1 more,
// indexes taken in rising order. `mayStart`, when given, is asked for each index as it is taken,
// one call at a time and in index order; false leaves that index and every later one undone, so
// the indexes done are always the first few. The first exception stops the indexes not yet taken
// and is thrown again here once every thread has finished.
void ParallelFor(unsigned threads, std::size_t count, const std::function<void(std::size_t)>& body,
                 const std::function<bool(std::size_t)>& mayStart = {});

}  // namespace retracer
