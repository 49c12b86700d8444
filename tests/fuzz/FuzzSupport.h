// FuzzSupport.h - what every fuzz target shares (include it in exactly one
// file of each target): running code whose reports
// return here instead of ending the process, capturing the report's text, and
// the checks that turn a broken invariant into a crash libFuzzer keeps.
//
// Every target installs a report handler (ORV::Report::SetHandler) that
// throws ReportEnded once the report is printed. A report is a normal outcome
// for a bad input; a crash, a sanitizer finding, a timeout, running out of
// memory or a failed FUZZ_CHECK is a finding.
#ifndef ORV_FUZZ_SUPPORT_H
#define ORV_FUZZ_SUPPORT_H

#include "ORV.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace orvfuzz {

// What the targets' report handler throws: the report returns to the target
// instead of ending the process.
struct ReportEnded {};
inline void ThrowReportEnded() { throw ReportEnded(); }

// Stops with the failed condition on standard error; libFuzzer saves the input.
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            abort();                                                                       \
        }                                                                                  \
    } while (0)

// Standard output goes to a memory stream, so that the text of a report can
// be checked and nothing is printed for the millions of inputs that report.
// ORV_FUZZ_VERBOSE=1 leaves standard output alone (to read reports while
// replaying one input); TakeStdout then gives empty texts.
inline char* gpOutBuffer = nullptr;
inline size_t gOutSize = 0;
inline bool gOutCaptured = false;

inline void CaptureStdout() {
    const char* pVerbose = getenv("ORV_FUZZ_VERBOSE");
    if (pVerbose != nullptr && pVerbose[0] == '1') return;
    FILE* pStream = open_memstream(&gpOutBuffer, &gOutSize);
    if (pStream == nullptr) return;
    stdout = pStream;
    gOutCaptured = true;
}

// Everything printed on the captured standard output since the last call.
inline std::string TakeStdout() {
    if (!gOutCaptured) return std::string();
    // A flush publishes the buffer and the position; writing then starts
    // again at the beginning.
    fflush(stdout);
    std::string text(gpOutBuffer, gOutSize);
    fseek(stdout, 0, SEEK_SET);
    return text;
}

// The bytes up to the first NUL, as a NUL-terminated text in a buffer of
// exactly that size, so that a read past its end shows.
inline std::vector<char> TextOf(const uint8_t* pData, size_t size) {
    size_t len = 0;
    while (len < size && pData[len] != 0) ++len;
    std::vector<char> text(pData, pData + len);
    text.push_back('\0');
    return text;
}

// A long tree build keeps a progress line on the console, rewritten in place
// and so starting with '\r'; a report that ends the build follows it on the
// same line. The report is what comes after it.
inline std::string WithoutProgress(const std::string& text) {
    if (text.empty() || text[0] != '\r') return text;
    size_t at = text.find("ORV_");
    return at == std::string::npos ? text : text.substr(at);
}

// Runs fn; true when it returned, false when a report ended it (its text in
// *pReport).
template <typename Fn>
bool RunReporting(Fn&& fn, std::string* pReport) {
    TakeStdout();
    try {
        fn();
    } catch (const ReportEnded&) {
        *pReport = WithoutProgress(TakeStdout());
        return false;
    }
    return true;
}

// The shape every report has: a kind line, then Line, Func and File lines.
inline bool IsReport(const std::string& text) {
    static const char* const kKinds[] = {
        "ORV_HALT:",         "ORV_ASSERT: ",       "ORV_ASSERT_MESG: ",
        "ORV_ASSERT_PARM: ", "ORV_ASSERT_ALLOC: ", "ORV_GL_ERROR:"};
    bool kind = false;
    for (const char* pKind : kKinds) kind = kind || text.rfind(pKind, 0) == 0;
    return kind && text.find("\nLine: ") != std::string::npos &&
           text.find("\nFunc: ") != std::string::npos && text.find("\nFile: ") != std::string::npos;
}

// The one report a tree build may end in: cutting would grow it past its
// stated multiple of the input (a hostile soup, or coordinates so large that
// float rounding is coarser than the tolerances).
inline bool IsGrowthRefusal(const std::string& text) {
    return !gOutCaptured ||
           (IsReport(text) &&
            text.find("\nMesg: Cutting would grow the tree past ") != std::string::npos);
}

// SplitTriangle called by itself halts on a sliver whose side the tolerances
// cut down to fewer than three points (the build drops such a side instead).
// More than four points cannot come from three edges and means the cut is
// wrong.
inline bool IsSliverHalt(const std::string& text) {
    if (!gOutCaptured) return true;
    if (!IsReport(text) || text.rfind("ORV_HALT:\n", 0) != 0 ||
        text.find("\nFunc: BSPTree::SplitTriangle\n") == std::string::npos)
        return false;
    for (const char* pSide : {"front", "back"})
        for (char n = '0'; n <= '2'; ++n)
            if (text.find(std::string("\nMesg: Invalid ") + pSide + " list size: " + n + "\n") !=
                std::string::npos)
                return true;
    return false;
}

// A report that ended a run must be a whole, well-formed report.
#define FUZZ_CHECK_REPORT(text) FUZZ_CHECK(!orvfuzz::gOutCaptured || orvfuzz::IsReport(text))

}  // namespace orvfuzz

// Every target starts with standard output captured and reports handed back.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    orvfuzz::CaptureStdout();
    ORV::Report::SetHandler(orvfuzz::ThrowReportEnded);
    return 0;
}

#endif
