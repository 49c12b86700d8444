// The 4x4 matrix: composition order, rotation direction, look-at and its two
// halts, the console dump, and the halting inverse.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "ORV.h"
#include "ReportText.h"

using ORV::Mtx44;
using ORV::Vec3;
using orvtest::ReportText;
using orvtest::RunInChild;

static void expectVec(const Vec3& v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

static void expectMtx(const Mtx44& a, const Mtx44& b, float tol = 0.0f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

TEST(Mtx44, ConstructionIsRowMajor) {
    Mtx44 a(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    EXPECT_EQ(a(1, 2), 6.0f);
    EXPECT_EQ(a(3, 0), 12.0f);
    float raw[16];
    for (int i = 0; i < 16; ++i) raw[i] = float(i);
    expectMtx(Mtx44(raw), a);
    a(2, 1) = 99.0f;
    EXPECT_EQ(a.m[9], 99.0f);
}

TEST(Mtx44, AffineBuildingBlocks) {
    Vec3 p(1.5f, -2.0f, 7.0f);
    expectVec(Mtx44::Identity().TransformPoint(p), 1.5f, -2.0f, 7.0f, 0);
    expectVec(Mtx44::Translate(1, 2, 3).TransformPoint(Vec3(0, 0, 0)), 1, 2, 3, 0);
    expectVec(Mtx44::Translate(1, 2, 3).TransformDir(Vec3(1, 0, 0)), 1, 0, 0, 0);
    expectVec(Mtx44::Scale(2, 3, 4).TransformPoint(Vec3(1, 1, 1)), 2, 3, 4, 0);
    Mtx44 s = Mtx44::Identity();
    s.ScaleThis(2, 3, 4);
    expectMtx(s, Mtx44::Scale(2, 3, 4));
    expectMtx(Mtx44::Zero(), Mtx44(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    ORV::Vec4 v = Mtx44::Translate(1, 2, 3).Transform(ORV::Vec4(1, 1, 1, 0));
    EXPECT_EQ(v.x, 1.0f) << "w = 0 ignores the translation";
    ORV::Vec4 w =
        Mtx44(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4).Transform(ORV::Vec4(1, 1, 1, 1));
    EXPECT_EQ(w.w, 10.0f);
}

TEST(Mtx44, RotationIsCounterClockwiseAboutTheAxis) {
    expectVec(Mtx44::Rotate(0, 0, 1, float(ORV::HALF_PI)).TransformPoint(Vec3(1, 0, 0)), 0, 1, 0);
    expectVec(Mtx44::Rotate(1, 0, 0, float(ORV::HALF_PI)).TransformPoint(Vec3(0, 1, 0)), 0, 0, 1);
    expectVec(Mtx44::Rotate(0, 1, 0, float(ORV::HALF_PI)).TransformPoint(Vec3(0, 0, 1)), 1, 0, 0);
    expectMtx(Mtx44::Rotate(1, 0, 0, 0), Mtx44::Identity());
}

TEST(Mtx44, InPlaceBuildersComposeOnTheLeftAndProductOnTheRight) {
    Mtx44 a = Mtx44::Identity();
    a.TranslateThis(1, 0, 0).RotateThis(0, 0, 1, float(ORV::HALF_PI));
    expectVec(a.TransformPoint(Vec3(0, 0, 0)), 0, 1, 0);
    Mtx44 r = Mtx44::Rotate(0, 0, 1, float(ORV::HALF_PI));
    r *= Mtx44::Translate(1, 0, 0);
    expectMtx(r, a, 1e-7f);
    // The reverse order gives a different point: rotate first, then move.
    Mtx44 b = Mtx44::Identity();
    b.RotateThis(0, 0, 1, float(ORV::HALF_PI)).TranslateThis(1, 0, 0);
    expectVec(b.TransformPoint(Vec3(0, 0, 0)), 1, 0, 0);
    // ScaleThis scales after what the matrix did before.
    Mtx44 c = Mtx44::Translate(1, 1, 1);
    c.ScaleThis(2, 3, 4);
    expectVec(c.TransformPoint(Vec3(0, 0, 0)), 2, 3, 4, 0);
}

TEST(Mtx44, SelfProductUsesUnchangedOperands) {
    Mtx44 a(1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    Mtx44 expected = a * a;
    EXPECT_EQ(expected(0, 0), 7.0f);
    EXPECT_EQ(expected(0, 1), 10.0f);
    EXPECT_EQ(expected(1, 0), 15.0f);
    EXPECT_EQ(expected(1, 1), 22.0f);
    a *= a;
    expectMtx(a, expected);
}

TEST(Mtx44, ArithmeticAndTranspose) {
    Mtx44 a = Mtx44::Translate(1, 2, 3);
    Mtx44 t = a.Transpose();
    EXPECT_EQ(t(3, 0), 1.0f);
    EXPECT_EQ(t(3, 1), 2.0f);
    EXPECT_EQ(t(3, 2), 3.0f);
    EXPECT_EQ(a(0, 3), 1.0f) << "Transpose leaves the operand";
    Mtx44 b(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    Mtx44 c = b;
    c.TransposeThis();
    EXPECT_EQ(c(0, 3), 12.0f);
    c.TransposeThis();
    expectMtx(c, b);
    expectMtx(b + b, b * 2.0f);
    expectMtx(2.0f * b, b * 2.0f);
    expectMtx(b - b, Mtx44::Zero());
    Mtx44 d = b;
    d *= 0.5f;
    EXPECT_EQ(d(3, 3), 7.5f);
    Mtx44 e = b;
    e.IdentityThis();
    expectMtx(e, Mtx44::Identity());
    e.ZeroThis();
    expectMtx(e, Mtx44::Zero());
}

TEST(Mtx44, LookAtMapsEyeToOriginAndTargetDownNegativeZ) {
    Mtx44 v = Mtx44::LookAt(Vec3(0, 0, 5), Vec3(0, 0, 0), Vec3(0, 1, 0));
    Mtx44 expected = Mtx44::Identity();
    expected(2, 3) = -5.0f;
    expectMtx(v, expected);
    expectVec(v.TransformPoint(Vec3(0, 0, 0)), 0, 0, -5);
    Mtx44 w = Mtx44::LookAt(3, 4, 5, 1, -1, 2, 0, 2, 0.5f);
    expectVec(w.TransformPoint(Vec3(3, 4, 5)), 0, 0, 0, 1e-5f);
    Vec3 at = w.TransformPoint(Vec3(1, -1, 2));
    EXPECT_NEAR(at.x, 0.0f, 1e-5f);
    EXPECT_NEAR(at.y, 0.0f, 1e-5f);
    EXPECT_LT(at.z, 0.0f);
}

TEST(Mtx44, LookAtHaltsOnZeroDirectionAndParallelUp) {
    std::string r =
        ReportText([] { Mtx44::LookAt(Vec3(1, 1, 1), Vec3(1.0005f, 1, 1), Vec3(0, 1, 0)); });
    EXPECT_NE(r.find("ORV_ASSERT_MESG: !dir.IsZero()\n"), std::string::npos) << r;
    EXPECT_NE(
        r.find("Func: ORV::Mtx44::LookAt\nFile: src/ORV_Mtx44.cpp\nMesg: zero direction vector!\n"),
        std::string::npos)
        << r;
    r = ReportText([] { Mtx44::LookAt(Vec3(0, 5, 0), Vec3(0, 0, 0), Vec3(0, 1, 0)); });
    EXPECT_NE(r.find("ORV_ASSERT_MESG: !side.IsZero()\n"), std::string::npos) << r;
    EXPECT_NE(r.find("Mesg: direction parallel with reference up vector!\n"), std::string::npos);
}

TEST(Mtx44, PrintDumpsFourRows) {
    auto r = RunInChild([] { Mtx44::Zero().Print(); });
    EXPECT_EQ(r.exitCode, 0);
    const std::string row = "0.000000 0.000000 0.000000 0.000000 \n";
    EXPECT_EQ(r.out, row + row + row + row);
    r = RunInChild(
        [] { Mtx44(-1.5f, 12345.25f, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1).Print(); });
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "-1.500000 12345.250000 0.000000 0.000000 \n");
}

TEST(Mtx44, InverseHalts) {
    std::string r = ReportText([] { Mtx44::Identity().Inverse(); });
    EXPECT_EQ(r.substr(0, 9), "ORV_HALT:");
    EXPECT_NE(r.find("Func: ORV::Mtx44::Inverse\n"), std::string::npos) << r;
    EXPECT_NE(r.find("Mesg: NOT IMPLEMENTED YET!!!\n"), std::string::npos);
    r = ReportText([] {
        Mtx44 m = Mtx44::Identity();
        m.InverseThis();
    });
    EXPECT_NE(r.find("Func: ORV::Mtx44::InverseThis\n"), std::string::npos) << r;
}
