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

unsigned char lowerByte(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool equalNoCase(const char* pA, const char* pB) {
    for (;; ++pA, ++pB) {
        char a = *pA, b = *pB;
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
        if (a == '\0') return true;
    }
}

int toIntSlow(const char* pText) {
    long v = strtol(pText, nullptr, 10);
    // atoi wraps out-of-range values into harmless-looking ones; saturate so
    // that a huge index stays out of range instead of becoming 0.
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The common text, a sign and digits, read directly; anything else (leading
// space in a quoted token, no digits) goes to strtol. Both stop at the first
// byte that is not a digit and saturate alike.
int toInt(const char* pText) {
    const char* p = pText;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!isDigit(*p)) return toIntSlow(pText);
    uint64_t v = 0;
    // Past 2^40 the value saturates whatever digits follow.
    for (; isDigit(*p) && v < (uint64_t(1) << 40); ++p) v = v * 10 + uint64_t(*p - '0');
    if (negative) return v >= uint64_t(1) << 31 ? INT_MIN : -static_cast<int>(v);
    return v > uint64_t(INT_MAX) ? INT_MAX : static_cast<int>(v);
}

float toFloatSlow(const char* pText) {
    // "." is the decimal point whatever locale the process may have set.
    static const locale_t sCLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return static_cast<float>(strtod_l(pText, nullptr, sCLocale));
}

// Every power of ten a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// strtod's double, narrowed as strtod's would be, for the plain decimals of
// mesh files: a whole token of sign, digits, point and exponent whose digits
// make an integer w of at most 2^53 scaled by 10^e with |e| <= 22. Both w and
// 10^e are then exact doubles, and one correctly rounded product or quotient
// gives the correctly rounded value of the text, which is what strtod
// returns. Any other text (hex, inf, nan, long mantissas, far exponents,
// trailing bytes, leading space) is handed to strtod itself.
float toFloat(const char* pText) {
    const char* p = pText;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint64_t w = 0;
    int digits = 0;    // significant digits in w (leading zeros are not)
    int scale = 0;     // decimal exponent contributed by the fraction
    bool any = false;  // a mantissa digit was seen
    for (; isDigit(*p); ++p, any = true) {
        if (w == 0 && *p == '0') continue;
        w = w * 10 + uint64_t(*p - '0');
        ++digits;
        if (digits > 19) return toFloatSlow(pText);
    }
    if (*p == '.') {
        for (++p; isDigit(*p); ++p, any = true) {
            --scale;
            if (w == 0 && *p == '0') {
                // Keeps scale far from overflow on absurd runs of zeros.
                if (scale < -1000) return toFloatSlow(pText);
                continue;
            }
            w = w * 10 + uint64_t(*p - '0');
            ++digits;
            if (digits > 19) return toFloatSlow(pText);
        }
    }
    if (!any) return toFloatSlow(pText);
    if (*p == 'e' || *p == 'E') {
        ++p;
        const bool expNegative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        if (!isDigit(*p)) return toFloatSlow(pText);
        int e = 0;
        for (int n = 0; isDigit(*p); ++p, ++n) {
            if (n == 4) return toFloatSlow(pText);
            e = e * 10 + (*p - '0');
        }
        scale += expNegative ? -e : e;
    }
    if (*p != '\0') return toFloatSlow(pText);
    double d;
    if (w == 0) {
        d = 0.0;
    } else {
        if (w > (uint64_t(1) << 53) || scale < -22 || scale > 22) return toFloatSlow(pText);
        d = static_cast<double>(w);
        d = scale < 0 ? d / kExactPow10[-scale] : d * kExactPow10[scale];
    }
    return static_cast<float>(negative ? -d : d);
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
    // In 64 bits: a 32-bit long cannot hold MAX_FILE_SIZE (2^31).
    ORV_ASSERT_MESG(static_cast<uint64_t>(fileLen) <= MAX_FILE_SIZE,
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
// not the call stack) follows the nesting. visit(j) is called for each token
// visited from position first until it returns true.
template <typename Visit>
void TokenTree::visitInFindOrder(uint32_t first, bool wholeTree, Visit visit) const {
    char** ppToken = mppToken;
    uint32_t n = mTokenNum;
    if (visit(first)) return;

    std::vector<bool> stack;
    bool entered = true;
    if (wholeTree) {
        // A root that is itself a brace walks the inside of its block, not
        // the top level.
        if (isOpen(ppToken[0])) stack.push_back(false);
    } else if (first + 1 >= n || !isOpen(ppToken[first + 1])) {
        return;
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
        if (visited && visit(j)) return;
        visitedPrev2 = visitedPrev;
        visitedPrev = visited;
    }
}

TokenTree::Token TokenTree::Find(const char* pData, Token start) {
    ORV_ASSERT_PARM(pData);
    bool wholeTree = start.IsNull();
    TokenTree* pTree = wholeTree ? this : start.mpTree;
    uint32_t first = wholeTree ? 0 : start.mIndex;
    if (pTree == nullptr || first >= pTree->mTokenNum) return Token();
    Token found;
    pTree->visitInFindOrder(first, wholeTree, [&](uint32_t j) {
        if (!equalNoCase(pTree->mppToken[j], pData)) return false;
        found = Token(pTree->mppToken[j], pTree, j);
        return true;
    });
    return found;
}

void TokenTree::FindEach(const char* const* ppData, uint32_t num, Token* pFound) {
    ORV_ASSERT_PARM(ppData && pFound);
    for (uint32_t k = 0; k < num; ++k) {
        ORV_ASSERT_PARM(ppData[k]);
        pFound[k] = Token();
    }
    if (num == 0 || mTokenNum == 0) return;
    // The first bytes the texts begin with, in lower case: most tokens of a
    // mesh (numbers) are passed over by that byte alone.
    bool firstByte[256] = {};
    for (uint32_t k = 0; k < num; ++k) firstByte[lowerByte(ppData[k][0])] = true;
    uint32_t left = num;
    visitInFindOrder(0, true, [&](uint32_t j) {
        if (!firstByte[lowerByte(mppToken[j][0])]) return false;
        for (uint32_t k = 0; k < num; ++k) {
            if (pFound[k].IsNull() && equalNoCase(mppToken[j], ppData[k])) {
                pFound[k] = Token(mppToken[j], this, j);
                --left;
            }
        }
        return left == 0;
    });
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
