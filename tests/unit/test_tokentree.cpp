// The TokenTree reader: tokenizing, format errors with their lines, tree
// navigation, search and number conversion.
#include <gtest/gtest.h>

#include <locale.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ORV_TokenTree.h"
#include "ReportText.h"
#include "SourceLine.h"
#include "TempDir.h"

using ORV::TokenTree;
using Token = ORV::TokenTree::Token;
using orvtest::ReportText;
using orvtest::TempDir;
using TreeHolder = std::unique_ptr<TokenTree, void (*)(TokenTree*)>;

namespace {

// The 1-based line of the nth occurrence of needle in a source file, so that
// report tests compare the whole text without hard-coding line numbers.
const char* kSource = "framework/ORV_TokenTree.cpp";

std::string report(const std::string& kindExpr, const std::string& needle, const std::string& func,
                   const std::string& mesg) {
    std::string text = kindExpr + "\nLine: " + std::to_string(orvtest::LineOf(kSource, needle)) +
                       "\nFunc: " + func + "\nFile: " + kSource + "\n";
    return mesg.empty() ? text : text + "Mesg: " + mesg + "\n";
}

std::string formatError(const std::string& expr, const std::string& mesg) {
    return report("ORV_ASSERT_MESG: " + expr, "ORV_ASSERT_MESG(" + expr,
                  "ORV::TokenTree::nextToken", mesg);
}

// A writable copy of a text, as Create cuts its argument in place.
struct Text {
    std::vector<char> bytes;
    explicit Text(const std::string& s) : bytes(s.begin(), s.end()) { bytes.push_back('\0'); }
    char* p() { return bytes.data(); }
};

std::vector<std::string> tokensOf(const TokenTree* pTree) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < pTree->mTokenNum; ++i) out.push_back(pTree->mppToken[i]);
    return out;
}

std::vector<std::string> tokensOf(const std::string& s) {
    Text t(s);
    TokenTree* pTree = TokenTree::Create(t.p());
    if (pTree == nullptr) return {"<null>"};
    std::vector<std::string> out = tokensOf(pTree);
    TokenTree::Destroy(pTree);
    return out;
}

std::vector<std::string> childTexts(const Token& t) {
    std::vector<std::string> out;
    for (Token c = t.Child(); !c.IsNull(); c = c.Next()) out.push_back(c.mpText);
    return out;
}

// The report of Create on a text.
std::string createReport(const std::string& s) {
    Text t(s);
    return ReportText([&] { TokenTree::Destroy(TokenTree::Create(t.p())); });
}

}  // namespace

// ---------------------------------------------------------------------------
// Tokenizing
// ---------------------------------------------------------------------------

TEST(TokenTreeText, TwelveTokenExampleAndItsTree) {
    Text t("Mesh\n{\n  Position\n  {\n    0 { 1.5 2 -3 }\n  }\n}\n");
    TokenTree* pTree = TokenTree::Create(t.p());
    ASSERT_NE(pTree, nullptr);
    EXPECT_EQ(tokensOf(pTree), (std::vector<std::string>{"Mesh", "{", "Position", "{", "0", "{",
                                                         "1.5", "2", "-3", "}", "}", "}"}));
    Token root = *pTree->mpRoot;
    EXPECT_EQ(root.mIndex, 0u);
    EXPECT_EQ(root.mpTree, pTree);
    EXPECT_STREQ(root.mpText, "Mesh");
    Token position = root.Child();
    EXPECT_EQ(position.mIndex, 2u);
    EXPECT_EQ(position.Child().mIndex, 4u);
    EXPECT_EQ(childTexts(position.Child()), (std::vector<std::string>{"1.5", "2", "-3"}));
    EXPECT_EQ(root.ChildNum(), 1u);
    EXPECT_EQ(position.Child().ChildNum(), 3u);
    // Tokens point into the caller's text, which was cut in place.
    EXPECT_EQ(root.mpText, t.p());
    EXPECT_EQ(pTree->mpBuffer, nullptr);
    TokenTree::Destroy(pTree);
}

