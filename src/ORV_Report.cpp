// ORV_Report.cpp - the out-of-line half of the failure reports: the function
// name and the program's handler. How a report ends is the platform's
// (Platform::EndAfterReport).
#include "ORV_Platform.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace ORV {
namespace Report {

namespace {

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Past the symbol of an operator whose keyword ends at p ("<", "<<=", "()",
// " new[]", " bool"): at the '(' of its parameter list. The symbol's '<', '>'
// and blanks are neither brackets nor word breaks; a conversion's type may
// hold template arguments with parentheses of their own.
const char* skipOperatorSymbol(const char* p) {
    if (p[0] == '(' && p[1] == ')') return p + 2;
    if (*p != ' ') {
        while (*p && *p != '(') ++p;
        return p;
    }
    int angle = 0;
    for (; *p && !(*p == '(' && angle == 0); ++p) {
        if (*p == '<') ++angle;
        else if (*p == '>') --angle;
    }
    return p;
}

}  // namespace

const char* FuncName(const char* pPretty) {
    static char sName[512];
    if (pPretty == nullptr) {
        sName[0] = '\0';
        return sName;
    }
    // One pass up to the parameter list: the name starts after the last blank
    // outside brackets (before it stands the return type, "static ORV::Image*"),
    // and the parameter list is the first '(' outside template brackets that
    // follows a name. A '(' that follows no name opens a part of the name
    // ("(anonymous namespace)" in clang), and an operator's symbol is part of
    // the name too.
    const char* pBegin = pPretty;
    const char* p = pPretty;
    int angle = 0;
    while (*p) {
        if (angle == 0 && std::strncmp(p, "operator", 8) == 0 && !isNameChar(p[8]) &&
            (p == pPretty || !isNameChar(p[-1]))) {
            p = skipOperatorSymbol(p + 8);
            break;
        }
        const char c = *p;
        if (c == '<') {
            ++angle;
        } else if (c == '>') {
            --angle;
        } else if (c == ' ' && angle == 0) {
            pBegin = p + 1;
        } else if (c == '(' && angle == 0) {
            if (p > pPretty && (isNameChar(p[-1]) || p[-1] == '>')) break;
            int paren = 0;  // skip the parenthesised part, blanks included
            do {
                if (*p == '(') ++paren;
                else if (*p == ')') --paren;
                ++p;
            } while (*p && paren > 0);
            continue;
        }
        ++p;
    }
    const char* pEnd = p;
    while (pBegin < pEnd && (*pBegin == '*' || *pBegin == '&')) ++pBegin;
    size_t len = static_cast<size_t>(pEnd - pBegin);
    if (len >= sizeof(sName)) len = sizeof(sName) - 1;
    std::memcpy(sName, pBegin, len);
    sName[len] = '\0';
    return sName;
}

static std::atomic<Handler> sHandler{nullptr};

Handler SetHandler(Handler handler) { return sHandler.exchange(handler); }

void End() {
    fflush(stdout);
    if (Handler handler = sHandler.load()) handler();
    Platform::EndAfterReport();
}

void StdAssertFail(const char* pExpr, const char* pFile, int line, const char* pFunc) {
    fflush(stdout);
    fprintf(stderr, "Assertion failed: %s, file %s, line %d (%s)\n", pExpr, pFile, line, pFunc);
    fflush(stderr);
    abort();
}

}  // namespace Report
}  // namespace ORV
