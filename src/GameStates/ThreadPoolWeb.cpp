// ThreadPoolWeb.cpp - the pool on the web, where the program has one thread
// (a page without the cross-origin isolation that threads need): it never
// takes a job, so every caller does its work alone, as it does while the
// desktop's pool is busy. The tree is the same either way.
#include "ThreadPool.h"

ThreadPool::ThreadPool(unsigned) : mThreads(1) {}

ThreadPool::~ThreadPool() {}

bool ThreadPool::TryRun(const std::function<void(unsigned)>&) { return false; }

bool ThreadPool::TryRunShared(unsigned, const std::function<void(unsigned)>&) { return false; }
