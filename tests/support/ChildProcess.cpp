#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace orvtest {

ChildResult RunInChild(const std::function<void()>& fn, unsigned timeoutSeconds) {
    ChildResult result;
    fflush(stdout);
    fflush(stderr);
    int fds[2];
    if (pipe(fds) != 0) return result;
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[1]);
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            close(devNull);
        }
        alarm(timeoutSeconds);
        fn();
        fflush(stdout);
        _exit(0);
    }
    close(fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof(buf))) > 0) result.out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.timedOut = (result.signal == SIGALRM);
    }
    return result;
}

TerminalChild::TerminalChild(const std::function<void()>& fn, bool background,
                             unsigned timeoutSeconds) {
    fflush(stdout);
    fflush(stderr);
    mMaster = posix_openpt(O_RDWR | O_NOCTTY);
    int fds[2];
    if (mMaster < 0 || grantpt(mMaster) != 0 || unlockpt(mMaster) != 0 || pipe(fds) != 0) {
        mEnded = true;
        return;
    }
    const std::string slaveName = ptsname(mMaster);
    mPid = fork();
    if (mPid != 0) {
        close(fds[1]);
        mStatusFd = fds[0];
        if (mPid < 0) mEnded = true;
        return;
    }
    // The middle process: a new session whose controlling terminal is the
    // pseudo-terminal, with its own group in the foreground.
    close(fds[0]);
    close(mMaster);
    setsid();
    int slave = open(slaveName.c_str(), O_RDWR);
    ioctl(slave, TIOCSCTTY, 0);
    pid_t child = fork();
    if (child == 0) {
        if (background) setpgid(0, 0);
        dup2(slave, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        close(slave);
        close(fds[1]);
        alarm(timeoutSeconds);
        fn();
        fflush(stdout);
        _exit(0);
    }
    if (background) setpgid(child, child);  // whichever of the two runs first
    int status = 0;
    waitpid(child, &status, WUNTRACED);
    if (WIFSTOPPED(status)) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    ssize_t written = write(fds[1], &status, sizeof(status));
    _exit(written == sizeof(status) ? 0 : 1);
}

TerminalChild::~TerminalChild() {
    if (mPid > 0 && !mEnded) kill(mPid, SIGKILL);
    if (mPid > 0) waitpid(mPid, nullptr, 0);
    if (mStatusFd >= 0) close(mStatusFd);
    if (mMaster >= 0) close(mMaster);
}

void TerminalChild::collect(int timeoutMs) {
    pollfd fds[2] = {{mMaster, POLLIN, 0}, {mStatusFd, POLLIN, 0}};
    if (poll(fds, mEnded ? 1 : 2, timeoutMs) <= 0) return;
    char buf[4096];
    if (fds[0].revents & POLLIN) {
        ssize_t n = read(mMaster, buf, sizeof(buf));
        for (ssize_t i = 0; i < n; ++i)
            if (buf[i] != '\r') mOut += buf[i];
    }
    if (!mEnded && (fds[1].revents & (POLLIN | POLLHUP))) {
        mEnded = true;
        if (read(mStatusFd, &mStatus, sizeof(mStatus)) != sizeof(mStatus)) mStatus = -1;
    }
}

bool TerminalChild::WaitUntil(const std::function<bool()>& done, unsigned timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (!done() && !mEnded) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        collect(10);
    }
    return true;
}

bool TerminalChild::Canonical() const {
    termios t;
    return tcgetattr(mMaster, &t) == 0 && (t.c_lflag & ICANON) != 0;
}

void TerminalChild::Press(char key) {
    ssize_t written = write(mMaster, &key, 1);
    (void)written;
}

ChildResult TerminalChild::Finish(unsigned timeoutSeconds) {
    ChildResult result;
    result.timedOut = !WaitUntil([] { return false; }, timeoutSeconds);
    // Drain what the child wrote before it ended.
    size_t before;
    do {
        before = mOut.size();
        if (mEnded) collect(0);
    } while (mOut.size() != before);
    result.out = mOut;
    if (!mEnded || mStatus == -1) return result;
    if (WIFSTOPPED(mStatus)) result.stopped = true;
    else if (WIFEXITED(mStatus)) result.exitCode = WEXITSTATUS(mStatus);
    else if (WIFSIGNALED(mStatus)) result.signal = WTERMSIG(mStatus);
    return result;
}

std::string LineField(int line) { return "Line: " + std::to_string(line) + "\n"; }

}  // namespace orvtest
