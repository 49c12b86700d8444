// ChildProcess.h - run a piece of code in a child process and capture what it
// prints and how it ends. Reports end the process, so they are tested here.
#ifndef ORV_TEST_CHILD_PROCESS_H
#define ORV_TEST_CHILD_PROCESS_H

#include <functional>
#include <string>

namespace orvtest {

struct ChildResult {
    std::string out;    // everything written to standard output
    int exitCode = -1;  // exit status, or -1 when the child did not exit
    int signal = 0;     // the signal that ended the child, or 0
    bool timedOut = false;
    bool stopped = false;  // stopped by a signal (then killed); TerminalChild only
};

// Runs fn in a forked child with standard input from /dev/null (so no report
// waits for a key) and standard output captured. A child that returns from fn
// exits with status 0. The child is killed after timeoutSeconds.
ChildResult RunInChild(const std::function<void()>& fn, unsigned timeoutSeconds = 60);

// A child whose standard input and output are a new pseudo-terminal, its
// controlling terminal: in the terminal's foreground process group, or with
// background in a group of its own, as a job started with '&' is. A child
// that is stopped (a background job touching the terminal) is killed and
// reported as stopped. Every wait ends at a deadline.
class TerminalChild {
public:
    TerminalChild(const std::function<void()>& fn, bool background, unsigned timeoutSeconds = 60);
    ~TerminalChild();
    TerminalChild(const TerminalChild&) = delete;
    TerminalChild& operator=(const TerminalChild&) = delete;

    // Collects the child's output until done() holds or the child has ended;
    // false when the deadline passed first.
    bool WaitUntil(const std::function<bool()>& done, unsigned timeoutSeconds = 20);
    // Output so far, with the terminal's "\r\n" read back as "\n".
    const std::string& Out() const { return mOut; }
    // The terminal reads whole lines (true) or single keys.
    bool Canonical() const;
    bool Ended() const { return mEnded; }
    void Press(char key);
    // Waits for the end and collects the rest of the output.
    ChildResult Finish(unsigned timeoutSeconds = 20);

private:
    void collect(int timeoutMs);
    int mMaster = -1;
    int mStatusFd = -1;  // the middle process writes the child's wait status here
    int mPid = -1;       // the middle process: session leader, owns the terminal
    bool mEnded = false;
    int mStatus = 0;
    std::string mOut;
};

// The text of a report's Line field for a given line number.
std::string LineField(int line);

}  // namespace orvtest

#endif
