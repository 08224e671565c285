#pragma once
// Jobs shared among threads: each takes the next job until none is left; the
// first failure is thrown again once all have stopped.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace terrain {

// job(k) for k from 0 to jobs - 1 on `threads` threads (0: one per core).
template <class Job>
void run_jobs(std::size_t jobs, unsigned threads, Job job) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto count = static_cast<unsigned>(std::clamp<std::size_t>(threads ? threads : cores, 1, std::max<std::size_t>(1, jobs)));
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::vector<std::exception_ptr> failures(count);
    auto work = [&](unsigned t) {
        try {
            for (std::size_t k = next++; k < jobs && !failed; k = next++) job(k);
        } catch (...) {
            failures[t] = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < count; ++t) pool.emplace_back(work, t);
    work(0);
    for (std::thread& t : pool) t.join();
    for (const std::exception_ptr& f : failures) {
        if (f) std::rethrow_exception(f);
    }
}

}  // namespace terrain
