// ORV_LoopDesktop.cpp - how a run ends on the desktop: the frame loop, which
// the program paces itself, and the end of a failure report at a terminal.
#include "ORV_Platform.h"

#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace ORV {
namespace Platform {

int RunLoop(bool (*pFrame)(), int (*pFinish)()) {
    while (pFrame()) {
    }
    return pFinish();
}

// Waits for one key, without echo, but only when a person can press one: a
// report from a pipe, a test or CI ends at once, and so does one from a job
// in the background, which the terminal would stop (SIGTTOU) for changing its
// mode instead of letting it end.
static void waitKey() {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return;
    if (tcgetpgrp(STDIN_FILENO) != getpgrp()) return;
    termios saved;
    if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    char c;
    ssize_t got = read(STDIN_FILENO, &c, 1);
    (void)got;
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

void EndAfterReport() {
    waitKey();
    exit(1);
}

}  // namespace Platform
}  // namespace ORV
