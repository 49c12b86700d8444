#include "ReportText.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "ORV.h"

namespace orvtest {

namespace {

struct ReportEnded {};
[[noreturn]] void throwReportEnded() { throw ReportEnded(); }

// Standard output into a temporary file and the throwing handler, for its
// lifetime.
class Capture {
public:
    Capture() : mpFile(tmpfile()) {
        fflush(stdout);
        mSavedOut = dup(STDOUT_FILENO);
        if (mpFile != nullptr) dup2(fileno(mpFile), STDOUT_FILENO);
        mPrevious = ORV::Report::SetHandler(throwReportEnded);
    }
    ~Capture() {
        ORV::Report::SetHandler(mPrevious);
        fflush(stdout);
        dup2(mSavedOut, STDOUT_FILENO);
        close(mSavedOut);
        if (mpFile != nullptr) fclose(mpFile);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::string Text() {
        std::string text;
        if (mpFile == nullptr) return text;
        fflush(stdout);
        rewind(mpFile);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, mpFile)) > 0) text.append(buf, n);
        return text;
    }

private:
    FILE* mpFile;
    int mSavedOut = -1;
    ORV::Report::Handler mPrevious = nullptr;
};

}  // namespace

Captured CaptureReport(const std::function<void()>& fn) {
    Captured result;
    Capture capture;
    try {
        fn();
    } catch (const ReportEnded&) {
        result.reported = true;
    }
    result.out = capture.Text();
    return result;
}

std::string ReportText(const std::function<void()>& fn) {
    Captured c = CaptureReport(fn);
    if (!c.reported) ADD_FAILURE() << "returned without a report; printed: " << c.out;
    return c.out;
}

}  // namespace orvtest
