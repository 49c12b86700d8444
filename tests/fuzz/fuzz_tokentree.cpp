// Fuzz target: the TokenTree tokenizer and navigation on arbitrary text.
//
// Any text either reports (a format error, with its line) or gives no tree or
// a tree whose invariants hold. Find, the one clever part of the navigation
// (a forward scan instead of the Child/Next walk), is compared with that walk
// written out plainly.
#include "FuzzSupport.h"
#include "ORV_TokenTree.h"

#include <memory>
#include <vector>

using ORV::TokenTree;
typedef TokenTree::Token Token;

namespace {

bool equalNoCase(const char* pA, const char* pB) {
    for (;; ++pA, ++pB) {
        int a = (*pA >= 'A' && *pA <= 'Z') ? *pA - 'A' + 'a' : *pA;
        int b = (*pB >= 'A' && *pB <= 'Z') ? *pB - 'A' + 'a' : *pB;
        if (a != b) return false;
        if (a == 0) return true;
    }
}

bool same(const Token& a, const Token& b) {
    return a.mpText == b.mpText && a.mpTree == b.mpTree && a.mIndex == b.mIndex;
}

// Find as the walk through Child and Next: a token, then its children, each
// with everything below it. Recursion depth is the nesting depth, which the
// input size bounds.
Token walkFind(const char* pData, const Token& start) {
    if (equalNoCase(start.mpText, pData)) return start;
    for (Token c = start.Child(); !c.IsNull(); c = c.Next()) {
        Token found = walkFind(pData, c);
        if (!found.IsNull()) return found;
    }
    return Token();
}

Token walkFindAll(TokenTree* pTree, const char* pData) {
    for (Token t = *pTree->mpRoot; !t.IsNull(); t = t.Next()) {
        Token found = walkFind(pData, t);
        if (!found.IsNull()) return found;
    }
    return Token();
}

void checkTree(TokenTree* pTree, const char* pText, size_t textSize) {
    const uint32_t n = pTree->mTokenNum;
    FUZZ_CHECK(n >= 2);
    FUZZ_CHECK(pTree->mpRoot != nullptr && pTree->mpRoot->mIndex == 0 &&
               pTree->mpRoot->mpText == pTree->mppToken[0] && pTree->mpRoot->mpTree == pTree);

    // Every token lies in the text; braces are single and balanced, and the
    // last kept token closes an outermost block.
    int depth = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const char* p = pTree->mppToken[i];
        FUZZ_CHECK(p >= pText && p < pText + textSize + 1);
        size_t len = strlen(p);
        FUZZ_CHECK(p + len <= pText + textSize);
        if (p[0] == '{' || p[0] == '}') FUZZ_CHECK(len == 1);
        if (p[0] == '{') ++depth;
        if (p[0] == '}') --depth;
        FUZZ_CHECK(depth >= 0);
    }
    FUZZ_CHECK(depth == 0);
    FUZZ_CHECK(strcmp(pTree->mppToken[n - 1], "}") == 0);

    // Child and Next never return a brace and always move forward;
    // ChildNum counts the chain, and AsArray converts exactly that many.
    uint32_t step = n / 64 + 1;
    for (uint32_t i = 0; i < n; i += step) {
        Token t(pTree->mppToken[i], pTree, i);
        Token c = t.Child();
        uint32_t count = 0;
        for (Token k = c; !k.IsNull(); k = k.Next()) {
            FUZZ_CHECK(k.mIndex > i && k.mIndex < n);
            FUZZ_CHECK(k.mpText == pTree->mppToken[k.mIndex]);
            ++count;
        }
        FUZZ_CHECK(t.ChildNum() == count);
        if (count > 0 && c.mpText[0] != '{') {
            std::vector<int> ints(count);
            std::vector<float> floats(count);
            FUZZ_CHECK(c.AsArray(ints.data(), 0) == count);
            FUZZ_CHECK(c.AsArray(floats.data(), 3) == (count < 3 ? count : 3));
        }
    }

    // Find against the plain walk, from the whole tree and from starts, for
    // the texts of some tokens (each in upper case as well) and one missing.
    std::vector<std::string> queries = {"Position", "mesh", "\x01missing"};
    for (uint32_t i = 0; i < n; i += step) {
        std::string q = pTree->mppToken[i];
        queries.push_back(q);
        for (char& ch : q)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        queries.push_back(q);
    }
    for (const std::string& q : queries) {
        FUZZ_CHECK(same(pTree->Find(q.c_str()), walkFindAll(pTree, q.c_str())));
        for (uint32_t i = 0; i < n; i += step * 4) {
            // Braces too: Child of a block that begins with a block is one.
            Token start(pTree->mppToken[i], pTree, i);
            FUZZ_CHECK(same(pTree->Find(q.c_str(), start), walkFind(q.c_str(), start)));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
    std::vector<char> text = orvfuzz::TextOf(pData, size);
    const size_t textSize = text.size() - 1;

    TokenTree* pTree = nullptr;
    std::string report;
    if (!orvfuzz::RunReporting([&] { pTree = TokenTree::Create(text.data()); }, &report)) {
        FUZZ_CHECK_REPORT(report);
        FUZZ_CHECK(pTree == nullptr);
        return 0;
    }
    if (pTree == nullptr) return 0;
    std::unique_ptr<TokenTree, void (*)(TokenTree*)> guard(pTree, TokenTree::Destroy);
    bool ok = orvfuzz::RunReporting([&] { checkTree(pTree, text.data(), textSize); }, &report);
    // Navigation of a built tree has no report an input can reach.
    FUZZ_CHECK(ok);
    return 0;
}
