// ReportText.h - a report's text captured in this process: while fn runs,
// standard output goes to a file and a report handler that throws hands a
// report back here instead of ending the process. The default ending (key
// wait, exit status 1) is tested in child processes (ChildProcess.h).
#ifndef ORV_TEST_REPORT_TEXT_H
#define ORV_TEST_REPORT_TEXT_H

#include <functional>
#include <string>

namespace orvtest {

struct Captured {
    std::string out;        // everything fn printed on standard output
    bool reported = false;  // fn ended in a report, which ends out
};
Captured CaptureReport(const std::function<void()>& fn);

// Everything fn printed, its report last; a test failure when fn returned
// without a report.
std::string ReportText(const std::function<void()>& fn);

}  // namespace orvtest

#endif
