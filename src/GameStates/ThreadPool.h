// ThreadPool.h - a fixed set of worker threads that run one job at a time,
// together with the thread that hands it over: the tree's parallel splitter
// search and its two sides built side by side.
//
// The handoff: TryRun publishes the job and bumps a generation number under
// the pool's mutex, wakes the workers and runs its own share (k = 0); each
// worker, woken by the new generation, runs its share k; the last one to
// finish wakes the caller, which returns only then. The job is the caller's
// own function, used by reference until TryRun returns, so it may capture
// locals. One job at a time: a TryRun while another runs (a job that itself
// asks for the pool) is refused, and its caller does the work alone.
//
// Builds share one pool through TryRunShared, kept from one build to the
// next: starting the threads for each build costs about a tenth of a
// millisecond, a twentieth of the demo's two-thread build.
#ifndef BSP_THREAD_POOL_H
#define BSP_THREAD_POOL_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ThreadPool {
public:
    // threads (at least 1) share every job: the caller and threads - 1 workers.
    explicit ThreadPool(unsigned threads);
    // Stops and joins the workers; no job may be running.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    unsigned Threads() const { return mThreads; }

    // Runs job(k) for every k below Threads(), k = 0 on this thread, and
    // returns true once all have returned; false, running nothing, while
    // another job runs.
    bool TryRun(const std::function<void(unsigned)>& job);

    // TryRun on the process's pool of threads threads, made on first use and
    // made again when another count is asked for. A process forked from this
    // one (whose copy of the pool has no workers) makes a pool of its own.
    static bool TryRunShared(unsigned threads, const std::function<void(unsigned)>& job);

private:
    void work(unsigned k);

    const unsigned mThreads;
    std::vector<std::thread> mWorkers;
    std::atomic<bool> mBusy{false};
    std::mutex mMutex;
    std::condition_variable mWake;
    std::condition_variable mDone;
    const std::function<void(unsigned)>* mpJob = nullptr;  // under mMutex
    uint64_t mGeneration = 0;                              // under mMutex
    unsigned mPending = 0;                                 // under mMutex
    bool mStop = false;                                    // under mMutex
};

#endif  // BSP_THREAD_POOL_H
