// parallelFor: an atomic counter over the items, helper threads joined
// before returning, so nothing outlives the caller's data.
#include "parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "passstop.h"
#include "portable.h"

bool parallelFor(std::size_t count,
                 const std::function<void(std::size_t index, unsigned worker)>& body,
                 const ParallelOptions& options) {
    if (count == 0) return true;
    unsigned threads = options.threads ? options.threads : portable::hardwareThreads();
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, count));
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopped{false};
    std::mutex errorLock;
    std::exception_ptr error;
    // Helpers answer the caller's stop request (Ctrl+C, an edit) as it would.
    const StopScope* scope = StopScope::current();
    auto work = [&](unsigned worker) {
        StopScope::Adopt adopt(worker == 0 ? StopScope::current() : scope);
        while (!stopped.load(std::memory_order_relaxed)) {
            if (options.stop && options.stop()) {
                stopped = true;
                return;
            }
            const std::size_t i = next.fetch_add(1);
            if (i >= count) return;
            try {
                body(i, worker);
            } catch (...) {
                // The first exception (a stop thrown from deep in the exact
                // arithmetic, say) ends the fan-out and reaches the caller
                // once every helper has been joined.
                std::lock_guard<std::mutex> hold(errorLock);
                if (!error) error = std::current_exception();
                stopped = true;
                return;
            }
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (unsigned t = 1; t < threads; ++t) helpers.emplace_back(work, t);
    work(0);
    for (auto& h : helpers) h.join();
    if (error) std::rethrow_exception(error);
    return !stopped;
}