TEST(TokenTreeText, TokensAfterTheLastClosedBlockAreDropped) {
    EXPECT_EQ(tokensOf("a { b } c d"), (std::vector<std::string>{"a", "{", "b", "}"}));
    EXPECT_EQ(tokensOf("a { b } c { d { e }"), (std::vector<std::string>{"a", "{", "b", "}"}));
    EXPECT_EQ(tokensOf("a { } b { c }"),
              (std::vector<std::string>{"a", "{", "}", "b", "{", "c", "}"}));
    // A word written against a closing brace swallows it and leaves the block open.
    EXPECT_EQ(tokensOf("a { b } c { d}"), (std::vector<std::string>{"a", "{", "b", "}"}));
}

TEST(TokenTreeText, TextsWithoutAClosedBlockGiveNoTree) {
    for (const char* s : {"", "  \t\r\n", "// only a comment", "/* c */ // d\n", "a b c", "a { b",
                          "{ { }", "\"{\" x"}) {
        Text t(s);
        EXPECT_EQ(TokenTree::Create(t.p()), nullptr) << s;
    }
    EXPECT_EQ(TokenTree::Create(nullptr), nullptr);
}

TEST(TokenTreeText, QuotedTokens) {
    EXPECT_EQ(tokensOf("x { \"hello world\" \"a\\\"b\" \"\" \"two\nlines\" \"caf\xc3\xa9\" }"),
              (std::vector<std::string>{"x", "{", "hello world", "a\\\"b", "", "two\nlines",
                                        "caf\xc3\xa9", "}"}));
    // A quoted brace is a structural brace; a closing quote needs no separator after it.
    EXPECT_EQ(tokensOf("x \"{\" \"a\"b\"c\" \"}\""),
              (std::vector<std::string>{"x", "{", "a", "b\"c\"", "}"}));
    // A backslash keeps a separator or a quote in the token.
    EXPECT_EQ(tokensOf("x { \"a\\ b\\\\\" }"),
              (std::vector<std::string>{"x", "{", "a\\ b\\\\", "}"}));
}

TEST(TokenTreeText, PlainTokensKeepQuotesAndBracesAfterTheirFirstByte) {
    EXPECT_EQ(tokensOf("x { a\"b a{b }"), (std::vector<std::string>{"x", "{", "a\"b", "a{b", "}"}));
}

TEST(TokenTreeText, CommentsBetweenAndInsideTokens) {
    EXPECT_EQ(tokensOf("// head\nx /* a { */ { y//z /*w*/ } // tail"),
              (std::vector<std::string>{"x", "{", "y//z", "}"}));
    // After a closing quote a comment may start at once.
    EXPECT_EQ(tokensOf("x { \"q\"// c }\n\"r\"/* c */\"s\" }"),
              (std::vector<std::string>{"x", "{", "q", "r", "s", "}"}));
    // A slash followed by anything else starts an ordinary token.
    EXPECT_EQ(tokensOf("x { / /a *// }"),
              (std::vector<std::string>{"x", "{", "/", "/a", "*//", "}"}));
    // A block comment may end exactly at the end of the text; comments do not nest.
    EXPECT_EQ(tokensOf("x { y } /* end */"), (std::vector<std::string>{"x", "{", "y", "}"}));
    EXPECT_EQ(tokensOf("x { /* /* */ y }"), (std::vector<std::string>{"x", "{", "y", "}"}));
}

TEST(TokenTreeText, SeparatorsIncludeControlAndNonAsciiBytes) {
    EXPECT_EQ(tokensOf("\xef\xbb\xbfx\x01{\x7f"
                       "a\xc3\xa9"
                       "b\t}"),
              (std::vector<std::string>{"x", "{", "a", "b", "}"}));
}

TEST(TokenTreeText, CarriageReturnLineFeedReadsLikeLineFeed) {
    std::string lf = "Mesh\n{\n  a { 1 2 }\n  \"q\"\n}\n";
    std::string crlf = "Mesh\r\n{\r\n  a { 1 2 }\r\n  \"q\"\r\n}\r\n";
    EXPECT_EQ(tokensOf(crlf), tokensOf(lf));
    auto r = createReport("a\r\n{\r\n}\r\n}\r\n");
    EXPECT_EQ(r, report("ORV_ASSERT_MESG: bracesCtr > 0", "ORV_ASSERT_MESG(bracesCtr > 0",
                        "ORV::TokenTree::Create", "4: too many '}'"));
}

