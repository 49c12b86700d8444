// BSPProgress.h - a long build's progress on one console line, "Building the
// BSP tree: N nodes done, M triangles left", rewritten in place and blanked
// at the end with the cursor at its start, so that what is printed next (the
// demo's status line, or a report that ends the build) starts on a clean line.
#ifndef BSP_PROGRESS_H
#define BSP_PROGRESS_H

#include "BSPBuild.h"

#include <chrono>
#include <cstddef>
#include <functional>

class BSPProgressLine {
public:
    // Seconds a build runs before its line first shows.
    static constexpr double DELAY = 0.5;

    // The clock starts here, with the build.
    explicit BSPProgressLine(double delaySeconds = DELAY);
    ~BSPProgressLine() { Finish(); }
    BSPProgressLine(const BSPProgressLine&) = delete;
    BSPProgressLine& operator=(const BSPProgressLine&) = delete;

    // Shows the figures once the delay has passed, at most ten times a second.
    void Update(size_t nodesDone, size_t trianglesLeft);
    // Blanks the line if it was shown.
    void Finish();
    // A BSPBuildSettings::progress that drives this line, which must outlive
    // the build.
    std::function<void(const BSPBuildProgress&)> Callback();

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int WIDTH = 78;
    double mDelay;
    Clock::time_point mStart, mLast;
    bool mShown = false;
};

#endif  // BSP_PROGRESS_H
