// ORV_Timer.cpp - the clock, the tick conversion and the frame queries.
#include "ORV_Platform.h"

#include <time.h>

namespace ORV {

// The monotonic clock counts nanoseconds.
static const int64_t kTicksPerSecond = 1000000000;

double TicksToSeconds(int64_t ticks, int64_t frequency) {
    if (frequency < 1) return 0.0;
    // Dividing first keeps the fraction exact even when ticks is far beyond
    // what a double holds to the unit.
    return static_cast<double>(ticks / frequency) +
           static_cast<double>(ticks % frequency) / static_cast<double>(frequency);
}

void ReadTimer(double* pTime) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    int64_t ticks = static_cast<int64_t>(now.tv_sec) * kTicksPerSecond + now.tv_nsec;
    *pTime = TicksToSeconds(ticks, kTicksPerSecond);
}

#define ORV_NOT_INSTANCED "ORV::System is not instanced yet!!"

uint32_t FrameCounter() {
    ORV_ASSERT_MESG(spSystem, ORV_NOT_INSTANCED);
    return spSystem->mFrameCounter;
}

uint32_t FrameRate() {
    ORV_ASSERT_MESG(spSystem, ORV_NOT_INSTANCED);
    return spSystem->mFrameRate;
}

double FrameTime() {
    ORV_ASSERT_MESG(spSystem, ORV_NOT_INSTANCED);
    return spSystem->mFrameTime;
}

void System::SetFrameRate(uint32_t rate) {
    mTargetRate = Max(rate, 1u);
    mTargetFrameTime = 1.0 / static_cast<double>(mTargetRate);
    mFrameCounter = 0;
    mFrameRate = mTargetRate;
    mFrameTime = mTargetFrameTime;
}

}  // namespace ORV
