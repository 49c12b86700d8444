// The clock's tick conversion, the frame rate and counter, the pacing wait
// (run without a window) and the queries' report before the System exists.
#include <gtest/gtest.h>
#include <time.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <string>

#include "ChildProcess.h"
#include "ORV.h"
#include "ReportText.h"

using orvtest::ReportText;

TEST(TicksToSeconds, ThreeAndAHalfPeriodsReadExactly) {
    for (int64_t f :
         {int64_t(2), int64_t(1000), int64_t(3579544), int64_t(10000000), int64_t(1000000000)}) {
        EXPECT_EQ(ORV::TicksToSeconds(3 * f + f / 2, f), 3.5) << "frequency " << f;
    }
    EXPECT_EQ(ORV::TicksToSeconds(0, 1000000000), 0.0);
    EXPECT_EQ(ORV::TicksToSeconds(1, 4), 0.25);
}

TEST(TicksToSeconds, CountsNear2To63KeepTheirFraction) {
    const int64_t kMax = std::numeric_limits<int64_t>::max();  // 2^63 - 1
    EXPECT_EQ(ORV::TicksToSeconds(kMax, 1000000000), 9223372036.854775807);
    EXPECT_EQ(ORV::TicksToSeconds(kMax, 10000000), 922337203685.4775807);
    // 9223372036853890.565 s: converting the count to double first rounds it
    // to ...892 s; whole seconds plus fraction round correctly.
    EXPECT_EQ(ORV::TicksToSeconds(INT64_C(9223372036853890565), 1000), 9223372036853890.0);
    EXPECT_EQ(ORV::TicksToSeconds(-(3 * 1000 + 500), 1000), -3.5);
}

TEST(TicksToSeconds, FrequencyBelowOneReadsZero) {
    EXPECT_EQ(ORV::TicksToSeconds(12345, 0), 0.0);
    EXPECT_EQ(ORV::TicksToSeconds(12345, -7), 0.0);
}

TEST(ReadTimer, ReadsTheMonotonicClockInSeconds) {
    timespec before, after;
    double t0 = 0.0, t1 = 0.0;
    clock_gettime(CLOCK_MONOTONIC, &before);
    ORV::ReadTimer(&t0);
    ORV::ReadTimer(&t1);
    clock_gettime(CLOCK_MONOTONIC, &after);
    double lo = static_cast<double>(before.tv_sec) + before.tv_nsec * 1e-9;
    double hi = static_cast<double>(after.tv_sec) + after.tv_nsec * 1e-9;
    EXPECT_GE(t0, lo - 1e-6);
    EXPECT_LE(t1, hi + 1e-6);
    EXPECT_LE(t0, t1);
}

class FrameTiming : public ::testing::Test {
protected:
    void SetUp() override { mpSystem = ORV::System::Instance(); }
    void TearDown() override { ORV::System::Destroy(); }
    // One frame without a window: only the clock, the pacing and the count.
    void frame() {
        mpSystem->BeginFrame();
        mpSystem->EndFrame();
    }
    ORV::System* mpSystem = nullptr;
};

TEST_F(FrameTiming, NewSystemRunsAtSixtyWithNoFrameShown) {
    EXPECT_EQ(ORV::FrameRate(), 60u);
    EXPECT_EQ(ORV::FrameCounter(), 0u);
    EXPECT_EQ(ORV::FrameTime(), 1.0 / 60.0);
    EXPECT_FALSE(mpSystem->IsRunning());
    EXPECT_EQ(mpSystem->Window(), nullptr);
}

TEST_F(FrameTiming, SetFrameRateZeroMeansOnePerSecondAndResetsTheCounter) {
    frame();
    ASSERT_EQ(ORV::FrameCounter(), 1u);
    mpSystem->SetFrameRate(0);
    EXPECT_EQ(mpSystem->mTargetRate, 1u);
    EXPECT_EQ(mpSystem->mTargetFrameTime, 1.0);
    EXPECT_EQ(ORV::FrameRate(), 1u);
    EXPECT_EQ(ORV::FrameTime(), 1.0);
    EXPECT_EQ(ORV::FrameCounter(), 0u);
    mpSystem->SetFrameRate(250);
    EXPECT_EQ(ORV::FrameRate(), 250u);
    EXPECT_EQ(ORV::FrameTime(), 1.0 / 250.0);
}

TEST_F(FrameTiming, EachFrameCountsOnceAndLastsAtLeastTheTarget) {
    for (uint32_t i = 1; i <= 6; ++i) {
        frame();
        EXPECT_EQ(ORV::FrameCounter(), i);
        EXPECT_GE(ORV::FrameTime(), 1.0 / 60.0);
        EXPECT_EQ(ORV::FrameRate(), 60u) << "the rate is the target, not measured";
    }
}

TEST_F(FrameTiming, AnOverrunFrameReportsItsWholeLength) {
    mpSystem->SetFrameRate(1000);
    mpSystem->BeginFrame();
    double start = 0.0, now = 0.0;
    ORV::ReadTimer(&start);
    do ORV::ReadTimer(&now);
    while (now - start < 0.02);
    mpSystem->EndFrame();
    EXPECT_GE(ORV::FrameTime(), 0.02);
}

TEST_F(FrameTiming, CounterWrapsAt2To32) {
    mpSystem->SetFrameRate(1000);
    mpSystem->mFrameCounter = std::numeric_limits<uint32_t>::max();
    frame();
    EXPECT_EQ(ORV::FrameCounter(), 0u);
    frame();
    EXPECT_EQ(ORV::FrameCounter(), 1u);
}

// The line of the ORV_ASSERT_MESG in the definition of a query, read from the
// source so the whole report can be compared.
static int queryAssertLine(const std::string& definition) {
    std::ifstream in(std::string(ORV_SOURCE_DIR) + "/src/ORV_Timer.cpp");
    std::string text;
    bool inside = false;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.find(definition) != std::string::npos) inside = true;
        if (inside && text.find("ORV_ASSERT_MESG") != std::string::npos) return line;
    }
    return -1;
}

static std::string notInstanced(const char* pFunc, int line) {
    return std::string("ORV_ASSERT_MESG: spSystem\n") + orvtest::LineField(line) +
           "Func: " + pFunc + "\nFile: src/ORV_Timer.cpp\n" +
           "Mesg: ORV::System is not instanced yet!!\n";
}

TEST(FrameQueries, HaltBeforeTheSystemExists) {
    EXPECT_EQ(ReportText([] { ORV::FrameCounter(); }),
              notInstanced("ORV::FrameCounter", queryAssertLine("FrameCounter() {")));
    EXPECT_EQ(ReportText([] { ORV::FrameRate(); }),
              notInstanced("ORV::FrameRate", queryAssertLine("FrameRate() {")));
    EXPECT_EQ(ReportText([] { ORV::FrameTime(); }),
              notInstanced("ORV::FrameTime", queryAssertLine("FrameTime() {")));
}

TEST(FrameQueries, HaltAgainAfterTheSystemIsDestroyed) {
    ORV::System::Instance();
    ORV::System::Destroy();
    ORV::System::Destroy();  // absent: nothing happens
    EXPECT_EQ(ReportText([] { ORV::FrameRate(); }),
              notInstanced("ORV::FrameRate", queryAssertLine("FrameRate() {")));
}
