#include "base/worker_pool.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <system_error>

namespace retracer {

WorkerThreads::WorkerThreads(unsigned count, const std::function<void(unsigned)>& work) {
    threads_.reserve(count);
    for (unsigned k = 0; k < count; ++k) {
        try {
            threads_.emplace_back(work, k);
        } catch (const std::system_error&) {
            break;  // as many threads as the system gives
        }
    }
}

WorkerThreads::~WorkerThreads() {
    for (std::thread& thread : threads_) thread.join();
}

void ParallelFor(unsigned threads, std::size_t count, const std::function<void(std::size_t)>& body,
                 const std::function<bool(std::size_t)>& mayStart) {
    std::mutex mutex;
    std::size_t next = 0;
    std::exception_ptr failure;
    // The next index, or `count` when none is left or the work was stopped.
    const auto take = [&]() -> std::size_t {
        const std::lock_guard<std::mutex> lock(mutex);
        if (next < count && mayStart && !mayStart(next)) next = count;
        return next < count ? next++ : count;
    };
    const auto loop = [&](unsigned) {
        try {
            for (std::size_t i = take(); i < count; i = take()) body(i);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex);
            if (!failure) failure = std::current_exception();
            next = count;
        }
    };
    const std::size_t helpers = std::min<std::size_t>(threads, count);
    {
        const WorkerThreads pool(helpers > 1 ? static_cast<unsigned>(helpers - 1) : 0u, loop);
        loop(0);
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace retracer
