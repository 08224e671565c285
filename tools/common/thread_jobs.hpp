#pragma once
// Jobs shared among threads: each thread takes the next job until none is
// left; the first failure stops the others and is thrown again once all have
// stopped. Header only, the standard library alone: the ground classifier
// and the terrain model share it.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace morva::common {

// job(k, state) for k from 0 to jobs - 1 on `threads` threads (0: one per
// core; never more than the jobs), each thread with its own State kept from
// one job to the next.
template <typename State, typename Job>
void run_jobs_with_state(std::size_t jobs, unsigned threads, Job job) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto count =
        static_cast<unsigned>(std::clamp<std::size_t>(threads ? threads : cores, 1, std::max<std::size_t>(1, jobs)));
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto work = [&] {
        try {
            State state;
            for (std::size_t k = next++; k < jobs; k = next++) job(k, state);
        } catch (...) {
            std::lock_guard lock(failure_lock);
            if (!failure) failure = std::current_exception();
            next = jobs;
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < count; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}

// job(k) for k from 0 to jobs - 1, as above.
template <typename Job>
void run_jobs(std::size_t jobs, unsigned threads, Job job) {
    struct NoState {};
    run_jobs_with_state<NoState>(jobs, threads, [&job](std::size_t k, NoState&) { job(k); });
}

}  // namespace morva::common
