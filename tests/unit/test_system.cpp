// The System without a window: centring arithmetic, the console binding, the
// singleton, and window creation failing cleanly without a display.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "ChildProcess.h"
#include "ORV.h"
#include "ORV_Platform.h"

using ORV::Platform::CentredOrigin;
using orvtest::RunInChild;

TEST(CentredOrigin, HalvesTheSpareRoomTowardZero) {
    EXPECT_EQ(CentredOrigin(0, 1920, 800), 560);
    EXPECT_EQ(CentredOrigin(0, 1080, 600), 240);
    EXPECT_EQ(CentredOrigin(0, 1025, 800), 112);
    EXPECT_EQ(CentredOrigin(0, 800, 800), 0);
    // Larger than the screen: negative, and -121 / 2 is -60, not -61.
    EXPECT_EQ(CentredOrigin(0, 1280, 1400), -60);
    EXPECT_EQ(CentredOrigin(0, 1280, 1401), -60);
    EXPECT_EQ(CentredOrigin(0, 0, std::numeric_limits<uint32_t>::max()), -2147483647);
}

// A primary screen beside or above another one does not start at 0.
TEST(CentredOrigin, StartsFromTheScreensPosition) {
    EXPECT_EQ(CentredOrigin(1920, 1920, 800), 2480);
    EXPECT_EQ(CentredOrigin(-1080, 1080, 600), -840);
    EXPECT_EQ(CentredOrigin(-16, 0, std::numeric_limits<uint32_t>::max()),
              std::numeric_limits<int>::min());
}

TEST(SystemSingleton, InstanceIsOneObjectUntilDestroyed) {
    ORV::System* pSystem = ORV::System::Instance();
    EXPECT_EQ(ORV::System::Instance(), pSystem);
    EXPECT_EQ(pSystem->mpWinTitle, nullptr);
    EXPECT_FALSE(pSystem->mActive);
    ORV::System::Destroy();
    ORV::System::Destroy();  // absent: nothing happens
}

TEST(InitConsole, BindsOnceAndLeavesAPipeUntouched) {
    auto r = RunInChild([] {
        ORV::System* pSystem = ORV::System::Instance();
        bool first = pSystem->InitConsole("Orvane");
        bool second = pSystem->InitConsole("Orvane");
        printf("[%d %d]", first, second);
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "[1 0]") << "no title sequence goes into a pipe";
}

TEST(InitConsole, SetsTheTerminalTitleOnATerminal) {
    auto r = RunInChild([] {
        int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) _exit(3);
        int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
        if (terminal < 0) _exit(3);
        fflush(stdout);
        int savedOut = dup(STDOUT_FILENO);
        dup2(terminal, STDOUT_FILENO);
        bool first = ORV::System::Instance()->InitConsole("Orvane");
        bool second = ORV::System::Instance()->InitConsole("Other");
        fflush(stdout);
        dup2(savedOut, STDOUT_FILENO);

        std::string seen;
        pollfd p = {master, POLLIN, 0};
        char buf[64];
        while (poll(&p, 1, 200) > 0) {
            ssize_t n = read(master, buf, sizeof(buf));
            if (n <= 0) break;
            seen.append(buf, static_cast<size_t>(n));
        }
        for (char c : seen) printf(c < 32 ? "<%d>" : "%c", c);
        printf(" [%d %d]", first, second);
    });
    ASSERT_NE(r.exitCode, 3) << "no pseudo-terminal";
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "<27>]0;Orvane<7> [1 0]");
}

TEST(InitWindow, WithoutADisplayFailsAndKeepsTheRequest) {
    auto r = RunInChild([] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        ORV::System* pSystem = ORV::System::Instance();
        bool ok = pSystem->InitWindow(nullptr, nullptr, 800, 600);
        printf("%d %s %d %u %u %d %d", ok, pSystem->mpWinTitle,
               pSystem->mpClassName == pSystem->mpWinTitle, pSystem->Width(), pSystem->Height(),
               pSystem->IsRunning(), pSystem->Window() == nullptr);
        ORV::System::Destroy();
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "0 NONAME 1 800 600 0 1");
}
