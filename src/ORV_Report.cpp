// ORV_Report.cpp - the out-of-line half of the failure reports: the function
// name, the key wait and the exit.
#include "ORV.h"

#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace ORV {
namespace Report {

const char* FuncName(const char* pPretty) {
    static char sName[512];
    if (pPretty == nullptr) {
        sName[0] = '\0';
        return sName;
    }
    // The parameter list starts at the first '(' outside template brackets,
    // unless the name itself is an operator ("operator()").
    const char* pEnd = pPretty;
    int angle = 0;
    for (; *pEnd; ++pEnd) {
        if (*pEnd == '<') ++angle;
        else if (*pEnd == '>') --angle;
        else if (*pEnd == '(' && angle == 0) {
            if (pEnd - pPretty >= 8 && std::strncmp(pEnd - 8, "operator", 8) == 0 &&
                pEnd[1] == ')') {
                pEnd += 1;  // "operator()": the next '(' opens the parameters
                continue;
            }
            break;
        }
    }
    // The name is the last blank-separated word before it, outside brackets;
    // what precedes it is the return type ("static ORV::Image*").
    const char* pBegin = pPretty;
    angle = 0;
    for (const char* p = pPretty; p < pEnd; ++p) {
        if (*p == '<') ++angle;
        else if (*p == '>') --angle;
        else if (*p == ' ' && angle == 0) pBegin = p + 1;
    }
    while (pBegin < pEnd && (*pBegin == '*' || *pBegin == '&')) ++pBegin;
    size_t len = static_cast<size_t>(pEnd - pBegin);
    if (len >= sizeof(sName)) len = sizeof(sName) - 1;
    std::memcpy(sName, pBegin, len);
    sName[len] = '\0';
    return sName;
}

// Waits for one key, without echo, but only when a person can press one: a
// report from a pipe, a test or CI ends at once.
static void waitKey() {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return;
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

void End() {
    fflush(stdout);
#ifdef ORV_FUZZ
    throw Halt();
#endif
    waitKey();
    exit(1);
}

void StdAssertFail(const char* pExpr, const char* pFile, int line, const char* pFunc) {
    fflush(stdout);
    fprintf(stderr, "Assertion failed: %s, file %s, line %d (%s)\n", pExpr, pFile, line,
            pFunc);
    fflush(stderr);
    abort();
}

}  // namespace Report
}  // namespace ORV
