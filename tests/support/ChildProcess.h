// ChildProcess.h - run a piece of code in a child process and capture what it
// prints and how it ends. Reports end the process, so they are tested here.
#ifndef ORV_TEST_CHILD_PROCESS_H
#define ORV_TEST_CHILD_PROCESS_H

#include <functional>
#include <string>

namespace orvtest {

struct ChildResult {
    std::string out;     // everything written to standard output
    int exitCode = -1;   // exit status, or -1 when the child did not exit
    int signal = 0;      // the signal that ended the child, or 0
    bool timedOut = false;
};

// Runs fn in a forked child with standard input from /dev/null (so no report
// waits for a key) and standard output captured. A child that returns from fn
// exits with status 0. The child is killed after timeoutSeconds.
ChildResult RunInChild(const std::function<void()>& fn, unsigned timeoutSeconds = 60);

// The text of a report's Line field for a given line number.
std::string LineField(int line);

}  // namespace orvtest

#endif
