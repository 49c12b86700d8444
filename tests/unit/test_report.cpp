// The failure reports: exact text and field values, captured in this process
// through a report handler, and the default ending (exit status 1, the key
// wait) in child processes.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "ORV.h"
#include "ReportText.h"

using orvtest::ReportText;
using orvtest::RunInChild;

namespace Probe {
struct Widget {
    static void HaltWithMessage(int v);
    static void HaltBare();
    static void AssertFails();
    static void AssertMesgEmpty();
    static void AssertMesgNewline(const char* pName);
    static void AssertParm(const char* pName);
    static void AssertAlloc();
    static void AssertHolds();
};
// Each macro stands on the same line as the constant that records its line.
// clang-format off
void Widget::HaltWithMessage(int v) { ORV_HALT("Invalid front list size: %d", v); } const int kHaltMesgLine = __LINE__;
void Widget::HaltBare() { ORV_HALT(); } const int kHaltBareLine = __LINE__;
void Widget::AssertFails() { int a = 1; ORV_ASSERT(a == 2); } const int kAssertLine = __LINE__;
void Widget::AssertMesgEmpty() { void* pImage = nullptr; ORV_ASSERT_MESG(pImage, ""); } const int kMesgEmptyLine = __LINE__;
void Widget::AssertMesgNewline(const char* pName) { void* pFile = nullptr; ORV_ASSERT_MESG(pFile, "Cannot open '%s'\n", pName); } const int kMesgNewlineLine = __LINE__;
void Widget::AssertParm(const char* pName) { ORV_ASSERT_PARM(pName); } const int kParmLine = __LINE__;
void Widget::AssertAlloc() { int* pData = nullptr; ORV_ASSERT_ALLOC(pData); } const int kAllocLine = __LINE__;
// clang-format on
void Widget::AssertHolds() {
    int a = 2;
    ORV_ASSERT(a == 2);
    ORV_ASSERT_MESG(a > 0, "never %d", a);
    ORV_ASSERT_PARM(a != 0);
    ORV_ASSERT_ALLOC(&a);
}
}  // namespace Probe

static std::string header(const std::string& kind, int line, const std::string& func) {
    return kind + "\nLine: " + std::to_string(line) + "\nFunc: " + func +
           "\nFile: tests/unit/test_report.cpp\n";
}

TEST(Report, HaltWithMessagePrintsMesgLineAndEmptyLine) {
    EXPECT_EQ(ReportText([] { Probe::Widget::HaltWithMessage(-3); }),
              header("ORV_HALT:", Probe::kHaltMesgLine, "Probe::Widget::HaltWithMessage") +
                  "Mesg: Invalid front list size: -3\n");
}

TEST(Report, HaltWithoutMessageLeavesMesgLineOut) {
    EXPECT_EQ(ReportText([] { Probe::Widget::HaltBare(); }),
              header("ORV_HALT:", Probe::kHaltBareLine, "Probe::Widget::HaltBare") + "\n");
}

TEST(Report, AssertPrintsExactlyFourLines) {
    EXPECT_EQ(ReportText([] { Probe::Widget::AssertFails(); }),
              header("ORV_ASSERT: a == 2", Probe::kAssertLine, "Probe::Widget::AssertFails"));
}

TEST(Report, AssertMesgWithEmptyMessageStillPrintsMesgLine) {
    EXPECT_EQ(
        ReportText([] { Probe::Widget::AssertMesgEmpty(); }),
        header("ORV_ASSERT_MESG: pImage", Probe::kMesgEmptyLine, "Probe::Widget::AssertMesgEmpty") +
            "Mesg: \n");
}

TEST(Report, MessageEndingInNewlineGivesAnEmptyLine) {
    EXPECT_EQ(ReportText([] { Probe::Widget::AssertMesgNewline("a b.tga"); }),
              header("ORV_ASSERT_MESG: pFile", Probe::kMesgNewlineLine,
                     "Probe::Widget::AssertMesgNewline") +
                  "Mesg: Cannot open 'a b.tga'\n\n");
}

TEST(Report, ParmAndAllocPrintTheExpressionAndNoMessage) {
    EXPECT_EQ(ReportText([] { Probe::Widget::AssertParm(nullptr); }),
              header("ORV_ASSERT_PARM: pName", Probe::kParmLine, "Probe::Widget::AssertParm"));
    EXPECT_EQ(ReportText([] { Probe::Widget::AssertAlloc(); }),
              header("ORV_ASSERT_ALLOC: pData", Probe::kAllocLine, "Probe::Widget::AssertAlloc"));
}

// Without a handler, and with one that returns, a report ends the process
// with status 1 after its text.
TEST(ReportEnding, ExitsWithStatusOne) {
    auto r = RunInChild([] { Probe::Widget::HaltWithMessage(-3); });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, header("ORV_HALT:", Probe::kHaltMesgLine, "Probe::Widget::HaltWithMessage") +
                         "Mesg: Invalid front list size: -3\n");
}

