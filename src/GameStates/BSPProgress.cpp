// BSPProgress.cpp - the build's progress line on standard output.
#include "BSPProgress.h"

#include <cstdio>

namespace {

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

BSPProgressLine::BSPProgressLine(double delaySeconds)
    : mDelay(delaySeconds), mStart(Clock::now()), mLast(mStart) {}

void BSPProgressLine::Update(size_t nodesDone, size_t trianglesLeft) {
    const Clock::time_point now = Clock::now();
    if (seconds(now - mStart) < mDelay) return;
    if (mShown && seconds(now - mLast) < 0.1) return;
    mLast = now;
    mShown = true;
    char text[WIDTH + 1];
    snprintf(text, sizeof(text), "Building the BSP tree: %zu nodes done, %zu triangles left",
             nodesDone, trianglesLeft);
    printf("\r%-*s", WIDTH, text);
    fflush(stdout);
}

void BSPProgressLine::Finish() {
    if (!mShown) return;
    mShown = false;
    printf("\r%*s\r", WIDTH, "");
    fflush(stdout);
}

std::function<void(const BSPBuildProgress&)> BSPProgressLine::Callback() {
    return [this](const BSPBuildProgress& p) {
        if (p.finished) Finish();
        else Update(p.nodesDone, p.trianglesLeft);
    };
}
