// ORV_TokenTree.cpp - the brace-structured text reader: a two-pass in-place
// tokenizer and navigation over the flat token array.
#include "ORV_TokenTree.h"

#include <sys/stat.h>

#include <locale.h>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

namespace ORV {

namespace {

typedef TokenTree::Token Token;

// The file and the text buffer are held so that a report thrown by the
// program's handler (Report::SetHandler) releases them on its way out.
struct FileCloser {
    void operator()(FILE* pFile) const { fclose(pFile); }
};
using FileHolder = std::unique_ptr<FILE, FileCloser>;

bool isTokenByte(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x21 && u <= 0x7E;
}

// In a built tree brace tokens are exactly "{" and "}".
bool isOpen(const char* pText) { return pText[0] == '{'; }
bool isClose(const char* pText) { return pText[0] == '}'; }
bool isBrace(const char* pText) { return isOpen(pText) || isClose(pText); }

bool equalNoCase(const char* pA, const char* pB) {
    for (;; ++pA, ++pB) {
        char a = *pA, b = *pB;
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
        if (a == '\0') return true;
    }
}

int toInt(const char* pText) {
    long v = strtol(pText, nullptr, 10);
    // atoi wraps out-of-range values into harmless-looking ones; saturate so
    // that a huge index stays out of range instead of becoming 0.
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

float toFloat(const char* pText) {
    // "." is the decimal point whatever locale the process may have set.
    static const locale_t sCLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return static_cast<float>(strtod_l(pText, nullptr, sCLocale));
}

template <typename T, typename Convert>
uint32_t convertSiblings(const Token& first, T* pArray, uint32_t num, Convert convert) {
    uint32_t count = 0;
    for (Token t = first; !t.IsNull() && (num == 0 || count < num); t = t.Next(), ++count)
        pArray[count] = convert(t.mpText);
    return count;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tokenizer
// ---------------------------------------------------------------------------

bool TokenTree::nextToken(Cursor& c) {
    char* p = c.pPos;
    for (;;) {
        while (*p != '\0' && !isTokenByte(*p)) {
            if (*p == '\n') ++c.line;
            ++p;
        }
        if (*p == '\0') {
            c.pPos = p;
            return false;
        }
        if (p[0] == '/' && p[1] == '*') {
            uint32_t commentLine = c.line;
            char* pBegin = p + 2;
            while (*pBegin != '\0' && !(pBegin[0] == '*' && pBegin[1] == '/')) {
                if (*pBegin == '\n') ++c.line;
                ++pBegin;
            }
            ORV_ASSERT_MESG(*pBegin, "%u: unterminated 'c' comment", commentLine);
            p = pBegin + 2;
            continue;
        }
        if (p[0] == '/' && p[1] == '/') {
            while (*p != '\0' && *p != '\n') ++p;
            if (*p == '\n') {
                ++c.line;
                ++p;
            }
            continue;
        }
        break;
    }

    c.tokenLine = c.line;
    char* pBegin;
    char* pEnd;
    if (*p == '"') {
        pBegin = p + 1;
        pEnd = pBegin;
        while (*pEnd != '\0' && *pEnd != '"') {
            // A backslash takes the next byte, whatever it is, into the token.
            if (*pEnd == '\\' && *++pEnd == '\0') break;
            if (*pEnd == '\n') ++c.line;
            ++pEnd;
        }
        ORV_ASSERT_MESG(*pEnd, "%u: unterminated token", c.tokenLine);
    } else {
        pBegin = p;
        pEnd = p;
        while (isTokenByte(*pEnd)) ++pEnd;
    }
    if (*pBegin == '{' || *pBegin == '}')
        ORV_ASSERT_MESG((pEnd - pBegin) == 1, "%u: missing space after '%c'", c.tokenLine, *pBegin);

    c.pBegin = pBegin;
    c.pEnd = pEnd;
    if (*pEnd == '\0') {
        c.pPos = pEnd;
    } else {
        if (*pEnd == '\n') ++c.line;
        c.pPos = pEnd + 1;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Trees
// ---------------------------------------------------------------------------

TokenTree* TokenTree::Load(const char* pFilename) {
    ORV_ASSERT_PARM(pFilename);
    FileHolder pFile(fopen(pFilename, "rb"));
    if (pFile == nullptr) return nullptr;
    // A directory opens but has no bytes to read and no usable size.
    struct stat info;
    long fileLen = -1;
    if (fstat(fileno(pFile.get()), &info) == 0 && !S_ISDIR(info.st_mode) &&
        fseek(pFile.get(), 0, SEEK_END) == 0)
        fileLen = ftell(pFile.get());
    if (fileLen < 0) return nullptr;
    fseek(pFile.get(), 0, SEEK_SET);
    ORV_ASSERT_MESG(fileLen <= static_cast<long>(MAX_FILE_SIZE),
                    "'%s' is too large (%ld bytes, more than %u)!!", pFilename, fileLen,
                    MAX_FILE_SIZE);

    size_t fileSize = static_cast<size_t>(fileLen);
    std::unique_ptr<char[]> pRaw(new char[fileSize + 1]);
    ORV_ASSERT_ALLOC(pRaw);
    pRaw[fileSize] = '\0';
    size_t readSize = fread(pRaw.get(), 1, fileSize, pFile.get());
    ORV_ASSERT_MESG(readSize == fileSize, "incorrect number of data read!!");
    pFile.reset();

    TokenTree* pTT = Create(pRaw.get());
    if (pTT == nullptr) return nullptr;
    pTT->mpBuffer = pRaw.release();
    return pTT;
}

TokenTree* TokenTree::Create(char* pText) {
    if (pText == nullptr) return nullptr;

    // Counting pass: reads the whole text, so every format error is reported
    // before anything is allocated or cut.
    Cursor c = {pText, 1, 0, nullptr, nullptr};
    uint32_t tokenNum = 0;
    uint32_t keptNum = 0;
    uint32_t bracesCtr = 0;
    while (nextToken(c)) {
        // Refused while counting, before the token array is allocated.
        ORV_ASSERT_MESG(tokenNum < MAX_TOKEN_NUM, "%u: too many tokens (more than %u)", c.tokenLine,
                        MAX_TOKEN_NUM);
        ++tokenNum;
        if (isOpen(c.pBegin)) {
            ++bracesCtr;
        } else if (isClose(c.pBegin)) {
            ORV_ASSERT_MESG(bracesCtr > 0, "%u: too many '}'", c.tokenLine);
            if (--bracesCtr == 0) keptNum = tokenNum;
        }
    }
    if (keptNum == 0) return nullptr;

    TokenTree* pTT = new TokenTree;
    ORV_ASSERT_ALLOC(pTT);
    pTT->mTokenNum = keptNum;
    pTT->mppToken = new char*[keptNum];
    ORV_ASSERT_ALLOC(pTT->mppToken);

    // Storing pass: the same tokens again, now cut in place.
    c = Cursor{pText, 1, 0, nullptr, nullptr};
    uint32_t tokenCtr = 0;
    while (tokenCtr < pTT->mTokenNum && nextToken(c)) {
        // An invariant of the reader, kept as its own check although the
        // loop's condition holds it: it never fires.
        ORV_ASSERT_MESG(tokenCtr < pTT->mTokenNum, "inconsistent counter");
        pTT->mppToken[tokenCtr++] = c.pBegin;
        *c.pEnd = '\0';
    }

    pTT->mpRoot = new Token(pTT->mppToken[0], pTT, 0);
    ORV_ASSERT_ALLOC(pTT->mpRoot);
    return pTT;
}

void TokenTree::Destroy(TokenTree* pTree) {
    if (pTree == nullptr) return;
    delete pTree->mpRoot;
    pTree->mpRoot = nullptr;
    delete[] pTree->mppToken;
    pTree->mppToken = nullptr;
    pTree->mTokenNum = 0;
    delete[] pTree->mpBuffer;
    pTree->mpBuffer = nullptr;
    delete pTree;
}

// The search is defined as a depth-first walk through Child and Next, but
// Next rescans the blocks it skips, which makes that walk quadratic in the
// nesting depth. One forward scan visits the same tokens in the same order:
// the direct tokens of a block are visited when the block is "entered", which
// is decided at its opening brace, and a stack of those flags (on the heap,
// not the call stack) follows the nesting.
TokenTree::Token TokenTree::Find(const char* pData, Token start) {
    ORV_ASSERT_PARM(pData);
    bool wholeTree = start.IsNull();
    TokenTree* pTree = wholeTree ? this : start.mpTree;
    uint32_t first = wholeTree ? 0 : start.mIndex;
    if (pTree == nullptr || first >= pTree->mTokenNum) return Token();
    char** ppToken = pTree->mppToken;
    uint32_t n = pTree->mTokenNum;
    if (equalNoCase(ppToken[first], pData)) return Token(ppToken[first], pTree, first);

    std::vector<bool> stack;
    bool entered = true;
    if (wholeTree) {
        // A root that is itself a brace walks the inside of its block, not
        // the top level.
        if (isOpen(ppToken[0])) stack.push_back(false);
    } else if (first + 1 >= n || !isOpen(ppToken[first + 1])) {
        return Token();
    }

    bool visitedPrev2 = false;  // whether token j - 2 was visited
    bool visitedPrev = true;    // whether token j - 1 was visited
    for (uint32_t j = first + 1; j < n; ++j) {
        const char* pText = ppToken[j];
        bool visited;
        if (isOpen(pText)) {
            // A block that begins with a block: Child returns this brace.
            visited = isOpen(ppToken[j - 1]) && visitedPrev2;
            bool firstIsWord = (j + 1 < n) && !isBrace(ppToken[j + 1]);
            stack.push_back(entered);
            entered = visited || (visitedPrev && firstIsWord);
        } else if (isClose(pText)) {
            visited = false;
            if (stack.empty()) break;
            entered = stack.back();
            stack.pop_back();
            // Below a given start lies only its first block.
            if (!wholeTree && stack.empty()) break;
        } else {
            visited = entered;
        }
        if (visited && equalNoCase(pText, pData)) return Token(ppToken[j], pTree, j);
        visitedPrev2 = visitedPrev;
        visitedPrev = visited;
    }
    return Token();
}

// ---------------------------------------------------------------------------
// Tokens
// ---------------------------------------------------------------------------

Token Token::Child() const {
    if (IsNull()) return Token();
    uint32_t n = mpTree->mTokenNum;
    char** ppToken = mpTree->mppToken;
    uint32_t i = mIndex;
    if (i + 1 < n && isOpen(ppToken[i + 1]) && i + 2 < n && !isClose(ppToken[i + 2]))
        return Token(ppToken[i + 2], mpTree, i + 2);
    return Token();
}

Token Token::Next() const {
    if (IsNull()) return Token();
    uint32_t n = mpTree->mTokenNum;
    char** ppToken = mpTree->mppToken;
    uint32_t i = mIndex;
    if (i + 1 >= n) return Token();
    if (!isBrace(ppToken[i + 1])) return Token(ppToken[i + 1], mpTree, i + 1);
    if (isClose(ppToken[i + 1])) return Token();

    // Skip every block that follows this token.
    int ctr = 0;
    for (uint32_t j = i + 1; j < n; ++j) {
        if (ctr < 0) return Token();
        if (isOpen(ppToken[j])) {
            ++ctr;
        } else if (isClose(ppToken[j])) {
            --ctr;
        } else if (ctr == 0) {
            // An invariant of the answer, kept as its own check although the
            // branch holds it: it never fires.
            ORV_ASSERT_MESG(ctr == 0, "invalid counter (%d) at (%d)!!", ctr, static_cast<int>(j));
            return Token(ppToken[j], mpTree, j);
        }
    }
    return Token();
}

uint32_t Token::ChildNum() const {
    uint32_t num = 0;
    for (Token t = Child(); !t.IsNull(); t = t.Next()) ++num;
    return num;
}

uint32_t Token::AsArray(int* pArray, uint32_t num) const {
    ORV_ASSERT_PARM(pArray);
    return convertSiblings(*this, pArray, num, toInt);
}

uint32_t Token::AsArray(float* pArray, uint32_t num) const {
    ORV_ASSERT_PARM(pArray);
    return convertSiblings(*this, pArray, num, toFloat);
}

}  // namespace ORV