TEST(TokenTreeText, NulByteEndsTheText) {
    std::string s("a { b }\0 } c", 12);
    TempDir dir;
    TokenTree* pTree = TokenTree::Load(dir.Write("nul.txt", s).c_str());
    ASSERT_NE(pTree, nullptr);
    EXPECT_EQ(tokensOf(pTree), (std::vector<std::string>{"a", "{", "b", "}"}));
    TokenTree::Destroy(pTree);
}

// ---------------------------------------------------------------------------
// Format errors: whole report text, line numbers counted from 1
// ---------------------------------------------------------------------------

TEST(TokenTreeErrors, UnterminatedBlockCommentNamesTheLineItOpens) {
    auto r = createReport("a {\n b\n}\n x /* open\n\n\n");
    EXPECT_EQ(r, formatError("*pBegin", "4: unterminated 'c' comment"));
    // The opener itself cannot be the closer.
    r = createReport("a { b } /*/");
    EXPECT_EQ(r, formatError("*pBegin", "1: unterminated 'c' comment"));
}

TEST(TokenTreeErrors, UnterminatedQuotedTokenNamesTheLineItBegins) {
    auto r = createReport("a {\n \"abc\n def }\n");
    EXPECT_EQ(r, formatError("*pEnd", "2: unterminated token"));
    r = createReport("a { \"ends in a backslash\\");
    EXPECT_EQ(r, formatError("*pEnd", "1: unterminated token"));
}

TEST(TokenTreeErrors, MissingSpaceAfterABrace) {
    auto r = createReport("a\n{b }");
    EXPECT_EQ(r, formatError("(pEnd - pBegin) == 1", "2: missing space after '{'"));
    r = createReport("a { b }}\n");
    EXPECT_EQ(r, formatError("(pEnd - pBegin) == 1", "1: missing space after '}'"));
    r = createReport("a { \"{ \" }");
    EXPECT_EQ(r, formatError("(pEnd - pBegin) == 1", "1: missing space after '{'"));
}

TEST(TokenTreeErrors, TooManyClosingBracesEvenAfterTheKeptTokens) {
    auto r = createReport("a { b }\nc\n}\n");
    EXPECT_EQ(r, report("ORV_ASSERT_MESG: bracesCtr > 0", "ORV_ASSERT_MESG(bracesCtr > 0",
                        "ORV::TokenTree::Create", "3: too many '}'"));
}

TEST(TokenTreeErrors, LinesCountEveryLineFeed) {
    // Line feeds in comments, in quoted tokens and right after a token all count.
    auto r = createReport("a\n{ // c\n/* x\ny */ \"q\nr\"\nb\n}\n}");
    EXPECT_EQ(r, report("ORV_ASSERT_MESG: bracesCtr > 0", "ORV_ASSERT_MESG(bracesCtr > 0",
                        "ORV::TokenTree::Create", "8: too many '}'"));
}

TEST(TokenTreeErrors, TheFirstErrorInTextOrderIsReported) {
    auto r = createReport("a { b }\n}\n{x /* open");
    EXPECT_EQ(r, report("ORV_ASSERT_MESG: bracesCtr > 0", "ORV_ASSERT_MESG(bracesCtr > 0",
                        "ORV::TokenTree::Create", "2: too many '}'"));
}

TEST(TokenTreeErrors, NullArguments) {
    EXPECT_EQ(ReportText([] { TokenTree::Load(nullptr); }),
              report("ORV_ASSERT_PARM: pFilename", "ORV_ASSERT_PARM(pFilename",
                     "ORV::TokenTree::Load", ""));
    Text t("a { b }");
    TreeHolder tree(TokenTree::Create(t.p()), TokenTree::Destroy);
    EXPECT_EQ(
        ReportText([&] { tree->Find(nullptr); }),
        report("ORV_ASSERT_PARM: pData", "ORV_ASSERT_PARM(pData", "ORV::TokenTree::Find", ""));
    int* pArray = nullptr;
    EXPECT_EQ(ReportText([&] { tree->mpRoot->AsArray(pArray, 1); }),
              report("ORV_ASSERT_PARM: pArray", "ORV_ASSERT_PARM(pArray",
                     "ORV::TokenTree::Token::AsArray", ""));
}

// ---------------------------------------------------------------------------
// Loading files
// ---------------------------------------------------------------------------

