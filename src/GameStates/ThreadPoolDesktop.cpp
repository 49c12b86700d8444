// ThreadPoolDesktop.cpp - the workers, the handoff of one job at a time, and the
// pool the builds share.
#include "ThreadPool.h"

#include <unistd.h>

ThreadPool::ThreadPool(unsigned threads) : mThreads(threads > 0 ? threads : 1) {
    for (unsigned k = 1; k < mThreads; ++k) mWorkers.emplace_back([this, k] { work(k); });
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop = true;
    }
    mWake.notify_all();
    for (std::thread& t : mWorkers) t.join();
}

bool ThreadPool::TryRun(const std::function<void(unsigned)>& job) {
    bool idle = false;
    if (!mBusy.compare_exchange_strong(idle, true)) return false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mpJob = &job;
        mPending = mThreads - 1;
        ++mGeneration;
    }
    mWake.notify_all();
    job(0);
    {
        std::unique_lock<std::mutex> lock(mMutex);
        mDone.wait(lock, [this] { return mPending == 0; });
        mpJob = nullptr;
    }
    mBusy.store(false);
    return true;
}

void ThreadPool::work(unsigned k) {
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(unsigned)>* pJob;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mWake.wait(lock, [&] { return mStop || mGeneration != seen; });
            if (mStop) return;
            seen = mGeneration;
            pJob = mpJob;
        }
        (*pJob)(k);
        std::lock_guard<std::mutex> lock(mMutex);
        if (--mPending == 0) mDone.notify_one();
    }
}

namespace {

// The pool the builds share, and the process that made it; its own cache
// line, as every search of a build tries its flag.
struct alignas(64) SharedPool {
    std::atomic<bool> mBusy{false};  // one TryRunShared at a time
    ThreadPool* mpPool = nullptr;
    pid_t mPid = 0;
    ~SharedPool() {
        // An inherited copy has no workers to join: it is left alone.
        if (mPid == getpid()) delete mpPool;
    }
};
SharedPool sShared;

}  // namespace

bool ThreadPool::TryRunShared(unsigned threads, const std::function<void(unsigned)>& job) {
    bool idle = false;
    if (!sShared.mBusy.compare_exchange_strong(idle, true)) return false;
    if (sShared.mpPool != nullptr && sShared.mPid != getpid()) sShared.mpPool = nullptr;
    if (sShared.mpPool != nullptr && sShared.mpPool->Threads() != threads) {
        delete sShared.mpPool;
        sShared.mpPool = nullptr;
    }
    if (sShared.mpPool == nullptr) {
        sShared.mpPool = new ThreadPool(threads);
        sShared.mPid = getpid();
    }
    const bool ran = sShared.mpPool->TryRun(job);
    sShared.mBusy.store(false);
    return ran;
}
