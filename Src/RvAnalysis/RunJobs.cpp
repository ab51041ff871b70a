#include "RunJobs.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace rv_analysis {

void RunJobs(int count, int workers, const std::function<void(int)>& job,
             const BandingProgress& progress)
{
    std::atomic<int> next{0};
    std::mutex mutex;
    int done = 0;
    std::exception_ptr failure;
    const auto work = [&]() {
        for (int i = next++; i < count; i = next++) {
            try {
                job(i);
                const std::lock_guard<std::mutex> lock(mutex);
                ++done;
                if (progress)
                    progress(done, count);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(mutex);
                if (!failure)
                    failure = std::current_exception();
                next = count;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int k = 1; k < std::min(workers, count); ++k) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer workers: the same results, later
        }
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace rv_analysis