TEST(TokenTreeLoad, OwnsTheBufferItRead) {
    TempDir dir;
    TokenTree* pTree = TokenTree::Load(dir.Write("t.txt", "Mesh { a { 1 } }").c_str());
    ASSERT_NE(pTree, nullptr);
    // Destroy releases the buffer; the sanitizer build's leak check fails otherwise.
    EXPECT_NE(pTree->mpBuffer, nullptr);
    EXPECT_EQ(pTree->mppToken[0], pTree->mpBuffer);
    EXPECT_EQ(tokensOf(pTree), (std::vector<std::string>{"Mesh", "{", "a", "{", "1", "}", "}"}));
    TokenTree::Destroy(pTree);
    TokenTree::Destroy(nullptr);
}

TEST(TokenTreeLoad, FilesWithoutATreeGiveNull) {
    TempDir dir;
    EXPECT_EQ(TokenTree::Load(dir.Write("empty.txt", "").c_str()), nullptr);
    EXPECT_EQ(TokenTree::Load(dir.Write("comments.txt", "// a\n/* b */\n").c_str()), nullptr);
    EXPECT_EQ(TokenTree::Load(dir.Write("words.txt", "a b c").c_str()), nullptr);
    EXPECT_EQ(TokenTree::Load((dir.Path() + "/missing.txt").c_str()), nullptr);
    EXPECT_EQ(TokenTree::Load(dir.Path().c_str()), nullptr);  // a directory
}

// ---------------------------------------------------------------------------
// Navigation
// ---------------------------------------------------------------------------

TEST(TokenTreeNavigation, NullTokenAndEmptyBlocks) {
    Token null;
    EXPECT_TRUE(null.IsNull());
    EXPECT_TRUE(null.Child().IsNull());
    EXPECT_TRUE(null.Next().IsNull());
    EXPECT_EQ(null.ChildNum(), 0u);

    Text t("name { }");
    TokenTree* pTree = TokenTree::Create(t.p());
    ASSERT_NE(pTree, nullptr);
    EXPECT_EQ(pTree->mTokenNum, 3u);
    EXPECT_TRUE(pTree->mpRoot->Child().IsNull());
    EXPECT_EQ(pTree->mpRoot->ChildNum(), 0u);
    EXPECT_TRUE(pTree->mpRoot->Next().IsNull());
    TokenTree::Destroy(pTree);
}