TEST(ReportEnding, AHandlerThatReturnsGetsTheDefaultEnding) {
    auto r = RunInChild([] {
        ORV::Report::SetHandler([] { printf("[handled]"); });
        Probe::Widget::AssertFails();
        printf("[after]");
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              header("ORV_ASSERT: a == 2", Probe::kAssertLine, "Probe::Widget::AssertFails") +
                  "[handled]");
}

TEST(ReportEnding, SetHandlerReturnsThePreviousOne) {
    auto r = RunInChild([] {
        static void (*const kFirst)() = [] { printf("[first]"); };
        printf("%d", ORV::Report::SetHandler(kFirst) == nullptr);
        printf("%d", ORV::Report::SetHandler(nullptr) == kFirst);
        Probe::Widget::HaltBare();
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              "11" + header("ORV_HALT:", Probe::kHaltBareLine, "Probe::Widget::HaltBare") + "\n");
}

TEST(Report, ChecksThatHoldPrintNothingAndContinue) {
    auto r = RunInChild([] {
        Probe::Widget::AssertHolds();
        printf("after");
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "after");
}

TEST(Report, ConditionIsEvaluatedOnce) {
    auto r = RunInChild([] {
        int n = 0;
        ORV_ASSERT(++n == 1);
        ORV_ASSERT_MESG(++n == 2, "x");
        printf("%d", n);
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "2");
}

// On a terminal a report waits for one key, read without echo, before it
// exits; a job in the background may not touch the terminal and ends at once.
TEST(ReportKeyWait, InTheForegroundWaitsForOneKeyWithoutEcho) {
    orvtest::TerminalChild child([] { Probe::Widget::HaltWithMessage(7); }, false);
    const std::string report =
        header("ORV_HALT:", Probe::kHaltMesgLine, "Probe::Widget::HaltWithMessage") +
        "Mesg: Invalid front list size: 7\n";
    ASSERT_TRUE(child.WaitUntil([&] { return child.Out() == report && !child.Canonical(); }));
    EXPECT_FALSE(child.Ended()) << "the report ended without a key";
    child.Press('q');
    auto r = child.Finish();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, report);
}

TEST(ReportKeyWait, InTheBackgroundEndsAtOnce) {
    orvtest::TerminalChild child([] { Probe::Widget::HaltWithMessage(7); }, true);
    auto r = child.Finish();
    EXPECT_FALSE(r.stopped) << "stopped for touching the terminal";
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, header("ORV_HALT:", Probe::kHaltMesgLine, "Probe::Widget::HaltWithMessage") +
                         "Mesg: Invalid front list size: 7\n");
}

TEST(Report, FuncNameDropsReturnTypeAndParameters) {
    using ORV::Report::FuncName;
    EXPECT_STREQ(FuncName("static ORV::Image* ORV::Image::Load(const char*)"), "ORV::Image::Load");
    EXPECT_STREQ(FuncName("ORV::Camera::Camera(float, float)"), "ORV::Camera::Camera");
    EXPECT_STREQ(FuncName("int main()"), "main");
    EXPECT_STREQ(FuncName("void gameStateLoad()"), "gameStateLoad");
    EXPECT_STREQ(FuncName("void BSPTree::SplitTriangle(const Plane&, const Triangle&, "
                          "std::vector<Triangle>&, std::vector<Triangle>&)"),
                 "BSPTree::SplitTriangle");
    EXPECT_STREQ(FuncName("std::vector<std::pair<int, int> > Foo::Bar(int)"), "Foo::Bar");
    EXPECT_STREQ(FuncName("T ORV::Min(T, T) [with T = float]"), "ORV::Min");
    EXPECT_STREQ(FuncName("unsigned int ORV::FrameCounter()"), "ORV::FrameCounter");
    EXPECT_STREQ(FuncName("bool X::operator()(int) const"), "X::operator()");
    // Anonymous namespaces as GCC and clang spell them.
    EXPECT_STREQ(
        FuncName("void {anonymous}::NodeLoop::Run(std::vector<{anonymous}::Pending>&, bool)"),
        "{anonymous}::NodeLoop::Run");
    EXPECT_STREQ(
        FuncName("void (anonymous namespace)::NodeLoop::Run(std::vector<Pending> &, bool)"),
        "(anonymous namespace)::NodeLoop::Run");
    EXPECT_STREQ(FuncName("bool N::A::operator<(const N::A&) const"), "N::A::operator<");
    EXPECT_STREQ(FuncName("bool N::operator>(const N::A &, int)"), "N::operator>");
    EXPECT_STREQ(FuncName("N::A &N::A::operator<<=(int)"), "N::A::operator<<=");
    EXPECT_STREQ(FuncName("bool N::A::operator bool() const"), "N::A::operator bool");
}

TEST(Report, StandardAssertionStaysActiveInEveryBuild) {
    auto r = RunInChild([] {
        void* spSystem = nullptr;
        ORV_STD_ASSERT(spSystem);
    });
    EXPECT_NE(r.signal, 0) << "the standard assertion ends the process abnormally";
    EXPECT_EQ(r.out, "");
}