TEST(TokenTreeNavigation, NextSkipsEveryBlockOfAToken) {
    Text t("r { a { 1 { x } } { 2 } b c { } d }");
    TokenTree* pTree = TokenTree::Create(t.p());
    ASSERT_NE(pTree, nullptr);
    EXPECT_EQ(childTexts(*pTree->mpRoot), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(pTree->mpRoot->ChildNum(), 4u);
    // A block that begins with a block has that brace as its first child.
    Text u("r { { a } b }");
    TokenTree* pInner = TokenTree::Create(u.p());
    EXPECT_STREQ(pInner->mpRoot->Child().mpText, "{");
    EXPECT_EQ(pInner->mpRoot->Child().mIndex, 2u);
    TokenTree::Destroy(pInner);
    TokenTree::Destroy(pTree);
}

TEST(TokenTreeFind, CaseInsensitiveFirstMatchInTextOrder) {
    Text t("Mesh { position { 0 { 1 } } Position { p } } POSITION { }");
    TokenTree* pTree = TokenTree::Create(t.p());
    ASSERT_NE(pTree, nullptr);
    Token found = pTree->Find("Position");
    EXPECT_EQ(found.mIndex, 2u);
    EXPECT_STREQ(found.mpText, "position");
    EXPECT_EQ(pTree->Find("MESH").mIndex, 0u);
    // Only ASCII letters fold; everything else compares exactly, to the end.
    EXPECT_TRUE(pTree->Find("Positio").IsNull());
    EXPECT_TRUE(pTree->Find("Position ").IsNull());
    TokenTree::Destroy(pTree);
}

TEST(TokenTreeFind, ReachOfAStartToken) {
    Text t("top { a { x { y } } b { y } } y { }");
    TokenTree* pTree = TokenTree::Create(t.p());
    ASSERT_NE(pTree, nullptr);
    Token a = pTree->mpRoot->Child();
    ASSERT_STREQ(a.mpText, "a");
    // A token before its children, children before later siblings.
    EXPECT_EQ(pTree->Find("y").mIndex, 6u);
    // From a given start: itself and below, never its later siblings.
    EXPECT_EQ(pTree->Find("a", a).mIndex, a.mIndex);
    EXPECT_EQ(pTree->Find("y", a).mIndex, 6u);
    Token b = a.Next();
    EXPECT_EQ(pTree->Find("y", b).mIndex, 11u);
    EXPECT_TRUE(pTree->Find("b", a).IsNull());
    EXPECT_TRUE(pTree->Find("top", a).IsNull());
    // The top-level walk covers tokens after the root's block.
    Text u("first { } second { z }");
    TokenTree* pTop = TokenTree::Create(u.p());
    EXPECT_EQ(pTop->Find("z").mIndex, 5u);
    TokenTree::Destroy(pTop);
    TokenTree::Destroy(pTree);
}

TEST(TokenTreeFind, TokensThatNoChildOrNextReachesAreNotFound) {
    // A second block after a token and the rest of a block that began with a
    // block are never visited by the Child/Next walk.
    Text t("r { a { b } { c } { { d } e } }");
    TokenTree* pTree = TokenTree::Create(t.p());
    ASSERT_NE(pTree, nullptr);
    EXPECT_FALSE(pTree->Find("b").IsNull());
    EXPECT_TRUE(pTree->Find("c").IsNull());
    EXPECT_TRUE(pTree->Find("e").IsNull());
    EXPECT_TRUE(pTree->Find("}").IsNull());
    TokenTree::Destroy(pTree);
}

namespace {

bool equalAsciiNoCase(const char* pA, const char* pB) {
    for (;; ++pA, ++pB) {
        int a = (*pA >= 'A' && *pA <= 'Z') ? *pA + 32 : *pA;
        int b = (*pB >= 'A' && *pB <= 'Z') ? *pB + 32 : *pB;
        if (a != b) return false;
        if (a == 0) return true;
    }
}

// The search exactly as defined: a depth-first walk through Child and Next.
Token referenceFind(TokenTree* pTree, const char* pData, const Token& start) {
    if (start.IsNull()) {
        for (Token t = *pTree->mpRoot; !t.IsNull(); t = t.Next()) {
            Token f = referenceFind(pTree, pData, t);
            if (!f.IsNull()) return f;
        }
        return Token();
    }
    if (equalAsciiNoCase(start.mpText, pData)) return start;
    for (Token c = start.Child(); !c.IsNull(); c = c.Next()) {
        Token f = referenceFind(pTree, pData, c);
        if (!f.IsNull()) return f;
    }
    return Token();
}

}  // namespace

TEST(TokenTreeFind, MatchesTheChildNextWalkOnRandomTrees) {
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    const char* words[] = {"a", "B", "c", "{", "{", "}", "}"};
    const char* queries[] = {"a", "b", "C", "{", "}", "zz"};
    int trees = 0;
    for (int iter = 0; iter < 3000; ++iter) {
        std::string text;
        int depth = 0;
        int len = 1 + static_cast<int>(rng() % 24);
        for (int k = 0; k < len; ++k) {
            std::string w = words[rng() % 7];
            if (w == "}" && depth == 0) w = "{";
            depth += (w == "{") - (w == "}");
            text += w + " ";
        }
        Text t(text);
        TokenTree* pTree = TokenTree::Create(t.p());
        if (pTree == nullptr) continue;
        ++trees;
        std::vector<Token> starts{Token()};
        for (uint32_t i = 0; i < pTree->mTokenNum; ++i)
            starts.emplace_back(pTree->mppToken[i], pTree, i);
        // FindEach over the whole tree gives Find's answer for each text,
        // a text asked twice included.
        Token each[7];
        const char* eachQueries[] = {"zz", "a", "b", "C", "{", "}", "A"};
        pTree->FindEach(eachQueries, 7, each);
        for (int k = 0; k < 7; ++k)
            ASSERT_EQ(each[k].mIndex, pTree->Find(eachQueries[k]).mIndex)
                << "seed " << seed << " text '" << text << "' query " << eachQueries[k];
        for (const char* q : queries) {
            for (const Token& s : starts) {
                Token want = referenceFind(pTree, q, s);
                Token got = pTree->Find(q, s);
                ASSERT_EQ(got.IsNull(), want.IsNull()) << "seed " << seed << " text '" << text
                                                       << "' query " << q << " start " << s.mIndex;
                ASSERT_EQ(got.mIndex, want.mIndex) << "seed " << seed << " text '" << text
                                                   << "' query " << q << " start " << s.mIndex;
            }
        }
        TokenTree::Destroy(pTree);
    }
    EXPECT_GT(trees, 1000);
}

TEST(TokenTreeFind, MillionNestedBlocksLoadAndSearchWithoutRecursion) {
    const int depth = 1000000;
    std::string text;
    text.reserve(depth * 8 + 16);
    for (int i = 0; i < depth; ++i) text += "n {\n";
    text += "deepest\n";
    for (int i = 0; i < depth; ++i) text += "}\n";
    TempDir dir;
    TokenTree* pTree = TokenTree::Load(dir.Write("deep.txt", text).c_str());
    ASSERT_NE(pTree, nullptr);
    EXPECT_EQ(pTree->mTokenNum, 3u * depth + 1);
    Token found = pTree->Find("DEEPEST");
    EXPECT_EQ(found.mIndex, 2u * depth);
    EXPECT_TRUE(pTree->Find("absent").IsNull());
    Token middle(pTree->mppToken[depth], pTree, depth);
    EXPECT_EQ(pTree->Find("deepest", middle).mIndex, 2u * depth);
    EXPECT_EQ(pTree->mpRoot->ChildNum(), 1u);
    EXPECT_TRUE(pTree->mpRoot->Next().IsNull());
    TokenTree::Destroy(pTree);
}

// ---------------------------------------------------------------------------
// Numbers
// ---------------------------------------------------------------------------

TEST(TokenTreeAsArray, LimitsAndConversions) {
    Text t("v { 1 { } -2.5 3e2 abc 0x10 } w { 7 8 }");
    TokenTree* pTree = TokenTree::Create(t.p());
    ASSERT_NE(pTree, nullptr);
    Token first = pTree->mpRoot->Child();

    float f[8] = {};
    EXPECT_EQ(first.AsArray(f, 0), 5u);  // all siblings; the block after 1 is skipped
    EXPECT_EQ(f[0], 1.0f);
    EXPECT_EQ(f[1], -2.5f);
    EXPECT_EQ(f[2], 300.0f);
    EXPECT_EQ(f[3], 0.0f);
    EXPECT_EQ(f[4], 16.0f);  // the standard double conversion reads hexadecimal
    int n[8] = {};
    EXPECT_EQ(first.AsArray(n, 0), 5u);
    EXPECT_EQ(std::vector<int>(n, n + 5), (std::vector<int>{1, -2, 3, 0, 0}));

    // num limits the count; fewer siblings than num write fewer values.
    int m[4] = {9, 9, 9, 9};
    Token seven = pTree->mpRoot->Next().Child();
    EXPECT_EQ(seven.AsArray(m, 3), 2u);
    EXPECT_EQ(std::vector<int>(m, m + 4), (std::vector<int>{7, 8, 9, 9}));
    EXPECT_EQ(first.AsArray(m, 1), 1u);
    EXPECT_EQ(m[0], 1);
    TokenTree::Destroy(pTree);
}

TEST(TokenTreeAsArray, IntegersSaturateInsteadOfWrapping) {
    Text t("v { 4294967296 -99999999999 2147483647 +12x }");
    TokenTree* pTree = TokenTree::Create(t.p());
    ASSERT_NE(pTree, nullptr);
    int n[4] = {};
    EXPECT_EQ(pTree->mpRoot->Child().AsArray(n, 4), 4u);
    EXPECT_EQ(n[0], 2147483647);
    EXPECT_EQ(n[1], -2147483647 - 1);
    EXPECT_EQ(n[2], 2147483647);
    EXPECT_EQ(n[3], 12);
    TokenTree::Destroy(pTree);
}

namespace {

// Each text as a quoted token of one block, converted by AsArray.
template <typename T>
std::vector<T> converted(const std::vector<std::string>& texts) {
    std::string text = "v {";
    for (const std::string& t : texts) text += " \"" + t + "\"";
    Text buffer(text + " }");
    TokenTree* pTree = TokenTree::Create(buffer.p());
    std::vector<T> out(texts.size());
    if (pTree == nullptr) return {};
    out.resize(pTree->mpRoot->Child().AsArray(out.data(), 0));
    TokenTree::Destroy(pTree);
    return out;
}

// Random decimal texts around the shapes mesh files use, and past them: a
// sign, up to 24 digits before and after the point, an exponent.
std::string randomDecimal(std::mt19937& rng) {
    std::string t;
    const char* signs[] = {"", "", "-", "+"};
    t += signs[rng() % 4];
    auto digits = [&](int n) {
        for (int i = 0; i < n; ++i) t += static_cast<char>('0' + rng() % 10);
    };
    digits(static_cast<int>(rng() % 25));
    if (rng() % 4 != 0) {
        t += '.';
        digits(static_cast<int>(rng() % 25));
    }
    if (rng() % 3 == 0) {
        t += "eE"[rng() % 2];
        t += signs[rng() % 4];
        digits(static_cast<int>(rng() % 4));
    }
    return t;
}

}  // namespace

TEST(TokenTreeAsArray, FloatsAreTheCLocaleDoubleConversionNarrowedForEveryText) {
    const unsigned seed = 20261207;
    std::mt19937 rng(seed);
    std::vector<std::string> texts = {
        "1e-45", "-0", "0", "+0", "-0.0e5", "0x1p3", "0X10", "-0x.8", "1e", "1e+", "1e-", ".", "-",
        "+", ".e1", "5.", "-.5", "+.5e-3", "inf", "-Infinity", "nan", "NAN(12)", "1e400", "-1e400",
        "1e-400", "4.9e-324", "3.4028235e38", "3.4028236e38", "1.17549435e-38", "1.4e-45", "7e-46",
        "7.1e-46", "9007199254740992", "9007199254740993", "9007199254740995e-3",
        "18446744073709551616", "1234567890123456789", "12345678901234567890",
        "0.000000000000000000000000000001", "1e22", "1e23", "1e-22", "1e-23", "8.5e22", "123abc",
        "1.2.3", "1e5x", "00000001.5000", "1e0000", "1e00001", "2.5E+3", " 1.5", "1.5 ", "\t-2",
        "0.1", "0.2", "0.3",
        // 1.8e-9 above the float halfway 2^24 + 1, under half a double step
        // (1.86e-9): the double is the halfway and the float rounds down;
        // rounding the digits to a double first would round up twice.
        "16777217.0000000018", "167772170000000018e-10", std::string(3000, '0') + "1",
        "0." + std::string(1200, '0') + "1e1200"};
    for (int i = 0; i < 20000; ++i) {
        char line[64];
        uint32_t bits = static_cast<uint32_t>(rng());
        float f;
        std::memcpy(&f, &bits, 4);
        const char* formats[] = {"%.9g", "%.6g", "%.17g", "%e", "%.3f"};
        std::snprintf(line, sizeof line, formats[i % 5], double(f));
        texts.push_back(line);
        texts.push_back(randomDecimal(rng));
    }
    const std::vector<float> got = converted<float>(texts);
    ASSERT_EQ(got.size(), texts.size());
    const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    for (size_t i = 0; i < texts.size(); ++i) {
        const float want = static_cast<float>(strtod_l(texts[i].c_str(), nullptr, c));
        ASSERT_EQ(std::memcmp(&got[i], &want, 4), 0)
            << "seed " << seed << " text '" << texts[i] << "' gave " << got[i] << " for " << want;
    }
    freelocale(c);
}

TEST(TokenTreeAsArray, IntegersAreTheSaturatedStandardConversionForEveryText) {
    const unsigned seed = 1207;
    std::mt19937 rng(seed);
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "+",
                                      "-",
                                      "+-1",
                                      "--1",
                                      " 12",
                                      "\t-3",
                                      "12 ",
                                      "7x",
                                      "x7",
                                      "2147483647",
                                      "2147483648",
                                      "-2147483648",
                                      "-2147483649",
                                      "1099511627776",
                                      "99999999999999999999999",
                                      "-99999999999999999999999",
                                      "0x10",
                                      "1e3",
                                      "00012",
                                      std::string(200, '9')};
    for (int i = 0; i < 20000; ++i) texts.push_back(randomDecimal(rng));
    const std::vector<int> got = converted<int>(texts);
    ASSERT_EQ(got.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        const long v = std::strtol(texts[i].c_str(), nullptr, 10);
        const int want = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
        ASSERT_EQ(got[i], want) << "seed " << seed << " text '" << texts[i] << "'";
    }
}
